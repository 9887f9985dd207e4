#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "synth/NavigationBlocks.h"
#include "synth/Pd0Writer.h"
#include "synth/RiverModel.h"

namespace fluvex::synth {

// A value swinging about its mean: mean + amplitude · sin(2π t / period).
struct Oscillation {
    double mean = 0.0;
    double amplitude = 0.0;
    double periodS = 10.0;

    double At(double seconds) const;
};

struct TrackSetup {
    int ensembles = 100;
    int intervalHundredths = 100;  // between ensembles
    double startStation = 6.0;     // metres from the left bank
    double courseDeg = 90.0;       // over ground, clockwise from north
    double speed = 0.25;           // over ground, m/s
    double lineShift = 0.0;        // each line's track from the previous one's, along the banks
    Oscillation heading{90.0};     // the head's attitude, degrees
    Oscillation pitch;
    Oscillation roll;
};

// Lengths in the instrument's own units, so that the file and the truth use the same numbers.
struct InstrumentSetup {
    CoordinateFrame frame = CoordinateFrame::Earth;
    int beamAngleDeg = 20;
    bool convex = true;
    int cells = 30;
    int cellCm = 25;
    int blankCm = 25;
    int bin1Cm = 50;
    int transducerDepthDm = 2;
    bool bottomTrack = true;
    // The share of each line, at its end, whose bottom-track velocities are lost (stored bad)
    // while the ranges still find the bed, as when the bottom moves or the echo weakens.
    double bottomTrackLost = 0.0;
    int speedOfSound = 1500;
    int temperatureCdeg = 1500;
    int salinity = 0;
    // The head is turned this far clockwise from the heading it records (a misaligned mounting):
    // the head records the heading less this, and turns earth-frame velocities with it.
    double mountingYawDeg = 0.0;

    double CellSizeM() const { return cellCm / 100.0; }
    double TransducerDepthM() const { return transducerDepthDm / 10.0; }
    // Depth below the surface of the top edge of the first cell.
    double FirstCellTopM() const;
};

// Echo intensity in counts at a slant range r (metres): spherical spreading of 20·log10(r) dB at
// 0.45 dB per count, plus absorption, never below the noise floor; beyond the bed, the floor.
struct EchoModel {
    double levelAt1m = 180.0;
    double attenuationPerM = 1.5;  // counts per metre of slant range
    double noiseFloor = 40.0;

    double CountsAt(double slantRangeM) const;
};

struct NoiseSetup {
    bool enabled = false;
    std::uint64_t seed = 1;
    double velocityStdMmS = 20.0;    // added to every stored profile velocity
    double bottomTrackStdMmS = 5.0;  // added to every stored bottom-track velocity
};

struct NavigationSetup {
    std::vector<NavigationKind> blocks;
    GeoPoint origin;                 // the first ensemble of the survey
    std::int32_t clockOffsetMs = 0;  // the instrument's clock minus UTC
    double fixAgeS = 0.5;            // binary navigation: last fix this long before the ensemble
    double fixIntervalS = 1.0;       // and the first fix this long before the last
};

enum class LineFileKind { None, Edited, Raw };               // flat output, .kq2 or raw line files
enum class PlannedLineRecord { Points128, Points32, None };  // 0x38, 0x0E or no record

// How the acquisition suite would have left the survey: a project folder with the instrument
// files, a line log and one line file per line carrying the navigation and the planned line.
struct SuiteSetup {
    LineFileKind lineFiles = LineFileKind::None;
    std::string logFolder = "edit";  // exactly four characters
    int navIntervalMs = 500;         // between navigation records
    double gridX = 500000.0;         // grid position of the survey's first ensemble, metres
    double gridY = 5000000.0;
    PlannedLineRecord plannedLine = PlannedLineRecord::Points128;  // edited files only
    int badRecordEvery = 0;  // every n-th navigation record is unusable; 0 none

    bool Enabled() const { return lineFiles != LineFileKind::None; }
};

struct SurveyDescription {
    std::string name = "synthetic";
    int lines = 1;
    std::int64_t startHundredths = 0;  // clock reading of the first ensemble (SurveyTime)
    std::uint32_t timeTagStartMs = 0;  // suite output: always the time of day of `Start`
    int lineGapHundredths = 3000;      // from the last ensemble of a line to the first of the next
    CrossSection section;
    double sectionAzimuthDeg = 90.0;  // from the left bank towards the right bank
    WaterFlow water;
    TrackSetup track;
    InstrumentSetup instrument;
    EchoModel echo;
    NoiseSetup noise;
    NavigationSetup navigation;
    SuiteSetup suite;
};

// Reads a description (the keys are documented in docs/formats.md, "Synthetic survey
// description"). Throws SynthError naming the line and key at fault.
SurveyDescription ParseSurveyDescription(std::string_view iniText);
SurveyDescription ReadSurveyDescription(const std::filesystem::path& path);

}  // namespace fluvex::synth
