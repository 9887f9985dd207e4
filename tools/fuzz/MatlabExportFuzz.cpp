// Fuzz target: one input read as a SonTek transect's MATLAB export, through matio and the
// sample source, and every sample it offers turned into an ensemble. Besides the sanitizers, the
// traps check what the source promises: every counted sample within the record's limits.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/Ensemble.h"
#include "readers/YDFFReader.h"
#include "services/MatlabExportSource.h"

namespace {

const std::filesystem::path& InputPath() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("fluvex-fuzz-" + std::to_string(::getpid()) + ".mat");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(InputPath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    fluvex::MatlabExportSource source;
    std::string error;
    if (!source.Open(InputPath(), error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    if (source.BeamSets().empty()) __builtin_trap();
    const fluvex::SonTekBeamSet& set = source.BeamSets().front();
    const fluvex::SharedBeamAngles beams({set.elevation, set.azimuth});
    fluvex::Ensemble ensemble;
    for (int i = 0; i < source.SampleCount(); ++i) {
        const auto sample = source.Sample(i);
        if (!sample) continue;
        if (sample->velocityMmS.size() > static_cast<std::size_t>(fluvex::kMaxCells))
            __builtin_trap();
        fluvex::ConvertSonTekSample(*sample, beams, nullptr, ensemble);
    }
    if (source.Sample(source.SampleCount())) __builtin_trap();
    return 0;
}
