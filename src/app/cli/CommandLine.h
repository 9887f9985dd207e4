#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace fluvex {

// Exit statuses of fluvex-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work could not be done (bad geodesy, unreadable file)
inline constexpr int kExitUsage = 2;    // unknown option or command, malformed argument

// Runs fluvex-cli with its arguments (without the program name); returns the exit status.
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace fluvex
