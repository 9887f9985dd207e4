// The 2-D and 3-D DXF drawings of the generated survey (bench/GeneratedSurvey.h: 50 lines of
// 2000 ensembles of 30 cells), arrows every 10 m: the whole drawing built and written.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "GeneratedSurvey.h"
#include "export/DxfExports.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/CurrentColourTable.h"
#include "services/UserPrompt.h"

namespace {

namespace fs = std::filesystem;

fluvex::PlanOptions BenchOptions() {
    fluvex::PlanOptions options;
    options.arrowInterval = 10.0;
    return options;
}

void BM_PlanDxf(benchmark::State& state) {
    fluvex::bench::OpenSurveyLog();
    fluvex::Database& database = fluvex::AppDatabase();
    fluvex::StderrPrompt prompt;
    const fs::path file = fs::temp_directory_path() / "fluvex-bench-plan.dxf";
    for (auto _ : state)
        if (!fluvex::ExportPlanDxf(database, BenchOptions(), fluvex::CurrentQuantityOptions(),
                                   fluvex::CurrentVelocityTable(), {0, database.LineCount()}, file,
                                   prompt))
            state.SkipWithError("export");
    state.counters["MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
    fs::remove(file);
}
BENCHMARK(BM_PlanDxf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_VectorDxf(benchmark::State& state) {
    fluvex::bench::OpenSurveyLog();
    fluvex::Database& database = fluvex::AppDatabase();
    fluvex::StderrPrompt prompt;
    const fs::path file = fs::temp_directory_path() / "fluvex-bench-vectors.dxf";
    for (auto _ : state)
        if (!fluvex::ExportVectorDxf(database, BenchOptions(), fluvex::CurrentQuantityOptions(),
                                     {0, database.LineCount()}, file, prompt))
            state.SkipWithError("export");
    state.counters["MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
    fs::remove(file);
}
BENCHMARK(BM_VectorDxf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
