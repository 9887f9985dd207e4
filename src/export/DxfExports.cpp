#include "export/DxfExports.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "export/DxfTarget.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/UserPrompt.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

constexpr ColourRef kVectorColour = 0xFF0000;  // blue
// Positions along a line beyond this come from a mistyped interval (see the plan view).
constexpr double kMaxPositionsPerLine = 1e6;

bool Save(const DxfWriter& writer, const fs::path& file, UserPrompt& prompt) {
    std::string error;
    if (writer.SaveAs(file, &error)) return true;
    prompt.ShowError(file.string() + "\nUnable to save file.\n" + error, "Error");
    return false;
}

bool Tell(const LineExportProgress& progress, int done, int total) {
    return !progress || progress(done, total);
}

// The drawing's world: every position, with room around it as the window would show it.
WorldRect PlanExtents(Database& database) {
    const std::optional<PlanRect> all = database.ExtentsAll();
    if (!all) return {};
    const double margin = 2 * std::hypot(all->maxX - all->minX, all->maxY - all->minY);
    return {all->minX - margin, all->minY - margin, all->maxX + margin, all->maxY + margin};
}

// The compass bearing of a line: its planned line's ends, else its first and last positions.
double LineBearing(Database& database, int line) {
    const PlannedLine* planned = database.PlannedLine(line);
    if (planned != nullptr && planned->points.size() >= 2)
        return DirectionBetween(planned->points.front().x, planned->points.front().y,
                                planned->points.back().x, planned->points.back().y);
    const Ensemble* first = nullptr;
    const Ensemble* last = nullptr;
    for (const Ensemble& ping : database.Ensembles(line))
        if (ping.navigation.positionValid) {
            if (first == nullptr) first = &ping;
            last = &ping;
        }
    if (first == nullptr) return 0.0;
    return DirectionBetween(first->navigation.x, first->navigation.y, last->navigation.x,
                            last->navigation.y);
}

// The vector scale: b for the largest speed of the survey (display unit).
struct VectorScale {
    double b = 0.0;
    double largest = 0.0;
};

// The whole mm/s of a cell's speed in the display unit: truncating after the conversion would
// make every current below 1 m/s a point.
double DisplaySpeed(const VelocityInfo& info, const UnitSystem& units) {
    return units.MmsToDisplay(std::trunc(info.magnitude2D));
}

// The largest speed that a vector is drawn for, so that the longest vector is b long.
double LargestSpeed(Database& database, const QuantityOptions& quantities) {
    double largest = 0.0;
    for (int line = 0; line < database.LineCount(); ++line)
        for (const Ensemble& ping : database.Ensembles(line)) {
            const int cells =
                std::min(LastCell(ping, quantities), static_cast<int>(ping.cells.size()));
            for (int j = 0; j < cells; ++j) {
                VelocityInfo info;
                if (CellVelocityInfo(ping, j, info))
                    largest = std::max(largest, DisplaySpeed(info, quantities.units));
            }
        }
    return largest;
}

// The cells of one ping as vectors at their depths, from the top down to the ping's depth.
void AddCellVectors(DxfWriter& writer, const Ensemble& ping, const VectorScale& scale,
                    const QuantityOptions& quantities) {
    const double x = ping.navigation.x;
    const double y = ping.navigation.y;
    const double depth = Depth(ping, quantities);
    const double h = CellSize(ping, quantities.units) / 2;
    const int cells = std::min(LastCell(ping, quantities), static_cast<int>(ping.cells.size()));
    for (int j = 0; j < cells; ++j) {
        VelocityInfo info;
        if (!CellVelocityInfo(ping, j, info)) continue;
        const double z = std::trunc(CellDepth(ping, j, quantities.units));
        if (z > depth) break;
        const double speed = DisplaySpeed(info, quantities.units);
        const double vertical = quantities.units.MmsToDisplay(info.up);
        const double lh = scale.largest > 0 ? scale.b * speed / scale.largest : 0.0;
        const double lv = scale.largest > 0 ? scale.b * vertical / scale.largest : vertical;
        const double theta = std::trunc(info.direction) * std::numbers::pi / 180;
        writer.SetLayer(ClosestDepthLayer(z, h, quantities.units.DistanceLabel()));
        writer.SetColour(kVectorColour);
        const DxfPoint vector[] = {{x, y, -z},
                                   {x + lh * std::sin(theta), y + lh * std::cos(theta), -z + lv}};
        writer.AddPolyline3D(vector);
    }
}

