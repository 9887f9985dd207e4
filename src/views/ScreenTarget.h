#pragma once

// The plan view's drawing target on the screen: QPainter on the survey window's cached picture,
// with the world-to-pixel mapping of the target's view (aspect ratio kept, north up).

#include <QFont>
#include <QPointF>

#include "export/DrawingTarget.h"

class QPainter;

namespace fluvex {

class ScreenTarget final : public DrawingTarget {
public:
    // Later drawing goes through this painter (on the cached picture); null stops drawing.
    void AttachPainter(QPainter* painter) { painter_ = painter; }

    bool IsDrawingFile() const override { return false; }
    void BeginPicture() override;
    void SetTextColour(ColourRef colour) override { textColour_ = colour; }
    void SetFillColour(ColourRef colour) override { fillColour_ = colour; }
    void SetPen(int style, int width, ColourRef colour) override;
    void DrawLine(const WorldPoint& from, const WorldPoint& to) override;
    void SetFont(double size, double angleDegrees, int weight) override;
    void DrawPolyline(std::span<const WorldPoint> points) override;
    void DrawPolygon(std::span<const WorldPoint> points) override;
    void DrawText(const WorldPoint& at, std::string_view text) override;

    QPointF ToPixel(const WorldPoint& p) const;

private:
    QPainter* painter_ = nullptr;
    ColourRef textColour_ = 0;
    ColourRef fillColour_ = 0;
    double fontAngle_ = 0.0;
    QFont font_;
};

}  // namespace fluvex
