#pragma once

// The clip border of the survey area: a polygon read from a border file (or drawn as a
// quadrilateral) and the side of it that counts as inside. Without a border every point is
// inside.

#include <array>
#include <filesystem>
#include <span>
#include <vector>

#include "project/LineMeasures.h"

namespace fluvex {

struct BorderPoint {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const BorderPoint&) const = default;
};

// Even-odd point-in-polygon test of the clip border: 1 inside, 0 outside. A point level with a
// vertex is moved up by 0.0001 so that it never lies on one.
int PointInPolygon(std::span<const BorderPoint> polygon, double x, double y);

class ClipBorder {
public:
    // Reads "x<sep>y" lines; the last point marks the inside. False, with no border, when the
    // file cannot be read or gives fewer than four points.
    bool Load(const std::filesystem::path& file);
    void Clear();
    const std::vector<BorderPoint>& Points() const { return points_; }
    // Widens `rect` to hold every vertex.
    void Extend(PlanRect& rect) const;
    // The corners in order; the centre marks the inside.
    void SetQuad(const std::array<BorderPoint, 4>& corners);
    bool Inside(double x, double y) const;

private:
    std::vector<BorderPoint> points_;
    int insideSide_ = 0;
};

}  // namespace fluvex
