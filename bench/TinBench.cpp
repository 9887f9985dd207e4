// 100,000 scattered points (a smooth velocity field with noise over a 1 km square): triangulated,
// and contoured at 20 levels into a drawing; the contouring alone and the whole path with the
// drawing written are timed separately. Target: the whole under 1 s on one core.

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "export/Tin.h"

namespace {

namespace fs = std::filesystem;

std::vector<fluvex::TinPoint> ScatteredPoints() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> place(0.0, 1000.0);
    std::normal_distribution<double> noise(0.0, 0.01);
    std::vector<fluvex::TinPoint> points;
    for (int i = 0; i < 100000; ++i) {
        const double x = place(random);
        const double y = place(random);
        // 0 to 2 m/s: 20 levels at 0.1.
        points.push_back({x, y, 1.0 + std::sin(x / 150.0) * std::cos(y / 200.0) + noise(random)});
    }
    return points;
}

void BM_TinTriangulate(benchmark::State& state) {
    const std::vector<fluvex::TinPoint> points = ScatteredPoints();
    fluvex::Tin tin;
    for (auto _ : state)
        tin.Load(points, 0.0);
    state.counters["triangles"] = static_cast<double>(tin.TriangleCount());
}
BENCHMARK(BM_TinTriangulate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_TinContours20Levels(benchmark::State& state) {
    fluvex::Tin tin;
    tin.Load(ScatteredPoints(), 0.0);
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = 0;
        for (const fluvex::ContourLevel& level : tin.Contours(0.1))
            lines += level.lines.size();
    }
    state.counters["polylines"] = static_cast<double>(lines);
}
BENCHMARK(BM_TinContours20Levels)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_TinWholeDrawing(benchmark::State& state) {
    const std::vector<fluvex::TinPoint> points = ScatteredPoints();
    const fluvex::ContourColour colours[] = {{0.0, 0xFF0000}, {1.0, 0x00FF00}, {2.0, 0x0000FF}};
    const fs::path file = fs::temp_directory_path() / "fluvex-bench-tin.dxf";
    for (auto _ : state) {
        fluvex::Tin tin;
        tin.Load(points, 0.0);
        fluvex::DxfWriter writer(fluvex::DxfUnits::Metres);
        tin.DrawContours(writer, 0.1, colours);
        fluvex::DrawContourLegend(writer, colours, "m/s", tin.Bounds());
        if (!writer.SaveAs(file)) state.SkipWithError("save");
    }
    state.counters["MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
    fs::remove(file);
}
BENCHMARK(BM_TinWholeDrawing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
