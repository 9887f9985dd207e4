#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace fluvex {

// Runs fluvex-cli with its arguments (without the program name); returns the exit status.
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace fluvex
