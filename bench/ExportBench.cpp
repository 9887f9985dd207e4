// Exporting the large PD0 line of bench/LargeLine.h (the real instrument files concatenated to
// 200 MB) as CSV: every ping's row with its cells and echo intensities, positions converted to
// latitude and longitude, written through a temporary file that is flushed to disk and renamed.
// Reports the seconds per export and two rates: of the CSV written and of the PD0 line read.
// The workbook of 20 copies of a real transect is timed beside the CSV of the same line.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "LargeLine.h"
#include "export/TextExports.h"
#include "export/WorkbookExport.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Seconds to write `bytes` of zeros in 1 MiB blocks and flush them to disk, as
// `dd bs=1M conv=fsync` does: the floor of an export that is flushed before its rename.
double PlainWriteSeconds(const fs::path& path, double bytes) {
    const std::vector<char> block(std::size_t{1} << 20, 0);
    const auto start = Clock::now();
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (double done = 0; descriptor >= 0 && done < bytes;
         done += static_cast<double>(block.size()))
        if (::write(descriptor, block.data(), block.size()) < 0) break;
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    fs::remove(path);
    return seconds;
}

void BM_CsvExport(benchmark::State& state) {
    const fluvex::bench::LargeLine& line = fluvex::bench::SharedLargeLine();
    auto geodesy = fluvex::Geodesy::Create("auto", 1.0).geodesy;
    fluvex::Database database;
    database.SetGeodesy(geodesy.get());
    fluvex::StderrPrompt prompt;
    if (!database.AddLine(line.Path(), {}, prompt)) state.SkipWithError("open");
    database.Ensembles(0);  // processed before timing, as a user's line is before an export
    const fs::path csv = line.Folder() / "large.csv";
    double seconds = 0;
    double csvBytes = 0;
    double plainWrite = 0;
    for (auto _ : state) {
        // The disk's speed varies by several times from minute to minute on a shared machine:
        // its floor is measured beside every export.
        if (csvBytes > 0) plainWrite += PlainWriteSeconds(line.Folder() / "plain.bin", csvBytes);
        const auto start = Clock::now();
        if (!fluvex::ExportCsv(database, csv, 0, fluvex::CurrentQuantityOptions()))
            state.SkipWithError("export");
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        csvBytes = static_cast<double>(fs::file_size(csv));
        fs::remove(csv);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["pings"] = database.EnsembleCount(0);
    state.counters["csv_MB"] = csvBytes / 1e6;
    state.counters["csv_MB_per_s"] = csvBytes * iterations / seconds / 1e6;
    state.counters["pd0_MB_per_s"] = line.Bytes() * iterations / seconds / 1e6;
    // Of the exports after the first, which have a plain write beside them.
    if (iterations > 1)
        state.counters["plain_write_MB_per_s"] = csvBytes * (iterations - 1) / plainWrite / 1e6;
}
BENCHMARK(BM_CsvExport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

// The workbook of 20 copies of winriver02_transect.PD0 (12,240 pings of 53 cells, positions as
// latitude and longitude) against the CSV of the same line, each export taken in turn in one
// run, so that the ratio holds on any machine.
void BM_WorkbookExport(benchmark::State& state) {
    const fluvex::bench::LargeLine& line = fluvex::bench::SharedLargeLine();
    auto geodesy = fluvex::Geodesy::Create("auto", 1.0).geodesy;
    fluvex::Database database;
    database.SetGeodesy(geodesy.get());
    fluvex::StderrPrompt prompt;
    if (!database.AddLine(line.TransectCopies(20), {}, prompt)) state.SkipWithError("open");
    database.Ensembles(0);
    const fs::path csv = line.Folder() / "transects.csv";
    const fs::path workbook = line.Folder() / "transects.xlsx";
    const auto timed = [](const auto& export_) {
        const auto start = Clock::now();
        if (!export_()) return -1.0;
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double csvSeconds = 0;
    double workbookSeconds = 0;
    for (auto _ : state) {
        const double csvTime = timed(
            [&] { return fluvex::ExportCsv(database, csv, 0, fluvex::CurrentQuantityOptions()); });
        const double workbookTime = timed([&] {
            return fluvex::ExportWorkbook(database, workbook, fluvex::CurrentQuantityOptions());
        });
        if (csvTime < 0 || workbookTime < 0) state.SkipWithError("export");
        state.SetIterationTime(workbookTime);
        csvSeconds += csvTime;
        workbookSeconds += workbookTime;
    }
    state.counters["pings"] = database.EnsembleCount(0);
    state.counters["csv_s"] = csvSeconds / static_cast<double>(state.iterations());
    state.counters["xlsx_MB"] = static_cast<double>(fs::file_size(workbook)) / 1e6;
    state.counters["vs_csv"] = workbookSeconds / csvSeconds;
    fs::remove(csv);
    fs::remove(workbook);
}
BENCHMARK(BM_WorkbookExport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
