// Opening a survey the way the acquisition suite leaves it (bench/GeneratedSurvey.h), and a full
// reprocess of every line after a processing option changed.

#include <benchmark/benchmark.h>

#include "GeneratedSurvey.h"
#include "project/Database.h"
#include "settings/Settings.h"

namespace {

using fluvex::bench::OpenSurveyLog;
using fluvex::bench::ReportSurveyEnsembles;

void BM_OpenSurveyLog(benchmark::State& state) {
    fluvex::bench::Survey();
    for (auto _ : state)
        OpenSurveyLog();
    ReportSurveyEnsembles(state);
}
BENCHMARK(BM_OpenSurveyLog)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReprocessSurvey(benchmark::State& state) {
    OpenSurveyLog();
    fluvex::Database& database = fluvex::AppDatabase();
    for (auto _ : state) {
        fluvex::AppSettings().Invalidate();
        for (int line = 0; line < database.LineCount(); ++line)
            benchmark::DoNotOptimize(database.Ensembles(line).data());
    }
    ReportSurveyEnsembles(state);
}
BENCHMARK(BM_ReprocessSurvey)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
