#include "export/PlanDrawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>

#include "model/BadValue.h"
#include "model/EnsembleQuantities.h"
#include "model/TextUtil.h"
#include "model/Units.h"
#include "project/Database.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

constexpr double kBarbAngle = 0.1608757238025773;  // radians either side of the shaft
constexpr double kBarbLength = 3.0;                // world units
constexpr double kTickSpacing = 0.7;               // times the size factor
constexpr double kLabelOffset = 0.6;               // times the size factor
// Positions along one line beyond this come from an interval far finer than any survey needs;
// the interval is widened so that a typing slip cannot keep the window busy for hours.
constexpr double kMaxPositionsPerLine = 1e6;
constexpr double kSmallestAverageInterval = 0.01;

double RadiansOf(double degrees) {
    return degrees * std::numbers::pi / 180;
}

WorldPoint Along(const WorldPoint& p, double length, double theta) {
    return {p.x + length * std::sin(theta), p.y + length * std::cos(theta), p.z};
}

// The interval the passes step by: at least `smallest`, and coarse enough for the line length.
double UsableInterval(double interval, double smallest, double lo, double hi) {
    const double wanted = std::max(interval, smallest);
    return std::max(wanted, (hi - lo) / kMaxPositionsPerLine);
}

// "%04.1f" of the C library, with '.' whatever the locale.
std::string PaddedOneDecimal(double value) {
    std::string text = FormatFixed(value, 1);
    const std::size_t digits = text.front() == '-' ? 1 : 0;
    if (text.size() < 4) text.insert(digits, 4 - text.size(), '0');
    return text;
}

// The cell sums of the average placement.
struct CellSum {
    double east = 0.0;
    double north = 0.0;
    int count = 0;
};

struct IntervalMean {
    int pings = 0;
    double x = 0.0;
    double y = 0.0;
    double deepest = 0.0;
    const Ensemble* last = nullptr;  // the last ping taken, whose cells name the depths
    int cells = 0;                   // cells above the bottom cut-off of that ping
    std::array<CellSum, kMaxCells> sums{};
};

}  // namespace

PlanOptions PlanOptions::From(const Settings& settings) {
    PlanOptions options;
    options.showTrackLines = settings.ShowTrackLines;
    options.arrowLength = settings.ArrowLength;
    options.arrowStyle = settings.ArrowStyle;
    options.arrowInterval = settings.ArrowInterval;
    options.placement = settings.Mid_Avg;
    options.solidArrows = settings.SolidArrows;
    options.verticalAveraging = settings.VelAveraging() == 1;
    options.velAvgMode = settings.VelAvgMode();
    return options;
}

NearestDistanceIndex::NearestDistanceIndex(std::span<const Ensemble> pings) {
    sorted_.reserve(pings.size());
    for (std::size_t i = 0; i < pings.size(); ++i) {
        const double distance = pings[i].navigation.distance;
        // A distance that is not a number is never nearer than another.
        if (!std::isnan(distance)) sorted_.emplace_back(distance, i);
    }
    std::sort(sorted_.begin(), sorted_.end());
}

std::optional<std::size_t> NearestDistanceIndex::Nearest(double distance) const {
    if (sorted_.empty()) return std::nullopt;
    // The first entry at or above the distance and the first of the run of equal distances just
    // below it: the earliest ping of each of the two nearest distances.
    const auto above =
        std::lower_bound(sorted_.begin(), sorted_.end(), std::make_pair(distance, std::size_t{0}));
    std::optional<std::pair<double, std::size_t>> best;
    const auto consider = [&](const std::pair<double, std::size_t>& candidate) {
        const double gap = std::abs(candidate.first - distance);
        if (!best || gap < std::abs(best->first - distance) ||
            (gap == std::abs(best->first - distance) && candidate.second < best->second))
            best = candidate;
    };
    if (above != sorted_.end()) consider(*above);
    if (above != sorted_.begin()) {
        const double below = std::prev(above)->first;
        consider(*std::lower_bound(sorted_.begin(), above, std::make_pair(below, std::size_t{0})));
    }
    if (!best) return std::nullopt;
    return best->second;
}

std::string ClosestDepthLayer(double z, double h, std::string_view unit) {
    const auto top = static_cast<long long>(std::trunc(std::trunc(z) - h));
    const auto bottom = static_cast<long long>(std::trunc(z + h));
    const auto padded = [](long long v) {
        return v < 0 ? "-" + FormatPadded(-v, 1) : FormatPadded(v, 2);
    };
    return "Depth_" + padded(top) + "_" + padded(bottom) + std::string(unit);
}

