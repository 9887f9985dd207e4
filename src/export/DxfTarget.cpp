#include "export/DxfTarget.h"

#include <vector>

namespace fluvex {

namespace {

std::vector<DxfPoint> ToDxf(std::span<const WorldPoint> points) {
    std::vector<DxfPoint> out;
    out.reserve(points.size());
    for (const WorldPoint& p : points)
        out.push_back({p.x, p.y, p.z});
    return out;
}

}  // namespace

void DxfTarget::SetPen(int, int, ColourRef colour) {
    // A drawing's lines have no pixel width; the colour is what the reader sees.
    penColour_ = colour;
}

void DxfTarget::DrawLine(const WorldPoint& from, const WorldPoint& to) {
    const DxfPoint points[] = {{from.x, from.y, from.z}, {to.x, to.y, to.z}};
    writer_.SetColour(penColour_);
    writer_.AddPolyline(points);
}

void DxfTarget::SetFont(double size, double angleDegrees, int) {
    fontSize_ = size;
    fontAngle_ = angleDegrees;
}

void DxfTarget::DrawPolyline(std::span<const WorldPoint> points) {
    writer_.SetColour(penColour_);
    writer_.AddPolyline(ToDxf(points));
}

void DxfTarget::DrawPolygon(std::span<const WorldPoint> points) {
    const std::vector<DxfPoint> outline = ToDxf(points);
    writer_.SetColour(fillColour_);
    writer_.AddFilledPolygon(outline);
    writer_.SetColour(penColour_);
    writer_.AddPolyline(outline, true);
}

void DxfTarget::DrawText(const WorldPoint& at, std::string_view text) {
    writer_.SetColour(textColour_);
    writer_.AddText({at.x, at.y, at.z}, fontSize_, fontAngle_, text);
}

}  // namespace fluvex
