#include "app/cli/CommandLine.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <ostream>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "project/Database.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

namespace fluvex {

namespace {

// The one description of the command line: --help prints it and the manual page fluvex-cli(1) is
// made from it, so a new command or option is added here only, in the layout described in
// cmake/HelpToManPage.py (items indented two spaces, descriptions in the column of the others).
constexpr const char* kUsage =
    R"(Usage: fluvex-cli [OPTIONS] COMMAND [ARGUMENTS]

Batch access to Fluvex: the same settings, readers and processing as the desktop program.

Options (anywhere on the line):
  --settings FILE            read this settings file instead of fluvex.ini in the settings folder
  --project FILE             use this project file (distance unit, geodesy, colour file)
  --set Section.Key=Value    change a setting after loading, as the settings file would hold it
                             (repeatable; e.g. --set Corrections.MagDec=1.5)
  --help                     show this help
  --version                  show the version

Commands:
  settings                   print the effective settings in the settings file's format
  info [--json] FILE...       a summary of each loaded line
  ensembles --json FILE... [--line N] [--first N] [--count M] [--processed]
                             a line's ensembles in time order, as recorded (and, with
                             --processed, as processed with the current settings)
  discharge [--json] FILE... the discharge report of every line (JSON: figures and unit)
  export csv|xyz|xyzi|xlsx|rtf --out DIR [--line N] FILE...
                             one file per line (csv, xyz, xyzi) or one workbook (xlsx) or
                             RTF report (rtf) of all lines, named after the first FILE, in DIR
  export dxf2d|dxf3d --out DIR [--line N] FILE...
                             the plan drawing (dxf2d) or the 3-D vector drawing (dxf3d) of every
                             line (or line N), named after its first line, in DIR; the
                             TrackOptions settings apply
  export contours --mode horizontal|vertical --out DIR [--line N] FILE...
                             velocity contour drawings with a colour legend: one per slice
                             depth (horizontal) or per line (vertical); the Contours and
                             GraphOptions settings and the velocity colour table apply
  table [--columns K,K,...] [--line N] FILE...
                             the spreadsheet of each line (or line N) as the desktop
                             program exports it: the quoted headings, then one line per
                             ensemble, "-----" where it has no value; the columns of the
                             Spreadsheet settings unless kinds 0-19 are given; lines are
                             separated by an empty line
  declination --lat DEG --lon DEG --time ISO8601 [--height KM] [--cof FILE]
  declination --at FILE [--cof FILE]
                             magnetic declination in degrees (World Magnetic Model; the
                             model installed in the settings folder unless --cof is given;
                             the shipped WMM-2025 covers 2025.0 to 2030.0: other times, and
                             heights outside -11..850 km, are extrapolated with a warning),
                             with --at at the first position and date of FILE's survey

FILE: instrument files (.000, .pd0 ...), line logs of the survey suite (.log) and archives
(.zip, .rsqmb), opened as the desktop program opens them. Every file, or line of a log or
archive, that was asked for and not loaded is named on stderr, and the exit status is 1.
export: lines of the same name get NAME_2, NAME_3 ... rather than overwrite each other; XYZ
and XYZI files both end in .xyz, so export them to different folders.

Exit status: 0 success, 1 the work failed, 2 wrong usage.
)";

struct Command {
    std::string_view name;
    int (*run)(CommandContext&);
    bool needsSettings;
};

constexpr std::array<Command, 7> kCommands{{
    {"settings", RunSettingsCommand, true},
    {"info", RunInfoCommand, true},
    {"ensembles", RunEnsemblesCommand, true},
    {"discharge", RunDischargeCommand, true},
    {"export", RunExportCommand, true},
    {"table", RunTableCommand, true},
    {"declination", RunDeclinationCommand, true},
}};

struct SettingOverride {
    std::string section;
    std::string key;
    std::string value;
};