std::string AverageDepthLayer(double top, double bottom, std::string_view unit) {
    return "Depth_" + PaddedOneDecimal(top) + "_" + PaddedOneDecimal(bottom) + std::string(unit);
}

WorldRect ZoomExtentsBounds(Database& database) {
    WorldRect bounds{2e30, 2e30, -2e30, -2e30};
    const auto widen = [&bounds](double x, double y) {
        bounds.minX = std::min(bounds.minX, x);
        bounds.minY = std::min(bounds.minY, y);
        bounds.maxX = std::max(bounds.maxX, x);
        bounds.maxY = std::max(bounds.maxY, y);
    };
    for (int line = 0; line < database.LineCount(); ++line)
        for (const Ensemble& ping : database.Ensembles(line)) {
            const NavRecord& nav = ping.navigation;
            if (ping.loaded && nav.positionValid && database.InsideBorder(nav.x, nav.y))
                widen(nav.x, nav.y);
        }
    for (const BorderPoint& vertex : database.Border())
        widen(vertex.x, vertex.y);
    return bounds;
}

PlanDrawing::PlanDrawing(Database& database, const PlanOptions& options,
                         const QuantityOptions& quantities, const ColourLookup* colours)
    : database_(database), options_(options), quantities_(quantities), colours_(colours) {}

void PlanDrawing::DrawBorder(DrawingTarget& target) const {
    const std::vector<BorderPoint>& border = database_.Border();
    if (border.size() < 3) return;
    std::vector<WorldPoint> points;
    points.reserve(border.size());
    for (const BorderPoint& vertex : border)
        points.push_back({vertex.x, vertex.y, 0.0});
    target.SetPen(0, 1, 0x000000);
    target.SetFillColour(kBorderFill);
    target.DrawPolygon(points);
}

void PlanDrawing::DrawPlannedLines(DrawingTarget& target, int currentLine, int first,
                                   int end) const {
    if (!options_.showTrackLines) return;
    const bool file = target.IsDrawingFile();
    if (file) target.SelectLayer(kPlannedLinesLayer);
    std::vector<WorldPoint> points;
    if (end < 0 || end > database_.LineCount()) end = database_.LineCount();
    for (int line = std::max(first, 0); line < end; ++line) {
        if (line == currentLine && !file)
            target.SetPen(0, 3, kCurrentLineColour);
        else
            target.SetPen(0, 1, kPlannedLineColour);
        const PlannedLine* planned = database_.PlannedLine(line);
        if (planned == nullptr || planned->points.size() < 2) continue;
        points.clear();
        for (const PlannedPoint& p : planned->points)
            points.push_back({p.x, p.y, 0.0});
        target.DrawPolyline(points);
    }
}

int PlanDrawing::DrawVectors(DrawingTarget& target, int nextLine,
                             std::chrono::milliseconds budget) const {
    const auto start = std::chrono::steady_clock::now();
    const int count = database_.LineCount();
    for (int line = std::max(nextLine, 0); line < count; ++line) {
        DrawLineVectors(target, line);
        if (!target.IsDrawingFile() && std::chrono::steady_clock::now() - start > budget)
            return line + 1;
    }
    return count;
}

void PlanDrawing::DrawLineVectors(DrawingTarget& target, int line) const {
    if (options_.placement == 0)
        DrawLineClosest(target, line);
    else
        DrawLineAverage(target, line);
}

void PlanDrawing::DrawLineClosest(DrawingTarget& target, int line) const {
    const std::span<const Ensemble> pings = database_.Ensembles(line);
    const std::optional<ValueRange> distances = database_.DistanceRange(line);
    if (!distances || !std::isfinite(options_.arrowInterval)) return;
    const double lo = distances->minimum;
    const double hi = distances->maximum;
    // A zero or negative interval would never leave the line's end.
    const double interval =
        UsableInterval(options_.arrowInterval, kSmallestAverageInterval, lo, hi);
    const NearestDistanceIndex index(pings);
    // From the end of the line backwards, as the positions have always been placed.
    for (double k = 1;; ++k) {
        const double d = hi - k * interval;
        if (d < lo) break;
        const std::optional<std::size_t> nearest = index.Nearest(d);
        if (!nearest) break;
        const Ensemble& ping = pings[*nearest];
        if (!ping.loaded || !ping.navigation.positionValid) continue;
        DrawClosestCells(target, ping);
    }
}

