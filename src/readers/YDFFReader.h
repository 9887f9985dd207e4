#pragma once

// The reader of the other instrument family's transects (SonTek RiverSurveyor S5/M9). Their
// samples come from a SonTek sample source: the acquisition software's MATLAB export of the
// transect (.mat). A raw recording (.riv, .rivr, .ydff), whose format has no public description,
// opens from the export of the same name beside it.
//
// Each sample becomes an ensemble with the family's fixed values (25-degree convex beams,
// instrument axes), so that the accessors and the processing treat both families alike.

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "readers/CRDIReader.h"

namespace fluvex {

class SonTekSampleSource;
struct SonTekSample;
struct SonTekBeamSet;

class YDFFReader final : public CRDIReader {
public:
    explicit YDFFReader(Geodesy* geodesy = nullptr);
    ~YDFFReader() override;

    // Not Ok when neither the file nor an export beside it can be read; OpenError() says why.
    OpenStatus Open(const std::filesystem::path& path) override;
    bool Load() override;

    // The export the samples of `file` come from: the file itself for a ".mat", else the ".mat"
    // of the same name beside it (any case). Nothing when there is none.
    static std::optional<std::filesystem::path> ExportFor(const std::filesystem::path& file);

private:
    void MeasureTrack(const std::vector<bool>& boatVelocityGiven);

    std::unique_ptr<SonTekSampleSource> source_;
};

// Writes one sample into `ensemble` (cleared first) with the family's fixed values; the
// position is converted through `geodesy` when it has one. Exposed for tests.
void ConvertSonTekSample(const SonTekSample& sample, const SharedBeamAngles& beams,
                         Geodesy* geodesy, Ensemble& ensemble);

}  // namespace fluvex
