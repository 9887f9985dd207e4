#pragma once

// What every window test starts from: each host folder in a fresh temporary folder, the initial
// settings and units, an empty line collection and no colour table; put back when it ends.

#include <QTemporaryDir>

#include <filesystem>
#include <string>

#include "model/Units.h"
#include "project/Database.h"
#include "services/CurrentColourTable.h"
#include "services/HostService.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"

namespace fluvex::test {

class ViewTestFolders {
public:
    ViewTestFolders() {
        HostService& host = Host();
        host.ClearOverrides();
        host.OverrideFolder(FolderKind::ProgramData, Root() / "data");
        host.OverrideFolder(FolderKind::ArchiveOutput, Root() / "data" / "archive");
        host.OverrideFolder(FolderKind::SurveyData, Root() / "surveys");
        host.OverrideFolder(FolderKind::SettingsFolder, Root() / "config");
        host.OverrideFolder(FolderKind::Scratch, Root() / "cache");
        host.OverrideFolder(FolderKind::ProjectFile, Root() / "project.ini");
        Units() = UnitSystem{};
        SetCurrentVelocityTable(nullptr);
        AppSettings() = Settings{};
        AppSettings().Reset();
        AppDatabase().Clear();
        AppDatabase().ClearBorder();
        AppDatabase().SetGeodesy(nullptr);
    }
    ~ViewTestFolders() {
        AppDatabase().Clear();
        // The border outlives Clear, as it belongs to the survey area.
        AppDatabase().ClearBorder();
        AppDatabase().SetGeodesy(nullptr);
        SetCurrentVelocityTable(nullptr);
        Host().ClearOverrides();
    }
    ViewTestFolders(const ViewTestFolders&) = delete;
    ViewTestFolders& operator=(const ViewTestFolders&) = delete;

    std::filesystem::path Root() const { return dir_.path().toStdString(); }

    // Three 40-ping crossings recorded on 2024-05-14 from 09:30:00, as the acquisition suite
    // leaves them with edited files, the first ping at grid (500000, 5000000); returns the line
    // log. The truth of line n is in job/job_00n.truth.json.
    std::filesystem::path WriteSuiteSurvey() const {
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = job\nLines = 3\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 60\nDepth = 4\n"
            "[Track]\nEnsembles = 40\nStartStation = 5\nSpeed = 0.9\n"
            "[Suite]\nLineFiles = kq2\n");
        synth::WriteSurvey(description, Root());
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Root() / "job"))
            if (entry.path().extension() == ".log") return entry.path();
        return {};
    }

private:
    QTemporaryDir dir_;
};

}  // namespace fluvex::test