void PlanDrawing::DrawClosestCells(DrawingTarget& target, const Ensemble& ping) const {
    const double depth = Depth(ping, quantities_);
    const double h = CellSize(ping, quantities_.units) / 2;
    const int cells = std::min(LastCell(ping, quantities_), static_cast<int>(ping.cells.size()));
    for (int j = cells - 1; j >= 0; --j) {
        const std::int16_t speed = VelocityComponent(ping, j, kMagnitude2D);
        const std::int16_t direction = VelocityComponent(ping, j, kDirection);
        if (speed == kBadVelocity || direction == kBadVelocity) continue;
        const double z = options_.verticalAveraging ? depth : CellDepth(ping, j, quantities_.units);
        if (!options_.verticalAveraging && z > depth) continue;
        DrawArrow(target, ClosestDepthLayer(z, h, quantities_.units.DistanceLabel()), speed,
                  {ping.navigation.x, ping.navigation.y, -z}, RadiansOf(direction));
        if (options_.verticalAveraging) break;
    }
}

namespace {

// Takes one ping into the interval's mean.
void Accumulate(const Ensemble& ping, bool firstCellOnly, const QuantityOptions& quantities,
                IntervalMean& mean) {
    const NavRecord& nav = ping.navigation;
    ++mean.pings;
    mean.x += (nav.x - mean.x) / mean.pings;
    mean.y += (nav.y - mean.y) / mean.pings;
    const double depth = Depth(ping, quantities);
    mean.deepest = mean.pings == 1 ? depth : std::max(mean.deepest, depth);
    mean.last = &ping;
    mean.cells = std::clamp(
        std::min(LastCell(ping, quantities), static_cast<int>(ping.cells.size())), 0, kMaxCells);
    for (int j = 0; j < mean.cells; ++j) {
        if (CellDepth(ping, j, quantities.units) > depth) continue;
        const std::int16_t east = VelocityComponent(ping, j, kEastVelocity);
        const std::int16_t north = VelocityComponent(ping, j, kNorthVelocity);
        if (east == kBadVelocity || north == kBadVelocity) continue;
        CellSum& sum = mean.sums[static_cast<std::size_t>(j)];
        sum.east += east;
        sum.north += north;
        ++sum.count;
        if (firstCellOnly) break;
    }
}

}  // namespace

void PlanDrawing::DrawLineAverage(DrawingTarget& target, int line) const {
    const std::span<const Ensemble> pings = database_.Ensembles(line);
    const std::optional<ValueRange> distances = database_.DistanceRange(line);
    if (!distances) return;
    const double lo = distances->minimum;
    const double hi = distances->maximum;
    // Below the smallest interval every ping starts a position of its own.
    const bool perPing = !(options_.arrowInterval >= kSmallestAverageInterval);
    const double interval =
        perPing ? options_.arrowInterval : UsableInterval(options_.arrowInterval, 0.0, lo, hi);
    const NearestDistanceIndex index(pings);
    auto mean = std::make_unique<IntervalMean>();
    std::optional<std::size_t> start = index.Nearest(lo);
    double d = lo;
    for (double k = 1; start && d < hi; ++k) {
        *mean = IntervalMean{};
        std::size_t i = *start;
        // The first ping always counts, so that a position never stands still.
        for (; i < pings.size(); ++i) {
            const Ensemble& ping = pings[i];
            if (i > *start && !(ping.navigation.distance < d + interval)) break;
            if (ping.loaded && ping.navigation.positionValid)
                Accumulate(ping, options_.verticalAveraging, quantities_, *mean);
        }
        if (mean->pings > 0) {
            const Ensemble& last = *mean->last;
            const double h = CellSize(last, quantities_.units) / 2;
            for (int j = mean->cells - 1; j >= 0; --j) {
                const CellSum& sum = mean->sums[static_cast<std::size_t>(j)];
                if (sum.count == 0) continue;
                const double east = sum.east / sum.count;
                const double north = sum.north / sum.count;
                const double z = options_.verticalAveraging ? mean->deepest
                                                            : CellDepth(last, j, quantities_.units);
                if (z > mean->deepest) continue;
                const double speed = std::hypot(east, north);
                if (speed == 0.0) continue;
                const double theta =
                    RadiansOf(DirectionBetween(0, 0, std::trunc(east), std::trunc(north)));
                DrawArrow(target,
                          AverageDepthLayer(z - h, z + h, quantities_.units.DistanceLabel()), speed,
                          {mean->x, mean->y, -z}, theta);
                if (options_.verticalAveraging && options_.velAvgMode == 0) break;
            }
        }
        if (perPing) {
            if (i >= pings.size()) break;
            start = i;
            d = pings[i].navigation.distance;
        } else {
            d = lo + k * interval;
            start = index.Nearest(d);
        }
    }
}

