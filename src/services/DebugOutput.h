#pragma once

#include <string_view>

namespace fluvex {

// Trace lines for developers (loaded counts, refused records): written to stderr when the
// environment has FLUVEX_DEBUG=1, dropped otherwise. Never to stdout, which carries command output.
void DebugOutput(std::string_view line);

}  // namespace fluvex
