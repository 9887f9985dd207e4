#pragma once

// What the plan view draws on: the window or a DXF drawing. World coordinates are grid x (east),
// y (north) and z (up, negative below the surface) in the project's distance unit; the target
// turns them into pixels or drawing entities. Every target also keeps the view (which world
// rectangle is shown in which pixel rectangle), so that the window's navigation and the pixel
// mapping can be exercised without a display.

#include <span>
#include <string_view>

#include "model/ColourLookup.h"
#include "project/ProfileScales.h"

namespace fluvex {

struct WorldPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Minimum x, minimum y, maximum x, maximum y.
struct WorldRect {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    double Width() const { return maxX - minX; }
    double Height() const { return maxY - minY; }
};

struct PixelPoint {
    double x = 0.0;
    double y = 0.0;
};

// The world-to-pixel mapping of a view: the view rectangle is fitted into the viewport keeping
// the aspect ratio (one scale for x and y, centred), y growing upwards in the world and downwards
// on the screen.
class ViewMapping {
public:
    void SetViewport(const PixelRect& viewport) { viewport_ = viewport; }
    const PixelRect& Viewport() const { return viewport_; }
    void SetExtents(const WorldRect& extents) { extents_ = extents; }
    const WorldRect& Extents() const { return extents_; }
    // The rectangle asked for; the window may show more of the world across its longer side.
    const WorldRect& GetView() const { return view_; }
    void SetView(const WorldRect& view) { view_ = view; }
    void ZoomTo(const WorldRect& view) { view_ = view; }
    void SetZoomStep(double factor);
    double ZoomStep() const { return zoomStep_; }
    // The view shrinks (in) or grows (out) by the zoom step about its centre.
    void ZoomIn();
    void ZoomOut();

    // Pixels per world unit; 0 for an empty view or viewport.
    double Scale() const;
    PixelPoint WorldToPixel(double x, double y) const;
    WorldPoint PixelToWorld(const PixelPoint& pixel) const;

private:
    PixelRect viewport_;
    WorldRect extents_;
    WorldRect view_{0.0, 0.0, 1.0, 1.0};
    double zoomStep_ = 1.1;
};

class DrawingTarget {
public:
    virtual ~DrawingTarget() = default;

    ViewMapping& View() { return view_; }
    const ViewMapping& View() const { return view_; }

    // A DXF target: the planned lines are drawn in the drawing's own style and nothing is
    // sliced over time.
    virtual bool IsDrawingFile() const = 0;
    // Called once before a picture is drawn.
    virtual void BeginPicture() = 0;
    // Colours are 0x00BBGGRR.
    virtual void SetTextColour(ColourRef colour) = 0;
    virtual void SetFillColour(ColourRef colour) = 0;
    // Style 0 is solid; the width is in pixels.
    virtual void SetPen(int style, int width, ColourRef colour) = 0;
    virtual void DrawLine(const WorldPoint& from, const WorldPoint& to) = 0;
    // Size 1 is the smallest label size; the angle in degrees anticlockwise from +x.
    virtual void SetFont(double size, double angleDegrees, int weight) = 0;
    virtual void DrawPolyline(std::span<const WorldPoint> points) = 0;
    // A closed polygon, outlined with the pen and filled with the fill colour.
    virtual void DrawPolygon(std::span<const WorldPoint> points) = 0;
    virtual void DrawText(const WorldPoint& at, std::string_view text) = 0;
    // Layers mean something only in a drawing file: the planned lines' layer and the layer of
    // each vector.
    virtual void SelectLayer(std::string_view) {}
    virtual void SetLayer(std::string_view) {}

private:
    ViewMapping view_;
};

}  // namespace fluvex
