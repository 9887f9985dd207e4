#include "model/PlannedLine.h"

#include <cmath>

#include "model/Units.h"

namespace fluvex {

void PlannedLine::AppendMeasured(double x, double y, double third) {
    if (points.size() >= kMaxPoints) return;
    PlannedPoint point{.x = x, .y = y, .third = third};
    if (!points.empty()) {
        const PlannedPoint& previous = points.back();
        point.cumulativeDistance =
            previous.cumulativeDistance + std::hypot(x - previous.x, y - previous.y);
        point.segmentDirection = DirectionBetween(previous.x, previous.y, x, y);
    }
    points.push_back(point);
}

void PlannedLine::Remeasure() {
    const std::vector<PlannedPoint> held = std::move(points);
    points.clear();
    for (const PlannedPoint& point : held)
        AppendMeasured(point.x, point.y, point.third);
}

}  // namespace fluvex
