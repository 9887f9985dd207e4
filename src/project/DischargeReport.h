#pragma once

// The discharge of every loaded line, as records for the command line and as the fixed-pitch text
// of the discharge window and of the saved report.

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "processing/Discharge.h"

namespace fluvex {

class Database;

struct LineDischargeRow {
    std::string name;
    LineDischarge discharge;  // in the volume unit of the settings' VelocityUnits
};

// Told after each line: lines done, lines in all.
using DischargeProgress = std::function<void(int done, int total)>;

// One row per loaded line, in order. With a clip border of three or more points every line
// counts only its pings inside the border and has no edge estimates.
std::vector<LineDischargeRow> ComputeAllLineDischarges(Database& database,
                                                       const DischargeProgress& progress = {});

// The report text, one string per line without line ends: the caption, the volume unit, a
// heading and one row per line, in columns padded to a byte width (the texts of the columns are
// ASCII; the unit line, which holds the one non-ASCII character, is not padded).
std::vector<std::string> FormatDischargeReport(std::span<const LineDischargeRow> rows,
                                               int velocityUnits);

// The report of every loaded line in the volume unit of the settings.
std::vector<std::string> BuildDischargeReport(Database& database,
                                              const DischargeProgress& progress = {});

}  // namespace fluvex
