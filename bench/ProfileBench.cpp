// The velocity section of one long line into the plot of a 1600 x 1000 window: the ping walk, the
// cells filled row by row and the bed points, without the painting that follows.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "project/Database.h"
#include "project/ProfileScales.h"
#include "project/ProfileSection.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

constexpr int kEnsembles = 10'000;
constexpr int kCells = 100;

// A crossing of 10,000 pings of 100 cells with positions, over a river 600 m wide and 20 m deep,
// generated once per run in a temporary folder and removed at exit. It has a collection of its
// own, so that the other benchmarks' surveys neither replace it nor share its memory.
class LongLine {
public:
    LongLine() : folder_("profile-bench", bench::BenchFolder::HostFolders::Inside) {
        if (!LoadColourTable(folder_.Path() / "ADCP.hcf"))
            throw std::runtime_error("no colour table");
        RescaleVelocityTable(0, 1.5);
        geodesy_ = Geodesy::Create("EPSG:32632", 1.0).geodesy;
        database_.SetGeodesy(geodesy_.get());
        WriteLine();
        RecordingPrompt prompt;
        if (!database_.AddLine(File(), {}, prompt)) throw std::runtime_error("line not loaded");
    }
    ~LongLine() { database_.Clear(); }
    LongLine(const LongLine&) = delete;
    LongLine& operator=(const LongLine&) = delete;

    Database& Lines() { return database_; }

private:
    std::filesystem::path File() const { return folder_.Path() / "long.PD0"; }

    void WriteLine() const {
        const synth::SyntheticLine line =
            synth::GenerateLine(synth::ParseSurveyDescription(
                                    "[Section]\nWidth = 600\nDepth = 20\n"
                                    "[Water]\nProfile = powerlaw\nSpeed = 0.8\nDirection = 10\n"
                                    "[Track]\nEnsembles = " +
                                    std::to_string(kEnsembles) +
                                    "\nInterval = 0.5\nStartStation = 50\nSpeed = 0.1\n"
                                    "[Instrument]\nCells = " +
                                    std::to_string(kCells) +
                                    "\nCellSize = 0.2\n[Noise]\nEnabled = 1\n"
                                    "[Navigation]\nBlocks = 104\nLatitude = 47\nLongitude = 8\n"),
                                0);
        const std::vector<std::uint8_t> bytes = synth::EncodeLine(line);
        std::ofstream(File(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    bench::BenchFolder folder_;
    std::unique_ptr<Geodesy> geodesy_;  // outlives the collection's lines
    Database database_;
};

LongLine& SharedLongLine() {
    static LongLine line;
    return line;
}

// Argument 0 draws by distance along line, 1 by time.
void BM_RenderSection(benchmark::State& state) {
    Database& database = SharedLongLine().Lines();
    AppSettings().UseTime = state.range(0) == 1;
    // Any reprocessing another benchmark left pending happens here, not in the timed loop.
    benchmark::DoNotOptimize(database.Ensembles(0).data());
    const ProfileLayout layout =
        ComputeProfileLayout(database, 0, {0, 0, 1600, 1000}, false, {8, 40, 14});
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderSection(database, 0, layout).pixels.data());
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["ensembles/s"] =
        benchmark::Counter(kEnsembles * iterations, benchmark::Counter::kIsRate);
    state.counters["cells/s"] =
        benchmark::Counter(double{kEnsembles} * kCells * iterations, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSection)->ArgName("time")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fluvex
