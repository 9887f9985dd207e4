#pragma once

// What every window test starts from: the host state of HostState.h in a fresh temporary folder,
// put back when it ends.

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>
#include <string>
#include <vector>

#include "HostState.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"

namespace fluvex::test {

// The named child of a window; a missing one stops the run, as every later step would fail.
template <typename T>
T* ChildOf(const QObject& window, const QString& name) {
    T* child = window.findChild<T*>(name);
    if (child == nullptr) qFatal("no control %s", qPrintable(name));
    return child;
}

class ViewTestFolders {
public:
    ViewTestFolders() { ResetHostState(Root()); }
    ~ViewTestFolders() { RestoreHostState(); }
    ViewTestFolders(const ViewTestFolders&) = delete;
    ViewTestFolders& operator=(const ViewTestFolders&) = delete;

    std::filesystem::path Root() const { return dir_.path().toStdString(); }

    // Three 40-ping crossings recorded on 2024-05-14 from 09:30:00, as the acquisition suite
    // leaves them with edited files, the first ping at grid (500000, 5000000); returns the line
    // log. The truth of line n is in job/job_00n.truth.json. `extra` adds to the description.
    std::filesystem::path WriteSuiteSurvey(const std::string& extra = {}) const {
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = job\nLines = 3\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 60\nDepth = 4\n"
            "[Track]\nEnsembles = 40\nStartStation = 5\nSpeed = 0.9\n"
            "[Suite]\nLineFiles = kq2\n" +
            extra);
        synth::WriteSurvey(description, Root());
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Root() / "job"))
            if (entry.path().extension() == ".log") return entry.path();
        return {};
    }

    // Writes that survey and opens its line log in the line collection; false when a file failed.
    bool OpenSuiteSurvey(UserPrompt& prompt, const std::string& extra = {}) const {
        const std::vector<std::filesystem::path> files{WriteSuiteSurvey(extra)};
        return OpenSurveyFiles(AppDatabase(), files, prompt).failedFiles == 0;
    }

    // Writes the survey of `description` and opens its files named *`extension` in the line
    // collection; false when a file failed.
    bool OpenSurvey(const std::string& description, const char* extension) const {
        std::vector<std::filesystem::path> files;
        for (const auto& file :
             synth::WriteSurvey(synth::ParseSurveyDescription(description), Root()))
            if (file.extension() == extension) files.push_back(file);
        RecordingPrompt prompt;
        return OpenSurveyFiles(AppDatabase(), files, prompt).failedFiles == 0;
    }

private:
    QTemporaryDir dir_;
};

}  // namespace fluvex::test
