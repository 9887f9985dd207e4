#include "project/LineMeasures.h"

#include "model/BadValue.h"
#include "model/EnsembleQuantities.h"

namespace fluvex {

namespace {

double BlankingDepth(const Ensemble& ping, const UnitSystem& units) {
    return units.CmToDisplay(ping.fixedLeader.BlankAfterTransmitCm());
}

// Without any depth: from the shallowest blanking to the deepest cell top.
std::optional<ValueRange> CellSpanOf(std::span<const Ensemble> pings, const UnitSystem& units) {
    ValueRange range{kRangeStart, 0};
    for (const Ensemble& ping : pings) {
        range.minimum = std::min(range.minimum, BlankingDepth(ping, units));
        const int cells = CellCount(ping);
        if (cells != 0) range.maximum = std::max(range.maximum, CellDepth(ping, cells - 1, units));
    }
    if (range.maximum <= 0) return std::nullopt;
    if (range.minimum > range.maximum) range.minimum = 0;
    return range;
}

}  // namespace

std::optional<ValueRange> DepthRangeOf(std::span<const Ensemble> pings,
                                       const QuantityOptions& options) {
    ValueRange range{kRangeStart, -kRangeStart};
    for (const Ensemble& ping : pings) {
        const double depth = Depth(ping, options);
        range.maximum = std::max(range.maximum, depth);
        if (depth < range.minimum && depth != 0) range.minimum = BlankingDepth(ping, options.units);
    }
    if (range.maximum <= 0) return CellSpanOf(pings, options.units);
    if (range.minimum > range.maximum) range.minimum = 0;
    return range;
}

std::optional<ValueRange> DistanceRangeOf(std::span<const Ensemble> pings) {
    ValueRange range{kRangeStart, -kRangeStart};
    for (const Ensemble& ping : pings)
        if (ping.loaded && ping.navigation.positionValid)
            Widen(ping.navigation.distance, range.minimum, range.maximum);
    if (range.minimum > range.maximum) return std::nullopt;
    return range;
}

std::optional<ValueRange> VelocityRangeOf(std::span<const Ensemble> pings, int quantity,
                                          bool belowBedEnds, const QuantityOptions& options) {
    std::optional<ValueRange> range;
    for (const Ensemble& ping : pings) {
        const double depth = Depth(ping, options);
        const int last = std::min(LastCell(ping, options), static_cast<int>(ping.cells.size()));
        for (int cell = 0; cell < last; ++cell) {
            if (belowBedEnds && CellDepth(ping, cell, options.units) > depth) break;
            const std::int16_t value = VelocityComponent(ping, cell, quantity);
            if (value == kBadVelocity) continue;
            if (!range) range = ValueRange{static_cast<double>(value), static_cast<double>(value)};
            Widen(value, range->minimum, range->maximum);
        }
    }
    return range;
}

std::optional<PlanRect> ExtentsOf(std::span<const Ensemble> pings, const PlannedLine& planned) {
    PlanRect rect{kRangeStart, kRangeStart, -kRangeStart, -kRangeStart};
    for (const Ensemble& ping : pings) {
        if (!ping.navigation.positionValid) continue;
        Widen(ping.navigation.x, rect.minX, rect.maxX);
        Widen(ping.navigation.y, rect.minY, rect.maxY);
    }
    for (const PlannedPoint& point : planned.points) {
        Widen(point.x, rect.minX, rect.maxX);
        Widen(point.y, rect.minY, rect.maxY);
    }
    if (rect.minX > rect.maxX) return std::nullopt;
    return rect;
}

std::optional<ValueRange> Union(const std::optional<ValueRange>& a,
                                const std::optional<ValueRange>& b) {
    if (!a || !b) return a ? a : b;
    return ValueRange{std::min(a->minimum, b->minimum), std::max(a->maximum, b->maximum)};
}

std::optional<PlanRect> Union(const std::optional<PlanRect>& a, const std::optional<PlanRect>& b) {
    if (!a || !b) return a ? a : b;
    return PlanRect{std::min(a->minX, b->minX), std::min(a->minY, b->minY),
                    std::max(a->maxX, b->maxX), std::max(a->maxY, b->maxY)};
}

}  // namespace fluvex
