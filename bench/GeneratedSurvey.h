#pragma once

// A survey the way the acquisition suite leaves it: a line log of 50 generated lines of 2000
// ensembles, each with its edited file (navigation every 0.5 s and a planned line). It is
// generated once per run by fluvex-synth in a temporary folder and removed at exit.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"

namespace fluvex::bench {

inline constexpr int kSurveyLines = 50;
inline constexpr int kSurveyEnsemblesPerLine = 2000;

class GeneratedSurvey {
public:
    GeneratedSurvey() : folder_("survey-bench", BenchFolder::HostFolders::Inside) {
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = bench\nLines = " + std::to_string(kSurveyLines) +
            "\nStart = 2024-05-14T06:00:00.00\nLineGap = 20\n"
            "[Section]\nWidth = 400\nDepth = 6\n"
            "[Track]\nEnsembles = " +
            std::to_string(kSurveyEnsemblesPerLine) +
            "\nInterval = 0.5\nStartStation = 10\nSpeed = 0.18\n"
            "[Instrument]\nCells = 30\n[Suite]\nLineFiles = kq2\n");
        synth::WriteSurvey(description, folder_.Path());
        log_ = folder_.Path() / "bench" / "edit" / "bench.log";
    }
    GeneratedSurvey(const GeneratedSurvey&) = delete;
    GeneratedSurvey& operator=(const GeneratedSurvey&) = delete;

    const std::filesystem::path& Log() const { return log_; }

private:
    BenchFolder folder_;
    std::filesystem::path log_;
};

inline const GeneratedSurvey& Survey() {
    static const GeneratedSurvey survey;
    return survey;
}

// Opens the survey's line log into the process's line collection.
inline void OpenSurveyLog() {
    const std::vector<std::filesystem::path> files{Survey().Log()};
    RecordingPrompt prompt;
    OpenSurveyFiles(AppDatabase(), files, prompt);
    if (AppDatabase().LineCount() != kSurveyLines) throw std::runtime_error("survey not loaded");
}

// Every ensemble of the survey once per iteration.
inline void ReportSurveyEnsembles(benchmark::State& state) {
    state.counters["ensembles/s"] =
        benchmark::Counter(static_cast<double>(kSurveyLines) * kSurveyEnsemblesPerLine *
                               static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

}  // namespace fluvex::bench
