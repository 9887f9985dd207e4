#pragma once

// The two DXF drawings of the loaded lines. The 2-D drawing is the plan view as the survey
// window draws it: the planned lines on "PlannedLines" and the current arrows with their labels
// on one layer per depth band. The 3-D drawing shows, at every interval along each line, a
// marker and a plumb line at the ping's position, a short line across the track, and the cell
// velocities as vectors at their depths.

#include <filesystem>

#include "export/DxfWriter.h"
#include "export/LineExports.h"
#include "export/PlanDrawing.h"

namespace fluvex {

class Database;
class UnitSystem;
class UserPrompt;

// The drawing unit of the display distance unit: metres or feet.
DxfUnits DxfUnitsOf(const UnitSystem& units);

// Both draw lines `lines.first` to `lines.end - 1` into `file` and report a failure through
// `prompt`; false when nothing was written. `progress` is told after each line; returning false
// stops the export without a file.
bool ExportPlanDxf(Database& database, const PlanOptions& options,
                   const QuantityOptions& quantities, const ColourLookup* colours, LineRange lines,
                   const std::filesystem::path& file, UserPrompt& prompt,
                   const LineExportProgress& progress = {});
bool ExportVectorDxf(Database& database, const PlanOptions& options,
                     const QuantityOptions& quantities, LineRange lines,
                     const std::filesystem::path& file, UserPrompt& prompt,
                     const LineExportProgress& progress = {});

}  // namespace fluvex