ColourRef PlanDrawing::SpeedColour(double speedMms) const {
    if (colours_ == nullptr || speedMms == kBadValue || speedMms == kBadVelocity) return 0;
    return colours_->Colour(quantities_.units.MmsToDisplay(speedMms));
}

void PlanDrawing::DrawArrow(DrawingTarget& target, std::string_view layer, double speedMms,
                            const WorldPoint& at, double theta) const {
    const double s = options_.sizeFactor;
    const WorldPoint base = at;
    const WorldPoint tip = Along(base, options_.arrowLength, theta);
    if (target.IsDrawingFile()) target.SetLayer(layer);
    const ColourRef colour = SpeedColour(speedMms);
    target.SetPen(0, 2, colour);
    target.SetFillColour(colour);

    // The label reads along the arrow, beside its base on the side the arrow points to.
    int angle = static_cast<int>(std::trunc(450 - theta * 180 / std::numbers::pi)) % 360;
    if (angle < 0) angle += 360;
    WorldPoint label = base;
    if (angle < 45 || angle >= 315)
        label.x += kLabelOffset * s;
    else if (angle < 135)
        label.y += kLabelOffset * s;
    else if (angle < 225)
        label.x -= kLabelOffset * s;
    else
        label.y -= kLabelOffset * s;
    target.SetTextColour(colour);
    target.SetFont(1, angle, 400);
    target.DrawText(label, quantities_.units.FormatVelocityWithUnit(
                               quantities_.units.MmsToDisplay(speedMms), kMagnitude2D));

    if (options_.solidArrows) return DrawSolidArrow(target, base, tip, theta);
    target.DrawLine(base, tip);
    DrawArrowHead(target, tip, theta);
    if (options_.arrowStyle != 0 && options_.arrowStyle != 2) return;
    for (int k = 0; k <= 4; ++k) {
        const WorldPoint tick = Along(base, k * kTickSpacing * s, theta);
        if (options_.arrowStyle == 2)
            DrawArrowHead(target, tick, theta);
        else
            target.DrawLine(tick, Along(tick, -kBarbLength, theta - kBarbAngle));
    }
}

void PlanDrawing::DrawArrowHead(DrawingTarget& target, const WorldPoint& tip, double theta) const {
    target.DrawLine(tip, Along(tip, -kBarbLength, theta - kBarbAngle));
    target.DrawLine(tip, Along(tip, -kBarbLength, theta + kBarbAngle));
}

void PlanDrawing::DrawSolidArrow(DrawingTarget& target, const WorldPoint& base,
                                 const WorldPoint& tip, double theta) const {
    const double w = 0.35 * options_.sizeFactor;
    const double ux = std::sin(theta);
    const double uy = std::cos(theta);
    // n points to the right of the flow.
    const double nx = uy;
    const double ny = -ux;
    const auto at = [](const WorldPoint& p, double along, double ax, double ay, double across,
                       double cx, double cy) {
        return WorldPoint{p.x + along * ax + across * cx, p.y + along * ay + across * cy, p.z};
    };
    const std::array<WorldPoint, 8> polygon{
        at(base, 0, ux, uy, w, nx, ny),    at(base, 0, ux, uy, -w, nx, ny),
        at(tip, 0, ux, uy, -w, nx, ny),    at(tip, 0, ux, uy, -3 * w, nx, ny),
        at(tip, 4 * w, ux, uy, 0, nx, ny), at(tip, 0, ux, uy, 3 * w, nx, ny),
        at(tip, 0, ux, uy, w, nx, ny),     at(base, 0, ux, uy, w, nx, ny),
    };
    target.DrawPolygon(polygon);
}

}  // namespace fluvex
