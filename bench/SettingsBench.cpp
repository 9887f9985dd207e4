// Start-up cost of the settings file: parsing and applying every key, and writing them back.

#include <benchmark/benchmark.h>

#include "services/IniFile.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

namespace {

std::string FullSettingsText() {
    fluvex::IniFile ini;
    fluvex::WriteSettingsFile(fluvex::Settings{}, ini);
    return ini.Text();
}

void BM_ReadSettingsFile(benchmark::State& state) {
    const std::string text = FullSettingsText();
    fluvex::Settings settings;
    for (auto _ : state) {
        fluvex::ReadSettingsFile(settings, fluvex::IniFile::Parse(text));
        benchmark::DoNotOptimize(settings.MaxDepth);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadSettingsFile);

void BM_WriteSettingsFile(benchmark::State& state) {
    const fluvex::Settings settings;
    for (auto _ : state) {
        fluvex::IniFile ini;
        fluvex::WriteSettingsFile(settings, ini);
        benchmark::DoNotOptimize(ini.Text());
    }
}
BENCHMARK(BM_WriteSettingsFile);

}  // namespace
