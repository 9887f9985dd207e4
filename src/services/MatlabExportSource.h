#pragma once

// The acquisition software's MATLAB export of one SonTek transect (MATLAB 5 MAT-file with the
// structs System, Setup, Summary, BottomTrack, WaterTrack, GPS, Compass and
// Transformation_Matrices), read with matio and turned into samples. docs/formats.md gives the
// mapping field by field.

#include <memory>

#include "services/SonTekSampleSource.h"

namespace fluvex {

class MatlabExportSource final : public SonTekSampleSource {
public:
    MatlabExportSource();
    ~MatlabExportSource() override;
    MatlabExportSource(const MatlabExportSource&) = delete;
    MatlabExportSource& operator=(const MatlabExportSource&) = delete;

    bool Open(const std::filesystem::path& file, std::string& error) override;
    int SampleCount() const override;
    const std::vector<SonTekBeamSet>& BeamSets() const override;
    std::optional<SonTekSample> Sample(int index) const override;

private:
    struct Columns;
    std::unique_ptr<Columns> columns_;
    std::vector<SonTekBeamSet> beamSets_;
};

// The beam sets of the export's Transformation_Matrices (4 x 4 per frequency, beams in columns):
// each beam's azimuth from the matrix, the nominal 25 degrees of elevation. Exposed for tests.
SonTekBeamSet BeamSetFromMatrix(const std::array<double, 16>& columnMajor);

}  // namespace fluvex