// The options every command accepts; the rest of the line belongs to the command.
struct GlobalOptions {
    std::optional<std::filesystem::path> settingsFile;
    std::optional<std::filesystem::path> projectFile;
    std::vector<SettingOverride> overrides;
    bool help = false;
    bool version = false;
};

// "Section.Key=Value" split into its parts; nothing when malformed.
std::optional<SettingOverride> ParseOverride(const std::string& text) {
    const auto dot = text.find('.');
    const auto equals = text.find('=');
    if (dot == std::string::npos || equals == std::string::npos || dot == 0 || equals < dot + 2)
        return std::nullopt;
    return SettingOverride{text.substr(0, dot), text.substr(dot + 1, equals - dot - 1),
                           text.substr(equals + 1)};
}

GlobalOptions TakeGlobalOptions(ArgumentList& arguments) {
    GlobalOptions options;
    options.help = arguments.TakeFlag("--help") || arguments.TakeFlag("-h");
    options.version = arguments.TakeFlag("--version");
    if (auto path = arguments.TakeValue("--settings")) options.settingsFile = *path;
    if (auto path = arguments.TakeValue("--project")) options.projectFile = *path;
    while (auto text = arguments.TakeValue("--set")) {
        if (auto parsed = ParseOverride(*text))
            options.overrides.push_back(*parsed);
        else
            arguments.Fail("--set needs Section.Key=Value, not \"" + *text + "\"");
    }
    return options;
}

// Loads the settings as the desktop program does, then applies the --set overrides.
int PrepareSettings(const GlobalOptions& options, std::ostream& err) {
    if (options.projectFile) Host().OverrideFolder(FolderKind::ProjectFile, *options.projectFile);
    Settings& settings = AppSettings();
    settings.Reset();
    if (options.settingsFile) {
        settings.SettingsPath = *options.settingsFile;
        if (!std::filesystem::exists(*options.settingsFile))
            err << "fluvex-cli: settings file " << options.settingsFile->string()
                << " does not exist; using the defaults\n";
    }
    // The saved clip border (or one given with --set) is loaded as the settings are read.
    settings.LoadBorderFile = [](const std::filesystem::path& file) {
        StderrPrompt said;
        return LoadBorderFileOrSay(AppDatabase(), file, said);
    };
    StderrPrompt prompt;
    if (!settings.Load(prompt)) return kExitFailure;
    for (const SettingOverride& change : options.overrides) {
        std::string error;
        if (!ApplySettingText(settings, change.section, change.key, change.value, error)) {
            err << "fluvex-cli: --set: " << error << '\n';
            return kExitUsage;
        }
    }
    return kExitOk;
}

int UsageError(std::ostream& err, const std::string& error) {
    err << "fluvex-cli: " << error << "\nTry 'fluvex-cli --help'.\n";
    return kExitUsage;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
    ArgumentList commandArguments(arguments);
    const GlobalOptions options = TakeGlobalOptions(commandArguments);
    const auto name = commandArguments.TakeFirstWord();
    if (options.help) {
        out << kUsage;
        return kExitOk;
    }
    if (options.version) {
        out << "fluvex-cli " << FLUVEX_VERSION << '\n';
        return kExitOk;
    }
    if (commandArguments.Failed()) return UsageError(err, commandArguments.Error());
    if (!name) {
        commandArguments.TakePositional();  // an unknown option says more than "no command"
        return UsageError(
            err, commandArguments.Failed() ? commandArguments.Error() : "no command given");
    }
    const auto command = std::find_if(kCommands.begin(), kCommands.end(),
                                      [&](const Command& c) { return c.name == *name; });
    if (command == kCommands.end()) return UsageError(err, "unknown command " + *name);
    if (command->needsSettings) {
        if (const int status = PrepareSettings(options, err); status != kExitOk) return status;
    }
    CommandContext context{commandArguments, out, err};
    const int status = command->run(context);
    if (status == kExitUsage && commandArguments.Failed())
        return UsageError(err, commandArguments.Error());
    return status;
}

}  // namespace fluvex
