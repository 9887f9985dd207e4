#pragma once

// The drawing target of the 2-D DXF drawing: what the plan view draws becomes entities of a
// DxfWriter, on the layers the view names, with texts keeping their rotation.

#include "export/DrawingTarget.h"
#include "export/DxfWriter.h"

namespace fluvex {

class DxfTarget final : public DrawingTarget {
public:
    explicit DxfTarget(DxfWriter& writer) : writer_(writer) {}

    bool IsDrawingFile() const override { return true; }
    void BeginPicture() override {}
    void SetTextColour(ColourRef colour) override { textColour_ = colour; }
    void SetFillColour(ColourRef colour) override { fillColour_ = colour; }
    void SetPen(int style, int width, ColourRef colour) override;
    void DrawLine(const WorldPoint& from, const WorldPoint& to) override;
    void SetFont(double size, double angleDegrees, int weight) override;
    void DrawPolyline(std::span<const WorldPoint> points) override;
    void DrawPolygon(std::span<const WorldPoint> points) override;
    void DrawText(const WorldPoint& at, std::string_view text) override;
    void SelectLayer(std::string_view name) override { writer_.SetLayer(name); }
    void SetLayer(std::string_view name) override { writer_.SetLayer(name); }

private:
    DxfWriter& writer_;
    ColourRef penColour_ = 0;
    ColourRef fillColour_ = 0;
    ColourRef textColour_ = 0;
    double fontSize_ = 1.0;
    double fontAngle_ = 0.0;
};

}  // namespace fluvex
