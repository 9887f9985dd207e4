#pragma once

// The twenty per-ping quantities a surveyor tabulates and charts (ChartKind): one place says what
// each is, in which display unit, how it is written, and when a ping cannot give it. The
// spreadsheet, its text export, the quick charts and `fluvex-cli table` all read them here, so
// the grid, the file and the chart always agree.

#include <optional>
#include <string>
#include <string_view>

#include "model/Ensemble.h"
#include "model/EnsembleQuantities.h"
#include "processing/VelocityProcessing.h"

namespace fluvex {

inline constexpr int kChartKindCount = 20;
// What the grid and the export show for a value a ping cannot give.
inline constexpr std::string_view kNoChartValue = "-----";

constexpr bool IsChartKind(int kind) {
    return kind >= 0 && kind < kChartKindCount;
}

// The value of a kind in display units (lengths in the distance unit, speeds in the velocity
// unit, temperature in C or F; discharges per second of ping time, m³/s); nothing for a ping
// that is not loaded, an unknown kind, and a value the ping does not hold: a position (kinds 0,
// 1, 3, 6, 14), a valid bottom-track velocity (7, 15), a measured depth (4), a processed
// profile (18, 19), a readable clock (2).
std::optional<double> ChartValue(const Ensemble& ensemble, int kind,
                                 const ProcessingOptions& options);

// A value as the grid shows it: "%.2f", "hh:mm:ss.s", whole cells, degrees as "%0.1f°"
// (UTF-8), salinity "%0.0f"; kNoChartValue for nothing.
std::string FormatChartValue(int kind, std::optional<double> value);
inline std::string ChartValueText(const Ensemble& ensemble, int kind,
                                  const ProcessingOptions& options) {
    return FormatChartValue(kind, ChartValue(ensemble, kind, options));
}

// The kind's heading ("Depth"), or "" for an unknown kind.
std::string ChartHeading(int kind);
// The heading with the unit of the current display units where the kind has one: "Depth (m)",
// "Boat Speed (m/s)", "Temperature (C)", "Salinity (ppt)", "Top (m³/s)".
std::string ChartHeadingWithUnit(int kind, const UnitSystem& units);

}  // namespace fluvex
