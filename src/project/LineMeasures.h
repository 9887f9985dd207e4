#pragma once

// Measures over a line's pings: the spans of depth, distance along line, velocity and position
// that scales, colour tables and drawings are fitted to. Nothing when the pings give no value.

#include <algorithm>
#include <optional>
#include <span>

#include "model/Ensemble.h"
#include "model/PlannedLine.h"
#include "model/QuantityOptions.h"

namespace fluvex {

// Beyond any coordinate or depth a survey holds: a start no value can lose against.
inline constexpr double kRangeStart = 2e30;

inline void Widen(double value, double& minimum, double& maximum) {
    minimum = std::min(minimum, value);
    maximum = std::max(maximum, value);
}

struct ValueRange {
    double minimum = 0.0;
    double maximum = 0.0;
    bool operator==(const ValueRange&) const = default;
};

// A rectangle as minimum x, minimum y, maximum x, maximum y.
struct PlanRect {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    bool operator==(const PlanRect&) const = default;
};

// The shallowest blanking below a measured depth to the deepest depth, display unit; without a
// depth, the span of the cells stands in for it. Nothing without either.
std::optional<ValueRange> DepthRangeOf(std::span<const Ensemble> pings,
                                       const QuantityOptions& options);
// Distance along line over the positioned pings.
std::optional<ValueRange> DistanceRangeOf(std::span<const Ensemble> pings);
// The valid values of a VelocityQuantity over the cells in use, mm/s (or as held for quantities
// shown unscaled); with `belowBedEnds` a ping's cells end at its bed.
std::optional<ValueRange> VelocityRangeOf(std::span<const Ensemble> pings, int quantity,
                                          bool belowBedEnds, const QuantityOptions& options);
// Every ping position and planned point.
std::optional<PlanRect> ExtentsOf(std::span<const Ensemble> pings, const PlannedLine& planned);

// The smallest range holding both; either may be nothing.
std::optional<ValueRange> Union(const std::optional<ValueRange>& a,
                                const std::optional<ValueRange>& b);
std::optional<PlanRect> Union(const std::optional<PlanRect>& a, const std::optional<PlanRect>& b);

}  // namespace fluvex
