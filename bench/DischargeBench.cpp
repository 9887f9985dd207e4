// The discharge report of a whole survey (bench/GeneratedSurvey.h): every ensemble of every line
// read once per rebuild, with the edge estimates, then the text.

#include <benchmark/benchmark.h>

#include "GeneratedSurvey.h"
#include "project/Database.h"
#include "project/DischargeReport.h"

namespace {

void BM_DischargeReport(benchmark::State& state) {
    fluvex::bench::OpenSurveyLog();
    for (auto _ : state)
        benchmark::DoNotOptimize(fluvex::BuildDischargeReport(fluvex::AppDatabase()));
    fluvex::bench::ReportSurveyEnsembles(state);
}
BENCHMARK(BM_DischargeReport)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
