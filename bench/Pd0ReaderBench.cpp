// Opening a large PD0 line: scan, decode and sort. The file (at least 200 MB, bench/LargeLine.h)
// is made by concatenating the real instrument files of tests/data/pd0. Besides the rate, the open
// reports its time against a plain read of the same file from the page cache and its peak
// resident memory as a multiple of the file size, and beside it the floor of any open that keeps
// the line: reading the file into fresh memory.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "LargeLine.h"
#include "project/LineReprocessing.h"
#include "readers/CRDIReader.h"
#include "readers/LargeBlockAllocator.h"
#include "services/Geodesy.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using fluvex::bench::LargeLine;

const LargeLine& Line() {
    return fluvex::bench::SharedLargeLine();
}

// Seconds of one plain read of the file in 1 MiB blocks, as dd does; the page cache is warm.
double PlainReadSeconds(const fs::path& path) {
    std::vector<char> block(std::size_t{1} << 20);
    std::ifstream in(path, std::ios::binary);
    const auto start = Clock::now();
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
        benchmark::DoNotOptimize(block.data());
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds of reading the whole file into fresh memory of its size, advised for huge pages as the
// reader's own memory is: what any open that keeps the line's bytes must pay before decoding one.
double FreshReadSeconds(const fs::path& path) {
    constexpr std::size_t block = std::size_t{1} << 20;
    const auto bytes = static_cast<std::size_t>(fs::file_size(path));
    fluvex::LargeBlockAllocator<char> allocator;
    std::ifstream in(path, std::ios::binary);
    const auto start = Clock::now();
    char* memory = allocator.allocate(bytes);
    for (std::size_t at = 0; at < bytes && in; at += block)
        in.read(memory + at, static_cast<std::streamsize>(std::min(block, bytes - at)));
    benchmark::DoNotOptimize(memory);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    allocator.deallocate(memory, bytes);
    return seconds;
}

// Wall and processor time of a command run through the shell, its children included.
struct CommandTimes {
    double wall = 0;
    double processor = 0;
};

double ChildProcessorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Nothing when the command fails.
std::optional<CommandTimes> RunCommand(const std::string& command) {
    const double processorBefore = ChildProcessorSeconds();
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return std::nullopt;
    return CommandTimes{std::chrono::duration<double>(Clock::now() - start).count(),
                        ChildProcessorSeconds() - processorBefore};
}

// The best of three runs of `dd if=FILE of=/dev/null bs=1M` as a user would run it (process start
// included): the reference the open is compared with. Zero when dd cannot run.
CommandTimes DdTimes(const fs::path& path) {
    const std::string command = "dd if='" + path.string() + "' of=/dev/null bs=1M 2>/dev/null";
    CommandTimes best{1e9, 1e9};
    for (int run = 0; run < 3; ++run) {
        const auto times = RunCommand(command);
        if (!times) return {};
        best = {std::min(best.wall, times->wall), std::min(best.processor, times->processor)};
    }
    return best;
}

double DdSeconds(const fs::path& path) {
    return DdTimes(path).wall;
}

// Peak resident memory (VmHWM) since the last ResetPeakResident, in bytes.
double PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        double kib = 0;
        if (key == "VmHWM:" && status >> kib) return kib * 1024.0;
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_Pd0PlainRead(benchmark::State& state) {
    const LargeLine& line = Line();
    for (auto _ : state)
        state.SetIterationTime(PlainReadSeconds(line.Path()));
    state.SetBytesProcessed(
        static_cast<std::int64_t>(static_cast<double>(state.iterations()) * line.Bytes()));
}
BENCHMARK(BM_Pd0PlainRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Open with or without a geodesy (positions converted to a UTM grid, or left invalid).
void BM_Pd0Open(benchmark::State& state) {
    const LargeLine& line = Line();
    const bool withGeodesy = state.range(0) != 0;
    double plainRead = 1e9;
    for (int i = 0; i < 3; ++i)
        plainRead = std::min(plainRead, PlainReadSeconds(line.Path()));
    const double dd = DdSeconds(line.Path());
    double openSeconds = 0;
    double freshRead = 1e9;
    double peakResident = 0;
    int ensembles = 0;
    for (auto _ : state) {
        freshRead = std::min(freshRead, FreshReadSeconds(line.Path()));
        auto geodesy = withGeodesy ? fluvex::Geodesy::Create("auto", 1.0).geodesy : nullptr;
        ResetPeakResident();
        const auto start = Clock::now();
        {
            fluvex::CRDIReader reader(geodesy.get());
            if (reader.Open(line.Path()) != fluvex::OpenStatus::Ok) state.SkipWithError("open");
            ensembles = reader.Count();
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            state.SetIterationTime(elapsed);
            openSeconds += elapsed;
            peakResident = std::max(peakResident, PeakResidentBytes());
        }
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(iterations * line.Bytes()));
    state.counters["file_MB"] = line.Bytes() / 1e6;
    state.counters["ensembles"] = ensembles;
    state.counters["ensembles_per_s"] = ensembles * iterations / openSeconds;
    state.counters["vs_plain_read"] = openSeconds / iterations / plainRead;
    state.counters["fresh_read_ms"] = freshRead * 1e3;
    if (dd > 0) {
        state.counters["vs_dd"] = openSeconds / iterations / dd;
        state.counters["fresh_read_vs_dd"] = freshRead / dd;
    }
    state.counters["peak_rss_vs_file"] = peakResident / line.Bytes();
}
BENCHMARK(BM_Pd0Open)
    ->ArgName("geodesy")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// 20 copies of one real transect (winriver02_transect.PD0, 1.4 MB) in one file, opened beside a
// plain read of the same file in the same run: the ratio can be checked on any machine, and the
// peak resident memory is that of the whole process (VmHWM), as a user sees it.
void BM_Pd0OpenTransectCopies(benchmark::State& state) {
    const fs::path path = Line().TransectCopies(20);
    const auto bytes = static_cast<double>(fs::file_size(path));
    const double dd = DdSeconds(path);
    double plainRead = 1e9;
    double openSeconds = 0;
    double peakResident = 0;
    for (auto _ : state) {
        plainRead = std::min(plainRead, PlainReadSeconds(path));
        ResetPeakResident();
        const auto start = Clock::now();
        fluvex::CRDIReader reader;
        if (reader.Open(path) != fluvex::OpenStatus::Ok) state.SkipWithError("open");
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        openSeconds += elapsed;
        peakResident = std::max(peakResident, PeakResidentBytes());
        benchmark::DoNotOptimize(reader.Count());
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(iterations * bytes));
    state.counters["file_MB"] = bytes / 1e6;
    state.counters["plain_read_ms"] = plainRead * 1e3;
    state.counters["vs_plain_read"] = openSeconds / iterations / plainRead;
    state.counters["dd_ms"] = dd * 1e3;
    if (dd > 0) state.counters["vs_dd"] = openSeconds / iterations / dd;
    state.counters["peak_rss_MB"] = peakResident / 1e6;
    state.counters["peak_rss_vs_file"] = peakResident / bytes;
}
BENCHMARK(BM_Pd0OpenTransectCopies)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Reprocessing every ensemble of the large line after a processing option changed: earth
// rotation and bottom-track reference of every cell. The first pass sizes the cells lists; the
// timed passes then allocate nothing per ensemble.
void BM_ReprocessAll(benchmark::State& state) {
    fluvex::CRDIReader reader;
    if (reader.Open(Line().Path()) != fluvex::OpenStatus::Ok) state.SkipWithError("open");
    const fluvex::ProcessingOptions options;
    const auto reprocess = [&reader, &options] { fluvex::ReprocessEnsembles(reader, options); };
    reprocess();
    double cells = 0;
    for (const fluvex::Ensemble& ensemble : reader.Ensembles())
        cells += static_cast<double>(ensemble.cells.size());
    for (auto _ : state) {
        reprocess();
        benchmark::DoNotOptimize(reader.Ensembles().data());
    }
    state.counters["cells"] = cells;
    state.counters["cells_per_s"] = benchmark::Counter(
        cells * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReprocessAll)->Unit(benchmark::kMillisecond)->Iterations(5);

// `fluvex-cli COMMAND --json` of the large line as a user runs it, a fresh process each time
// (process start, open, sort, and for `discharge` the processing and the report), beside `dd` of
// the same file in the same run: wall time (mean and best run) and processor time against those
// of dd. The program is the one built beside this bench.
void BM_Cli(benchmark::State& state, const std::string& subcommand) {
    const fs::path cli =
        fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "fluvex-cli";
    if (!fs::exists(cli)) {
        state.SkipWithError("fluvex-cli is not built");
        return;
    }
    // Settings and caches of the run's own folder, never the user's.
    const std::string folder = Line().Folder().string();
    const std::string command = "FLUVEX_CONFIG_DIR='" + folder + "/cfg' FLUVEX_DATA_DIR='" +
                                folder + "/data' FLUVEX_CACHE_DIR='" + folder + "/cache' '" +
                                cli.string() + "' " + subcommand + " --json '" +
                                Line().Path().string() + "' >/dev/null 2>&1";
    const CommandTimes dd = DdTimes(Line().Path());
    CommandTimes total;
    CommandTimes best{1e9, 1e9};
    for (auto _ : state) {
        const auto times = RunCommand(command);
        if (!times) {
            state.SkipWithError("fluvex-cli failed");
            return;
        }
        state.SetIterationTime(times->wall);
        total = {total.wall + times->wall, total.processor + times->processor};
        best = {std::min(best.wall, times->wall), std::min(best.processor, times->processor)};
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["processor_ms"] = total.processor / iterations * 1e3;
    state.counters["dd_ms"] = dd.wall * 1e3;
    state.counters["dd_processor_ms"] = dd.processor * 1e3;
    if (dd.wall > 0) {
        state.counters["vs_dd"] = total.wall / iterations / dd.wall;
        state.counters["best_vs_dd"] = best.wall / dd.wall;
    }
    if (dd.processor > 0) state.counters["processor_vs_dd"] = best.processor / dd.processor;
}
BENCHMARK_CAPTURE(BM_Cli, info, std::string("info"))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_Cli, discharge, std::string("discharge"))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Scanning 100 MB of hostile bytes that hold no ensemble: a run of 0x7F (a header at every byte
// claiming 32 KB), and a repeated 8-byte header that passes every test short of its checksum
// (one 32 KB checksum every 8 bytes). Either must scan within a small factor of a real file.
void BM_Pd0ScanHostileBytes(benchmark::State& state) {
    const bool plausibleHeaders = state.range(0) != 0;
    const fs::path path = fs::temp_directory_path() / "fluvex-bench-hostile.pd0";
    {
        const std::vector<std::uint8_t> pattern =
            plausibleHeaders
                ? std::vector<std::uint8_t>{0x7F, 0x7F, 0x00, 0x80, 0x00, 0x01, 0x08, 0x00}
                : std::vector<std::uint8_t>{0x7F};
        std::vector<char> block(std::size_t{1} << 20);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(pattern[i % pattern.size()]);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 100; ++i)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    for (auto _ : state) {
        fluvex::CRDIReader reader;
        if (reader.Open(path) != fluvex::OpenStatus::Ok) state.SkipWithError("open");
        benchmark::DoNotOptimize(reader.Count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (100 << 20));
    std::error_code ignored;
    fs::remove(path, ignored);
}
BENCHMARK(BM_Pd0ScanHostileBytes)
    ->ArgName("plausible_headers")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
