#pragma once

// The samples of the other instrument family's transects (SonTek RiverSurveyor S5/M9), field by
// field as the ensemble record takes them. Their raw recordings have no public description; what
// their users have is the acquisition software's MATLAB export of each transect, which
// MatlabExportSource reads. Any other source only has to deliver these fields.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "model/Ensemble.h"

namespace fluvex {

// Four beams of one acoustic frequency, radians: elevation from the vertical, azimuth clockwise
// from the instrument's y axis.
struct SonTekBeamSet {
    int beamCount = 4;
    std::array<double, kBeamCount> elevation{};
    std::array<double, kBeamCount> azimuth{};
};

// Sample time as the instrument's clock gave it, month 1-12.
struct SonTekTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    double second = 0.0;
};

// One sample. Velocities are in the instrument's x, y, z (and error) axes relative to the
// instrument; not a number where the instrument had no valid value.
struct SonTekSample {
    int sampleNumber = 0;
    MeasurementPart part = MeasurementPart::Transect;
    int beamSet = 0;                // index into BeamSets()
    double blankingDistanceCm = 0;  // surface to the start of cell 1 (the draft included)
    double cellSizeCm = 0;
    double pulseLengthCm = 0;
    SonTekTime sampleTime;
    double headingDeg = 0;  // compass, magnetic
    double pitchDeg = 0;
    double rollDeg = 0;
    double temperatureC = 0;
    // Bottom track: vertical depth below the surface seen by each beam (0 = none), and the
    // bottom's velocity relative to the instrument (x, y, z, error).
    std::array<double, kBeamCount> bottomRangeCm{};
    std::array<double, kBeamCount> bottomVelocityMmS{};
    double verticalRangeCm = 0;  // vertical beam, below the surface; 0 = none
    bool ggaValid = false;
    double ggaLatitude = 0;   // degrees, unsigned; ggaNs 'S' makes it south
    double ggaLongitude = 0;  // degrees, unsigned; ggaEw 'W' makes it west
    char ggaNs = 'N';
    char ggaEw = 'E';
    // The boat's velocity over ground by the source's own track reference (east, north, mm/s);
    // not a number when it has none.
    double boatEastMmS = 0;
    double boatNorthMmS = 0;
    // Per cell and beam: x, y, z, error velocity (mm/s) and amplitude (counts).
    std::vector<std::array<double, kBeamCount>> velocityMmS;
    std::vector<std::array<double, kBeamCount>> amplitude;
};

class SonTekSampleSource {
public:
    virtual ~SonTekSampleSource() = default;

    // False, with `error` saying why in words a surveyor understands, when the file cannot be
    // read as a transect.
    virtual bool Open(const std::filesystem::path& file, std::string& error) = 0;
    virtual int SampleCount() const = 0;
    virtual const std::vector<SonTekBeamSet>& BeamSets() const = 0;
    // Nothing for an index out of range or a sample that cannot be read.
    virtual std::optional<SonTekSample> Sample(int index) const = 0;
};

}  // namespace fluvex
