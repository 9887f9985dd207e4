#include <ostream>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "services/IniFile.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

namespace fluvex {

int RunSettingsCommand(CommandContext& context) {
    if (!context.arguments.TakePositional().empty())
        context.arguments.Fail("settings takes no arguments");
    if (context.arguments.Failed()) return kExitUsage;
    IniFile ini;
    WriteSettingsFile(AppSettings(), ini);
    context.out << ini.Text("\n");
    return kExitOk;
}

}  // namespace fluvex
