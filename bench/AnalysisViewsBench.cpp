// The analysis panels on a 50,000-ping line: the spreadsheet shown (grid filled, drawn, then
// scrolled to the middle and drawn again; budget 100 ms) and a quick chart of four quantities
// refreshed and drawn (budget 200 ms), each into a 1400 x 800 picture.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QLineSeries>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "OffscreenApplication.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"
#include "views/TfrmQuickChart.h"
#include "views/TfrmSpreadsheet.h"

namespace {

using namespace fluvex;

constexpr int kPings = 50000;
const QSize kPanel(1400, 800);

// 50,000 pings at two a second in one instrument file: five generated 10,000-ping crossings (the
// generator's most) written one after the other. Made once per run in a temporary folder and
// removed at exit.
class LongLine {
public:
    LongLine() : folder_("analysis-bench", bench::BenchFolder::HostFolders::Inside) {
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = long\nLines = 5\nStart = 2024-05-14T06:00:00.00\n"
            "[Section]\nWidth = 1000\nDepth = 8\n[Water]\nSpeed = 0.8\n"
            "[Track]\nEnsembles = 10000\nInterval = 0.5\nStartStation = 10\nSpeed = 0.19\n"
            "[Instrument]\nCells = 40\n[Noise]\nEnabled = 1\n");
        std::ofstream whole(File(), std::ios::binary);
        for (const std::filesystem::path& file :
             synth::WriteSurvey(description, folder_.Path() / "lines"))
            if (file.extension() == ".PD0") whole << std::ifstream(file, std::ios::binary).rdbuf();
    }
    LongLine(const LongLine&) = delete;
    LongLine& operator=(const LongLine&) = delete;

    // Loaded as the current line and processed, as a shown line is; other benchmarks of the
    // run may have loaded theirs meanwhile.
    void Load() const {
        if (AppDatabase().EnsembleCount(0) != kPings) {
            const std::vector<std::filesystem::path> files{File()};
            RecordingPrompt prompt;
            OpenSurveyFiles(AppDatabase(), files, prompt);
            if (AppDatabase().EnsembleCount(0) != kPings) throw std::runtime_error("not loaded");
        }
        AppSettings().CurrentLine = 0;
        AppDatabase().Ensembles(0);
    }

private:
    std::filesystem::path File() const { return folder_.Path() / "long.PD0"; }

    bench::BenchFolder folder_;
};

void LoadLine() {
    bench::Application();
    static const LongLine line;
    line.Load();
}

void BM_ShowSpreadsheet(benchmark::State& state) {
    LoadLine();
    constexpr std::array kColumns{2, 4, 5, 7, 11, 13, 16, 18};
    AppSettings().NColumns = static_cast<int>(kColumns.size());
    std::ranges::copy(kColumns, AppSettings().Column.begin());
    TfrmSpreadsheet sheet;
    sheet.resize(kPanel);
    sheet.show();
    auto* grid = sheet.findChild<QTableView*>("grid");
    QImage picture(kPanel, QImage::Format_RGB32);
    for (auto _ : state) {
        sheet.Refresh();
        sheet.render(&picture);
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
        sheet.render(&picture);
        grid->verticalScrollBar()->setValue(0);
    }
    state.counters["rows"] = grid->model()->rowCount();
}
BENCHMARK(BM_ShowSpreadsheet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RefreshQuickChart(benchmark::State& state) {
    LoadLine();
    // Depth, bottom-track speed, pitch and mean water speed against time.
    AppSettings().QuickChartSlot[0] = (1 << 4) | (1 << 7) | (1 << 11) | (1 << 18);
    std::unique_ptr<TfrmQuickChart> chart(TfrmQuickChart::Create(0));
    chart->resize(kPanel);
    chart->show();
    QImage picture(kPanel, QImage::Format_RGB32);
    for (auto _ : state) {
        chart->Refresh();
        chart->render(&picture);
    }
    state.counters["points"] = static_cast<double>(chart->Series(4)->count());
}
BENCHMARK(BM_RefreshQuickChart)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
