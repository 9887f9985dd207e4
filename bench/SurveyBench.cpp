// Opening a survey the way the acquisition suite leaves it: a line log of 50 generated lines of
// 2000 ensembles, each with its edited file (navigation every 0.5 s and a planned line), and a
// full reprocess of every line after a processing option changed. The survey is generated once
// by fluvex-synth in a temporary folder and removed at exit.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLines = 50;
constexpr int kEnsemblesPerLine = 2000;

class GeneratedSurvey {
public:
    GeneratedSurvey()
        : folder_(fs::temp_directory_path() / ("fluvex-survey-bench-" + std::to_string(::getpid()))) {
        fs::create_directories(folder_);
        // Host folders of the run itself, so that the bench never reads the user's settings.
        for (const auto kind : {fluvex::FolderKind::ProgramData, fluvex::FolderKind::Scratch,
                                fluvex::FolderKind::SettingsFolder})
            fluvex::Host().OverrideFolder(kind, folder_ / "host");
        const auto description = fluvex::synth::ParseSurveyDescription(
            "[Survey]\nName = bench\nLines = " + std::to_string(kLines) +
            "\nStart = 2024-05-14T06:00:00.00\nLineGap = 20\n"
            "[Section]\nWidth = 400\nDepth = 6\n"
            "[Track]\nEnsembles = " + std::to_string(kEnsemblesPerLine) +
            "\nInterval = 0.5\nStartStation = 10\nSpeed = 0.18\n"
            "[Instrument]\nCells = 30\n[Suite]\nLineFiles = kq2\n");
        fluvex::synth::WriteSurvey(description, folder_);
        log_ = folder_ / "bench" / "edit" / "bench.log";
    }
    ~GeneratedSurvey() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    GeneratedSurvey(const GeneratedSurvey&) = delete;
    GeneratedSurvey& operator=(const GeneratedSurvey&) = delete;

    const fs::path& Log() const { return log_; }

private:
    fs::path folder_;
    fs::path log_;
};

const GeneratedSurvey& Survey() {
    static const GeneratedSurvey survey;
    return survey;
}

void OpenLog() {
    const std::vector<fs::path> files{Survey().Log()};
    fluvex::RecordingPrompt prompt;
    fluvex::OpenSurveyFiles(fluvex::AppDatabase(), files, prompt);
    if (fluvex::AppDatabase().LineCount() != kLines) throw std::runtime_error("survey not loaded");
}

void ReportEnsembles(benchmark::State& state) {
    state.counters["ensembles/s"] = benchmark::Counter(
        static_cast<double>(kLines) * kEnsemblesPerLine * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

void BM_OpenSurveyLog(benchmark::State& state) {
    Survey();
    for (auto _ : state)
        OpenLog();
    ReportEnsembles(state);
}
BENCHMARK(BM_OpenSurveyLog)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReprocessSurvey(benchmark::State& state) {
    OpenLog();
    fluvex::Database& database = fluvex::AppDatabase();
    for (auto _ : state) {
        fluvex::AppSettings().Invalidate(-1);
        for (int line = 0; line < database.LineCount(); ++line)
            benchmark::DoNotOptimize(database.Ensembles(line).data());
    }
    ReportEnsembles(state);
}
BENCHMARK(BM_ReprocessSurvey)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
