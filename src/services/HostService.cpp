#include "services/HostService.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>

#include "services/AtomicFile.h"

namespace fluvex {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> Environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return fs::path(value);
}

// $XDG_<name> or its documented fallback below $HOME.
fs::path XdgFolder(const char* variable, const char* homeRelative) {
    if (auto xdg = Environment(variable)) return *xdg;
    return Environment("HOME").value_or(fs::temp_directory_path()) / homeRelative;
}

std::string LocalTimestamp() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

HostService& Host() {
    static HostService host;
    return host;
}

void HostService::OverrideFolder(FolderKind kind, fs::path path) {
    overrides_[kind] = std::move(path);
}

void HostService::ClearOverrides() {
    overrides_.clear();
}

fs::path HostService::Folder(FolderKind kind) {
    if (auto found = overrides_.find(kind); found != overrides_.end()) return found->second;
    return DefaultFolder(kind);
}

fs::path HostService::DefaultFolder(FolderKind kind) {
    switch (kind) {
        case FolderKind::ProgramData:
            return Environment("FLUVEX_DATA_DIR")
                .value_or(XdgFolder("XDG_DATA_HOME", ".local/share") / "fluvex");
        case FolderKind::ArchiveOutput:
            return Folder(FolderKind::ProgramData) / "archive";
        case FolderKind::SurveyData:
            return Environment("FLUVEX_SURVEY_DIR")
                .value_or(Environment("HOME").value_or(fs::current_path()));
        case FolderKind::SettingsFolder:
            return Environment("FLUVEX_CONFIG_DIR")
                .value_or(XdgFolder("XDG_CONFIG_HOME", ".config") / "fluvex");
        case FolderKind::Scratch:
            return Environment("FLUVEX_CACHE_DIR")
                .value_or(XdgFolder("XDG_CACHE_HOME", ".cache") / "fluvex");
        case FolderKind::ProjectFile:
            return Environment("FLUVEX_PROJECT").value_or(DefaultProjectFile());
    }
    return {};
}

fs::path HostService::DefaultProjectFile() {
    const fs::path path = Folder(FolderKind::SettingsFolder) / "project.ini";
    std::error_code ec;
    if (!fs::exists(path, ec)) WriteFileAtomically(path, "[Geodesy]\r\nUnit=1\r\nCRS=auto\r\n");
    return path;
}

void HostService::Log(std::string_view program, std::string_view message) {
    const fs::path folder = Folder(FolderKind::ProgramData);
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::ofstream log(folder / "fluvex.log", std::ios::app | std::ios::binary);
    log << LocalTimestamp() << ' ' << program << ": " << message << "\r\n";
}

}  // namespace fluvex
