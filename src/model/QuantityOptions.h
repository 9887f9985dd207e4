#pragma once

// The surveyor's choices that decide how a ping's quantities read: which clock times it, which
// heading it uses, which depth and how many cells count, which velocity is shown and in what
// units. The quantity functions take them as a value, so that a caller sees what a result
// depends on; the application fills them from its settings.

#include "model/Units.h"

namespace fluvex {

// How pings are timed (the settings' Time_Type). Any other value uses the time tag too.
enum TimingMode : int {
    kTimingTimeTag = 0,
    kTimingInstrumentClock = 1,  // seconds from the start of the year, from the ping's clock
    kTimingSuite = 2,            // the survey suite's time tag, in milliseconds
};

// Depth references (the settings' BottomTrack).
enum DepthReference : int {
    kEchoSounderHighDepth = 0,  // navigation record depth 1
    kEchoSounderLowDepth = 1,   // navigation record depth 2
    kBottomTrackDepth = 2,
    kVerticalBeamDepth = 3,
};

// Rules for the last cell to use (the settings' bottomClipping).
enum LastCellRule : int {
    kAllCells = 0,
    kLastValidCell = 1,       // the deepest cell with a valid East above the bottom
    kCellsClearOfBottom = 2,  // clipValue cells kept clear above the bottom
    kPercentOfRange = 3,      // clipValue percent of the range cut off above the bottom
};

// Where heading, pitch and roll come from.
struct AttitudeOptions {
    double magneticDeclination = 0;  // degrees added to the compass heading
    bool editedHeading = false;      // the edited file's heading where the ping has a position
    bool editedPitchRoll = false;    // the edited file's pitch and roll likewise
};

struct QuantityOptions {
    int timingMode = kTimingTimeTag;
    AttitudeOptions attitude;
    int depthReference = kBottomTrackDepth;
    // The bottom-track depth of a ping without a bottom-track block, display unit: the fixed
    // depth of the drawing, or 0 where depths are scaled automatically.
    double depthWithoutBottomTrack = 0;
    int lastCellRule = kAllCells;
    double clipValue = 0;                 // cells or percent, by the rule
    int velocityQuantity = kMagnitude3D;  // the shown VelocityQuantity
    UnitSystem units;
};

}  // namespace fluvex
