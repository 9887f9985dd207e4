#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "synth/BeamGeometry.h"
#include "synth/NavigationBlocks.h"
#include "synth/Pd0Writer.h"
#include "synth/SurveyDescription.h"

namespace fluvex::synth {

// Discharge through the layers of a vertical or of a crossing, as magnitudes.
struct LayerDischarge {
    double top = 0.0;       // surface to the top edge of the first cell
    double measured = 0.0;  // top edge of the first cell to the bottom edge of the last good cell
    double bottom = 0.0;  // bottom edge of the last good cell (or the first cell's top) to the bed

    double Total() const { return top + measured + bottom; }
};

// What the instrument was given to measure at one ensemble.
struct EnsembleTruth {
    double lineTimeS = 0.0;            // since the first ensemble of the line
    std::int64_t clockHundredths = 0;  // the ensemble's clock reading (SurveyTime)
    Vec3 position;                     // east, north metres from the survey's first ensemble
    GeoPoint geographic;
    double station = 0.0;     // metres from the left bank
    double depthM = 0.0;      // surface to bed, vertically below the transducer
    Vec3 boatVelocity;        // over ground, m/s
    double headingDeg = 0.0;  // as stored
    double pitchDeg = 0.0;
    double rollDeg = 0.0;
    std::array<double, kBeams> bedRangeM{};  // slant range along each beam to the bed
    // Vertical depth below the transducer of each beam's bed hit: what an instrument records
    // as the beam's bottom-track range.
    std::array<double, kBeams> bedBelowTransducerM{};
    // Cells wholly above the bed along each beam; the others are stored as bad in that beam.
    std::array<int, kBeams> cellsAboveBed{};
    // Per cell, the water velocity over ground averaged over the cell's depth span (earth axes,
    // m/s); none for a cell wholly below the bed.
    std::vector<std::optional<Vec3>> water;
    int goodCells = 0;             // cells valid in all four beams: the first goodCells
    LayerDischarge unitDischarge;  // m³/s per second of ensemble time
};

struct EdgeTruth {
    double distanceM = 0.0;    // across the section, from the line's nearest end to the bank
    double coefficient = 0.0;  // 0.31 where the bed meets the bank at depth 0, 0.91 at a wall
    double depthM = 0.0;       // at that end ensemble
    double speedMs = 0.0;      // depth-averaged water speed there

    double Discharge() const { return coefficient * distanceM * speedMs * depthM; }
};

struct LineTruth {
    LayerDischarge discharge;  // m³/s: each ensemble weighted by the time since the previous one
    EdgeTruth left;
    EdgeTruth right;
    bool startsAtLeftBank = true;
    // m³/s through the vertical surface under the track from its first to its last ensemble,
    // integrated continuously rather than ensemble by ensemble.
    double trackExact = 0.0;

    double Total() const { return discharge.Total() + left.Discharge() + right.Discharge(); }
};

// How the boat moves along one line: straight at a steady speed. The ensembles sample it; the
// acquisition suite's sensors sample it at their own times.
struct LineMotion {
    Vec3 start;     // at the line's first ensemble; east, north from the survey's first
    Vec3 velocity;  // over ground, m/s
    double headingOffsetDeg = 0.0;  // 180 on the way back
};

// The boat at any moment of a line, as exact values (nothing rounded as the instrument stores it).
struct BoatState {
    Vec3 position;
    double station = 0.0;
    double bedDepthM = 0.0;   // surface to bed below the boat; 0 off the section
    double headingDeg = 0.0;  // the boat's own, [0, 360): what the head records + mounting yaw
    double pitchDeg = 0.0;
    double rollDeg = 0.0;
};

// lineTimeS counts from the line's first ensemble and may lie before it or after its last.
BoatState BoatAt(const SurveyDescription& description, const LineMotion& motion, double lineTimeS);

struct SyntheticLine {
    int index = 0;     // from 0, in survey order
    std::string stem;  // <Name>_<nnn>, the file name without extension
    LineMotion motion;
    std::vector<Pd0Ensemble> ensembles;
    std::vector<EnsembleTruth> truth;  // one per ensemble
    LineTruth line;
};

// Line `index` (from 0) of the survey. Lines alternate in direction, each starting where the
// previous one ended; each is made on its own, so a survey can be written line by line. Throws
// SynthError when the boat leaves water deeper than its transducer, a beam is tilted out of the
// downward half, or a counter of the file overflows.
SyntheticLine GenerateLine(const SurveyDescription& description, int index);
// Every line of the survey.
std::vector<SyntheticLine> GenerateSurvey(const SurveyDescription& description);
// The PD0 bytes of a line.
std::vector<std::uint8_t> EncodeLine(const SyntheticLine& line);

}  // namespace fluvex::synth
