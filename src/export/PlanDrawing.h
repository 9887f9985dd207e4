#pragma once

// The plan view of the loaded lines, drawn through a DrawingTarget: the clip border, each line's
// planned line, and current arrows placed along each line at a fixed interval, coloured by speed
// and labelled with it. The window and the 2-D DXF drawing are the same drawing.

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "export/DrawingTarget.h"
#include "model/QuantityOptions.h"

namespace fluvex {

class Database;
class UnitSystem;
struct Ensemble;
class Settings;

// The track options the plan view draws with.
struct PlanOptions {
    bool showTrackLines = true;
    double arrowLength = 15.0;  // world units
    int arrowStyle = 0;         // 0 flood stream, 1 ebb stream, 2 restricted current
    double arrowInterval = 50.0;
    int placement = 0;  // 0 the closest ping to each position, otherwise the interval's average
    bool solidArrows = false;
    bool verticalAveraging = false;
    int velAvgMode = 0;
    double sizeFactor = 1.0;  // label offset, solid-arrow width, tick spacing

    static PlanOptions From(const Settings& settings);
};

inline constexpr ColourRef kBorderFill = 0xD0C0C0;
inline constexpr ColourRef kCurrentLineColour = 0x0000FF;  // red
inline constexpr ColourRef kPlannedLineColour = 0x808000;  // teal
inline constexpr const char* kPlannedLinesLayer = "PlannedLines";

// Finds the ping of a line whose along-line distance is nearest to a distance, the first (by
// ping order) of equally near ones, in O(log n): the pings sorted by distance once.
class NearestDistanceIndex {
public:
    explicit NearestDistanceIndex(std::span<const Ensemble> pings);
    // Index of the ping in the line; nothing for a line without pings.
    std::optional<std::size_t> Nearest(double distance) const;

private:
    std::vector<std::pair<double, std::size_t>> sorted_;  // (distance, ping index)
};

// "Depth_%02d_%02d<unit>" of a closest-point vector at depth z with half cell size h.
std::string ClosestDepthLayer(double z, double h, std::string_view unit);
// "Depth_%04.1f_%04.1f<unit>" of the band from `top` to `bottom`.
std::string AverageDepthLayer(double top, double bottom, std::string_view unit);

// The rectangle that zoom extents shows: every positioned ping of every line (inside the clip
// border when there is one) and the border's vertices. (2e30, 2e30, -2e30, -2e30) when there is
// nothing at all.
WorldRect ZoomExtentsBounds(Database& database);

class PlanDrawing {
public:
    // `colours` is the velocity colour table (null: every arrow black); `quantities` place and
    // format the labels and names the depth layers.
    PlanDrawing(Database& database, const PlanOptions& options, const QuantityOptions& quantities,
                const ColourLookup* colours);

    // The clip border as a filled polygon, when it has at least 3 vertices.
    void DrawBorder(DrawingTarget& target) const;
    // The planned lines when the options show them: the current line red and 3 pixels wide on
    // the screen, every other line (and every line in a drawing file) teal.
    // Lines first to end - 1; end below 0 means every line.
    void DrawPlannedLines(DrawingTarget& target, int currentLine, int first = 0,
                          int end = -1) const;
    // The vectors of lines `nextLine` onwards by the placement option. On the screen the pass
    // ends after the first line that finishes once `budget` has passed; the result is the first
    // line not drawn (the line count when all are).
    int DrawVectors(DrawingTarget& target, int nextLine,
                    std::chrono::milliseconds budget = std::chrono::milliseconds(100)) const;
    // The vectors of one line, without a time budget.
    void DrawLineVectors(DrawingTarget& target, int line) const;
    // One arrow with its label; the speed in mm/s, theta the compass direction in radians.
    void DrawArrow(DrawingTarget& target, std::string_view layer, double speedMms,
                   const WorldPoint& at, double theta) const;

private:
    void DrawLineClosest(DrawingTarget& target, int line) const;
    void DrawLineAverage(DrawingTarget& target, int line) const;
    void DrawClosestCells(DrawingTarget& target, const Ensemble& ping) const;
    void DrawArrowHead(DrawingTarget& target, const WorldPoint& tip, double theta) const;
    void DrawSolidArrow(DrawingTarget& target, const WorldPoint& base, const WorldPoint& tip,
                        double theta) const;
    ColourRef SpeedColour(double speedMms) const;

    Database& database_;
    PlanOptions options_;
    QuantityOptions quantities_;
    const ColourLookup* colours_;
};

}  // namespace fluvex
