// One screen frame of the profile view: the whole paint (layout, header, footer, section image,
// bed, axes, labels, colour bar) of a generated 10,000-ping, 100-cell line onto a 1600 x 1000
// image, by distance along line and by time. The frame budget is 30 ms.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "OffscreenApplication.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"
#include "views/ProfilePainter.h"

namespace {

using namespace fluvex;

constexpr int kPings = 10000;
constexpr int kCells = 100;
constexpr int kFrameWidth = 1600;
constexpr int kFrameHeight = 1000;

// A 2 km crossing of a 30 m deep river at one ping a second, as the acquisition suite leaves
// it, loaded as the current line with colours scaled to it. Made once per run in a temporary
// folder and removed at exit.
class PaintedLine {
public:
    PaintedLine() : folder_("paint-bench", bench::BenchFolder::HostFolders::Inside) {
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = paint\nStart = 2024-05-14T06:00:00.00\n"
            "[Section]\nWidth = 2000\nDepth = 30\n"
            "[Water]\nProfile = powerlaw\nSpeed = 0.8\n"
            "[Track]\nEnsembles = " +
            std::to_string(kPings) +
            "\nInterval = 1\nStartStation = 100\nSpeed = 0.18\n"
            "[Instrument]\nCells = " +
            std::to_string(kCells) + "\n[Noise]\nEnabled = 1\n[Suite]\nLineFiles = kq2\n");
        synth::WriteSurvey(description, folder_.Path());
        const std::vector<std::filesystem::path> files{folder_.Path() / "paint" / "edit" /
                                                       "paint.log"};
        RecordingPrompt prompt;
        OpenSurveyFiles(AppDatabase(), files, prompt);
        if (AppDatabase().EnsembleCount(0) != kPings) throw std::runtime_error("line not loaded");
        AppSettings().CurrentLine = 0;
        if (!LoadColourTable(folder_.Path() / "host" / "ADCP.hcf"))
            throw std::runtime_error("no colour table");
        if (const auto range = AppDatabase().VelocityRange(0))
            RescaleVelocityTable(range->minimum, range->maximum);
    }
    PaintedLine(const PaintedLine&) = delete;
    PaintedLine& operator=(const PaintedLine&) = delete;

private:
    bench::BenchFolder folder_;
};

void LoadLineOnce() {
    static const PaintedLine line;
}

void BM_PaintProfileFrame(benchmark::State& state) {
    bench::Application();
    LoadLineOnce();
    AppSettings().UseTime = state.range(0) != 0;
    AppDatabase().Ensembles(0);  // processed before timing, as a shown line is
    QImage frame(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&frame);
        const ProfileLayout layout =
            ComputeProfileLayout(AppDatabase(), 0, {0, 0, kFrameWidth - 1, kFrameHeight - 1}, false,
                                 MeasureText(painter.fontMetrics()));
        PaintProfile(painter, AppDatabase(), 0, layout, true);
    }
    state.counters["pings"] = kPings;
    state.counters["cells/s"] = benchmark::Counter(
        static_cast<double>(kPings) * kCells * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PaintProfileFrame)
    ->ArgName("time")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
