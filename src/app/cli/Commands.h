#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace fluvex {

class ArgumentList;

// Exit statuses of fluvex-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work could not be done (bad geodesy, unreadable file)
inline constexpr int kExitUsage = 2;    // unknown option or command, malformed argument

// What a command gets: its own arguments and the two output streams. Settings are loaded (and
// the global options applied) before a command that needs them runs.
struct CommandContext {
    ArgumentList& arguments;
    std::ostream& out;
    std::ostream& err;
};

int RunSettingsCommand(CommandContext& context);
int RunDeclinationCommand(CommandContext& context);
int RunInfoCommand(CommandContext& context);
int RunEnsemblesCommand(CommandContext& context);
int RunDischargeCommand(CommandContext& context);
int RunExportCommand(CommandContext& context);
int RunTableCommand(CommandContext& context);

}  // namespace fluvex
