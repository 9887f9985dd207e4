#pragma once

#include <filesystem>
#include <map>
#include <string_view>

namespace fluvex {

// The folders the program works with. Each has a default under the user's XDG folders and can
// be moved by an environment variable (tests always move them to temporary folders).
enum class FolderKind : int {
    ProgramData = 0,      // ADCP.hcf, navq32.ini, fluvex.log, exports: $FLUVEX_DATA_DIR
    ArchiveOutput = 1,    // files taken out of archives: <program data>/archive
    SurveyData = 2,       // where file dialogs start: $FLUVEX_SURVEY_DIR, else $HOME
    SettingsFolder = 16,  // fluvex.ini, WMM.COF, bin/Layouts/fluvex.ini: $FLUVEX_CONFIG_DIR
    Scratch = 18,         // $FLUVEX_CACHE_DIR
    ProjectFile = 20,     // the current project file (a path to a file): $FLUVEX_PROJECT
};

// How the program names itself in its log.
inline constexpr std::string_view kProgramName = "Fluvex";

// Folders, the program log and the current project file.
class HostService {
public:
    // The folder (or, for ProjectFile, the file) of a kind. An explicit override wins over the
    // environment, which wins over the default. The default project file is created on first
    // use with "[Geodesy] Unit=1, CRS=auto"; a project file named by override or environment is
    // taken as it is, so a wrong name is reported rather than silently replaced.
    std::filesystem::path Folder(FolderKind kind);

    // Used by the command line's --project and by tests.
    void OverrideFolder(FolderKind kind, std::filesystem::path path);
    void ClearOverrides();

    // Appends "<local time> <program>: <message>" to <program data>/fluvex.log. Failures are
    // ignored: the log must never stop the work it records.
    void Log(std::string_view program, std::string_view message);

private:
    std::filesystem::path DefaultFolder(FolderKind kind);
    std::filesystem::path DefaultProjectFile();

    std::map<FolderKind, std::filesystem::path> overrides_;
};

// The one host service of the process.
HostService& Host();

}  // namespace fluvex
