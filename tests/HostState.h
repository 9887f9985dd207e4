#pragma once

// Process-wide state every test starts from and leaves behind: each host folder under `root`, the
// initial settings and units, an empty line collection, no clip border and no colour table.

#include <filesystem>

#include "services/CurrentColourTable.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/HostService.h"
#include "settings/Settings.h"

namespace fluvex::test {

inline void ResetHostState(const std::filesystem::path& root) {
    HostService& host = Host();
    host.ClearOverrides();
    host.OverrideFolder(FolderKind::ProgramData, root / "data");
    host.OverrideFolder(FolderKind::ArchiveOutput, root / "data" / "archive");
    host.OverrideFolder(FolderKind::SurveyData, root / "surveys");
    host.OverrideFolder(FolderKind::SettingsFolder, root / "config");
    host.OverrideFolder(FolderKind::Scratch, root / "cache");
    host.OverrideFolder(FolderKind::ProjectFile, root / "project.ini");
    Units() = UnitSystem{};
    SetCurrentVelocityTable(nullptr);
    AppSettings() = Settings{};
    AppSettings().Reset();
    AppDatabase().Clear();
    AppDatabase().ClearBorder();
    AppDatabase().SetGeodesy(nullptr);
}

inline void RestoreHostState() {
    AppDatabase().Clear();
    // The border outlives Clear, as it belongs to the survey area.
    AppDatabase().ClearBorder();
    AppDatabase().SetGeodesy(nullptr);
    SetCurrentVelocityTable(nullptr);
    Host().ClearOverrides();
}

}  // namespace fluvex::test