// One line of the 3-D drawing; false when the line has no position at all.
bool AddLineVectors(DxfWriter& writer, Database& database, int line, const PlanOptions& options,
                    const VectorScale& scale, const QuantityOptions& quantities) {
    if (!database.HasPosition(line)) return false;
    const double across = (LineBearing(database, line) + 90) * std::numbers::pi / 180;
    const std::optional<ValueRange> distances = database.DistanceRange(line);
    if (!std::isfinite(options.arrowInterval) || !distances) return true;
    const double hi = distances->maximum;
    const double interval =
        std::max({options.arrowInterval, 0.01, std::abs(hi) / kMaxPositionsPerLine});
    const std::span<const Ensemble> pings = database.Ensembles(line);
    const NearestDistanceIndex index(pings);
    const double length = options.arrowLength;
    for (double k = 0; k * interval < hi; ++k) {
        const std::optional<std::size_t> nearest = index.Nearest(k * interval);
        if (!nearest) break;
        const Ensemble& ping = pings[*nearest];
        if (!ping.loaded || !ping.navigation.positionValid) continue;
        const double x = ping.navigation.x;
        const double y = ping.navigation.y;
        writer.SetLayer("0");
        writer.SetColour(0);
        writer.AddMarker(x, y, length);
        const DxfPoint plumb[] = {{x, y, 1.0}, {x, y, -Depth(ping, quantities)}};
        writer.AddPolyline3D(plumb);
        const DxfPoint tick[] = {
            {x, y, 1.0}, {x + scale.b * std::sin(across), y + scale.b * std::cos(across), 1.0}};
        writer.AddPolyline(tick);
        AddCellVectors(writer, ping, scale, quantities);
    }
    return true;
}

}  // namespace

DxfUnits DxfUnitsOf(const UnitSystem& units) {
    return units.DistanceUnit() == 0 ? DxfUnits::Metres : DxfUnits::Feet;
}

bool ExportPlanDxf(Database& database, const PlanOptions& options,
                   const QuantityOptions& quantities, const ColourLookup* colours, LineRange lines,
                   const fs::path& file, UserPrompt& prompt, const LineExportProgress& progress) {
    DxfWriter writer(DxfUnitsOf(quantities.units));
    DxfTarget target(writer);
    target.BeginPicture();
    target.View().SetExtents(PlanExtents(database));
    target.View().ZoomTo(target.View().Extents());
    const PlanDrawing drawing(database, options, quantities, colours);
    drawing.DrawPlannedLines(target, -1, lines.first, lines.end);
    for (int line = lines.first; line < lines.end; ++line) {
        drawing.DrawLineVectors(target, line);
        if (!Tell(progress, line + 1 - lines.first, lines.end - lines.first)) return false;
    }
    return Save(writer, file, prompt);
}

bool ExportVectorDxf(Database& database, const PlanOptions& options,
                     const QuantityOptions& quantities, LineRange lines, const fs::path& file,
                     UserPrompt& prompt, const LineExportProgress& progress) {
    DxfWriter writer(DxfUnitsOf(quantities.units));
    VectorScale scale;
    scale.b = options.arrowLength - 0.1 * options.arrowLength;
    scale.largest = LargestSpeed(database, quantities);
    for (int line = lines.first; line < lines.end; ++line) {
        if (database.EnsembleCount(line) > 1 &&
            !AddLineVectors(writer, database, line, options, scale, quantities)) {
            prompt.ShowError("No Position data for this line found", "Error");
            return false;
        }
        if (!Tell(progress, line + 1 - lines.first, lines.end - lines.first)) return false;
    }
    return Save(writer, file, prompt);
}

}  // namespace fluvex
