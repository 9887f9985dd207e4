#pragma once

// The course the survey planned for a line, or one derived from the boat track: a polyline in
// project grid units, with the along-line measures the views and exports draw from.

#include <cstddef>
#include <string>
#include <vector>

namespace fluvex {

struct PlannedPoint {
    double x = 0.0;  // grid easting
    double y = 0.0;  // grid northing
    // A third value per point, given only by the 128-point line records of edited files.
    double third = 0.0;
    // Along the polyline from the first point; 0 for the first.
    double cumulativeDistance = 0.0;
    // Degrees clockwise from north of the segment ending here; 0 for the first point.
    double segmentDirection = 0.0;

    bool operator==(const PlannedPoint&) const = default;
};

struct PlannedLine {
    static constexpr std::size_t kMaxPoints = 128;
    static constexpr std::size_t kMaxSides = 9;
    static constexpr std::size_t kMaxNameBytes = 63;

    std::vector<PlannedPoint> points;  // at most kMaxPoints
    std::string name;                  // UTF-8, as stored in the line file
    // Per-point side values of the 128-point line records; only the first kMaxSides are kept.
    std::vector<double> sideA;
    std::vector<double> sideB;

    bool Empty() const { return points.empty(); }

    // Appends a point (ignored once kMaxPoints are held), measuring its cumulative distance and
    // direction from the previous one.
    void AppendMeasured(double x, double y, double third = 0.0);
    // Cumulative distances and directions again from the points' coordinates.
    void Remeasure();

    bool operator==(const PlannedLine&) const = default;
};

}  // namespace fluvex
