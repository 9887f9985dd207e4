#include "app/cli/CommandLine.h"

#include <filesystem>
#include <optional>
#include <ostream>

#include "services/HostService.h"
#include "services/IniFile.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

namespace fluvex {

namespace {

constexpr const char* kUsage =
    R"(Usage: fluvex-cli [OPTIONS] COMMAND [ARGUMENTS]

Batch access to Fluvex: the same settings, readers and processing as the desktop program.

Options:
  --settings FILE            read this settings file instead of fluvex.ini in the settings folder
  --project FILE             use this project file (distance unit, geodesy, colour file)
  --set Section.Key=Value    change a setting after loading, as the settings file would hold it
                             (repeatable; e.g. --set Corrections.MagDec=1.5)
  --help                     show this help
  --version                  show the version

Commands:
  settings                   print the effective settings in the settings file's format

Exit status: 0 success, 1 the work failed, 2 wrong usage.
)";

struct SettingOverride {
    std::string section;
    std::string key;
    std::string value;
};

struct Invocation {
    std::optional<std::filesystem::path> settingsFile;
    std::optional<std::filesystem::path> projectFile;
    std::vector<SettingOverride> overrides;
    std::string command;
    std::vector<std::string> commandArguments;
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

// Parses the arguments; false with `error` set on wrong usage.
bool ParseArguments(const std::vector<std::string>& arguments, Invocation& call,
                    std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!call.command.empty()) {
            call.commandArguments.push_back(argument);
            continue;
        }
        auto value = [&]() -> const std::string* {
            if (i + 1 < arguments.size()) return &arguments[++i];
            error = "option " + argument + " needs a value";
            return nullptr;
        };
        if (argument == "--help" || argument == "-h") {
            call.help = true;
        } else if (argument == "--version") {
            call.version = true;
        } else if (argument == "--settings" || argument == "--project") {
            const std::string* path = value();
            if (!path) return false;
            (argument == "--settings" ? call.settingsFile : call.projectFile) = *path;
        } else if (argument == "--set") {
            const std::string* text = value();
            if (!text) return false;
            auto parsed = ParseOverride(*text);
            if (!parsed) {
                error = "--set needs Section.Key=Value, not \"" + *text + "\"";
                return false;
            }
            call.overrides.push_back(*parsed);
        } else if (argument.starts_with("-")) {
            error = "unknown option " + argument;
            return false;
        } else {
            call.command = argument;
        }
    }
    return true;
}

int PrintSettings(const Settings& settings, std::ostream& out) {
    IniFile ini;
    WriteSettingsFile(settings, ini);
    out << ini.Text("\n");
    return kExitOk;
}

// Loads the settings as the desktop program does, then applies the --set overrides.
int PrepareSettings(const Invocation& call, std::ostream& err) {
    if (call.projectFile) Host().OverrideFolder(FolderKind::ProjectFile, *call.projectFile);
    Settings& settings = AppSettings();
    settings.Reset();
    if (call.settingsFile) {
        settings.SettingsPath = *call.settingsFile;
        if (!std::filesystem::exists(*call.settingsFile))
            err << "fluvex-cli: settings file " << call.settingsFile->string()
                << " does not exist; using the defaults\n";
    }
    StderrPrompt prompt;
    if (!settings.Load(prompt)) return kExitFailure;
    for (const SettingOverride& change : call.overrides) {
        std::string error;
        if (!ApplySettingText(settings, change.section, change.key, change.value, error)) {
            err << "fluvex-cli: --set: " << error << '\n';
            return kExitUsage;
        }
    }
    return kExitOk;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
    Invocation call;
    std::string error;
    if (!ParseArguments(arguments, call, error)) {
        err << "fluvex-cli: " << error << "\nTry 'fluvex-cli --help'.\n";
        return kExitUsage;
    }
    if (call.help) {
        out << kUsage;
        return kExitOk;
    }
    if (call.version) {
        out << "fluvex-cli " << FLUVEX_VERSION << '\n';
        return kExitOk;
    }
    if (call.command.empty()) {
        err << "fluvex-cli: no command given\nTry 'fluvex-cli --help'.\n";
        return kExitUsage;
    }
    if (call.command != "settings") {
        err << "fluvex-cli: unknown command " << call.command << "\nTry 'fluvex-cli --help'.\n";
        return kExitUsage;
    }
    if (!call.commandArguments.empty()) {
        err << "fluvex-cli: settings takes no arguments\n";
        return kExitUsage;
    }
    if (const int status = PrepareSettings(call, err); status != kExitOk) return status;
    return PrintSettings(AppSettings(), out);
}

}  // namespace fluvex
