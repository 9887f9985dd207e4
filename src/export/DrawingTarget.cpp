#include "export/DrawingTarget.h"

#include <algorithm>
#include <cmath>

namespace fluvex {

void ViewMapping::SetZoomStep(double factor) {
    // A step of 1 or less (or not a number) would zoom the wrong way or not at all.
    if (std::isfinite(factor) && factor > 1.0) zoomStep_ = factor;
}

namespace {

WorldRect Scaled(const WorldRect& view, double factor) {
    const double cx = (view.minX + view.maxX) / 2;
    const double cy = (view.minY + view.maxY) / 2;
    const double hw = view.Width() / 2 * factor;
    const double hh = view.Height() / 2 * factor;
    return {cx - hw, cy - hh, cx + hw, cy + hh};
}

}  // namespace

void ViewMapping::ZoomIn() {
    view_ = Scaled(view_, 1.0 / zoomStep_);
}

void ViewMapping::ZoomOut() {
    view_ = Scaled(view_, zoomStep_);
}

double ViewMapping::Scale() const {
    const double w = view_.Width();
    const double h = view_.Height();
    if (viewport_.Width() <= 0 || viewport_.Height() <= 0) return 0.0;
    // A view without width or height (one point, or nothing at all) is shown one unit wide.
    const double sx = w > 0 && std::isfinite(w) ? viewport_.Width() / w : 0.0;
    const double sy = h > 0 && std::isfinite(h) ? viewport_.Height() / h : 0.0;
    if (sx > 0 && sy > 0) return std::min(sx, sy);
    if (sx > 0 || sy > 0) return std::max(sx, sy);
    return std::min(viewport_.Width(), viewport_.Height());
}

PixelPoint ViewMapping::WorldToPixel(double x, double y) const {
    const double s = Scale();
    const double cx = (view_.minX + view_.maxX) / 2;
    const double cy = (view_.minY + view_.maxY) / 2;
    return {viewport_.left + viewport_.Width() / 2.0 + (x - cx) * s,
            viewport_.top + viewport_.Height() / 2.0 - (y - cy) * s};
}

WorldPoint ViewMapping::PixelToWorld(const PixelPoint& pixel) const {
    const double s = Scale();
    const double cx = (view_.minX + view_.maxX) / 2;
    const double cy = (view_.minY + view_.maxY) / 2;
    if (s <= 0) return {cx, cy, 0.0};
    return {cx + (pixel.x - viewport_.left - viewport_.Width() / 2.0) / s,
            cy - (pixel.y - viewport_.top - viewport_.Height() / 2.0) / s, 0.0};
}

}  // namespace fluvex
