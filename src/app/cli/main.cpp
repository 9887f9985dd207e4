#include <iostream>

#include "app/cli/CommandLine.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return fluvex::RunCommandLine(arguments, std::cout, std::cerr);
}
