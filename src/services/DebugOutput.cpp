#include "services/DebugOutput.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace fluvex {

namespace {

bool DebugEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("FLUVEX_DEBUG");
        return value && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

}  // namespace

void DebugOutput(std::string_view line) {
    if (DebugEnabled()) std::cerr << "fluvex: " << line << '\n';
}

}  // namespace fluvex
