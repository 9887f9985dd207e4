#pragma once

// A triangulated irregular network of scattered values and the contour drawing made from it.
// The points are triangulated by Delaunay's rule; triangles with an edge longer than the largest
// leg are dropped so that separate clouds of points are not bridged. Contours are straight
// segments across each triangle at every level (whole multiples of the interval between the
// smallest and the largest value), joined into polylines per level, and drawn on one layer per
// level in the colour of the colour-table entry at or below the level.

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/DxfWriter.h"
#include "model/ColourLookup.h"

namespace fluvex {

struct TinPoint {
    double x = 0.0;
    double y = 0.0;
    double value = 0.0;
};

// Three indices into the points, anticlockwise.
using TinTriangle = std::array<int, 3>;

// One entry of the colour table the contours are drawn with.
struct ContourColour {
    double value = 0.0;
    ColourRef colour = 0;
};

// The polylines of one level; a closed polyline repeats no point (its last point joins the
// first).
struct ContourLevel {
    double value = 0.0;
    struct Line {
        std::vector<DxfPoint> points;
        bool closed = false;
    };
    std::vector<Line> lines;
};

// More levels than this are not traced: the interval is far too small for the range.
constexpr std::size_t kMaxContourLevels = 10000;

class Tin {
public:
    Tin();
    ~Tin();
    Tin(const Tin&) = delete;
    Tin& operator=(const Tin&) = delete;

    // Triangulates the points (points at the same place are kept once, the first one). With
    // `largestLeg` above 0, triangles with a longer edge are dropped. Flat triangles on the
    // outside are peeled off (here and in FinishEdits). False when no triangle is left (fewer
    // than three points, all in a line, or every triangle too long).
    bool Load(std::vector<TinPoint> points, double largestLeg);
    // Reads a point file ("x,y,value" per line) and loads it; false with `error` naming the file
    // when it cannot be read or a line is not three numbers.
    bool LoadFile(const std::filesystem::path& file, double largestLeg, std::string* error);

    const std::vector<TinPoint>& Points() const { return points_; }
    const std::vector<TinTriangle>& Triangles() const { return triangles_; }
    std::size_t TriangleCount() const { return triangles_.size(); }
    // The value of a triangle's corner.
    double Value(std::size_t triangle, int corner) const {
        return points_[static_cast<std::size_t>(
                           triangles_[triangle][static_cast<std::size_t>(corner)])]
            .value;
    }

    // Marks a triangle for removal; indices stay valid until FinishEdits drops the marked ones.
    void RemoveTriangle(std::size_t index);
    void FinishEdits();

    // The contour polylines at every multiple of `interval` from the smallest to the largest
    // value of the remaining triangles; empty when the interval is not above 0, there is no
    // triangle or the levels would be more than kMaxContourLevels.
    std::vector<ContourLevel> Contours(double interval) const;

    // Draws the contours into `writer`, one layer per level ("Contour_%0.2f") coloured from
    // `colours`. False when there is nothing to draw.
    bool DrawContours(DxfWriter& writer, double interval,
                      std::span<const ContourColour> colours) const;

    // The smallest box around the points of the remaining triangles.
    struct Box {
        double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
    };
    Box Bounds() const;

private:
    void DropOuterSlivers();

    std::vector<TinPoint> points_;
    std::vector<TinTriangle> triangles_;
    std::vector<bool> removed_;
};

// The colour of a level: the entry with the largest value at or below it, the first entry below
// all of them; black without entries.
ColourRef ContourLevelColour(std::span<const ContourColour> colours, double level);

// The legend on layer "Legend": per entry, stacked from the bottom, a filled box in its colour
// and the text " %0.2f <unit>". Placed right of `beside`.
void DrawContourLegend(DxfWriter& writer, std::span<const ContourColour> colours,
                       std::string_view unitName, const Tin::Box& beside);

// Delaunay triangles of the points (CGAL, kept out of every other file).
std::vector<TinTriangle> DelaunayTriangles(std::span<const TinPoint> points);

}  // namespace fluvex
