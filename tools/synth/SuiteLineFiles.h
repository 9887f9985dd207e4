#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::synth {

// One fix of the acquisition suite's navigation, in grid units (metres) and degrees.
struct SuiteNavigationRecord {
    std::int64_t timeOfDayMs = 0;  // by the instrument's clock, as the PD0 time tags
    bool usable = true;            // false: a wild position the readers must skip
    double x = 0.0;
    double y = 0.0;
    double depth1M = 0.0;  // bed below the water surface
    double depth2M = 0.0;  // the second sounder, 0.10 m deeper
    double headingDeg = 0.0;
    double pitchDeg = 0.0;
    double rollDeg = 0.0;
    double verticalMs = 0.0;  // the boat's vertical velocity: always 0
};

struct GridPoint {
    double x = 0.0;
    double y = 0.0;
};

// The planned line as the file holds it: points rounded as their fields round them.
struct SuitePlannedLine {
    std::string name;  // at most 63 bytes
    std::vector<GridPoint> points;
};

struct SuiteLine {
    std::vector<SuiteNavigationRecord> records;  // in time order
    std::optional<SuitePlannedLine> planned;     // none: the edited file has no planned line
};

// The exact sensor values at a moment of the line (time of day left 0): what a perfect merge of
// the navigation gives at an ensemble.
SuiteNavigationRecord NavigationAt(const SurveyDescription& description, const SyntheticLine& line,
                                   double lineTimeS);

// The navigation records from 2 s before the line's first ensemble to 2 s after its last, and the
// planned line with its points as the description's line file holds them. Throws SynthError when
// the records would cross midnight or be too many, or the points do not fit a 0x0E record.
SuiteLine MakeSuiteLine(const SurveyDescription& description, const SyntheticLine& line);

// The edited file (.kq2): the planned-line record of the given type (0x0E rounds the points to
// whole units), then the navigation records, alternately of kind 1 and kind 5.
std::vector<std::uint8_t> EncodeEditedFile(const SuiteLine& line, PlannedLineRecord plannedType);
// The raw line file: text, CR LF; an unusable record is a BADPOS line, a tag readers skip.
std::string EncodeRawLineFile(const SuiteLine& line);

}  // namespace fluvex::synth
