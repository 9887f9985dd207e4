#include "views/ScreenTarget.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>

#include "views/ViewColour.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

// Labels of size 1 in pixels: small enough to sit beside an arrow, still readable.
constexpr int kLabelPixels = 10;

}  // namespace

void ScreenTarget::BeginPicture() {
    if (painter_ != nullptr) painter_->setRenderHint(QPainter::Antialiasing, false);
}

QPointF ScreenTarget::ToPixel(const WorldPoint& p) const {
    const PixelPoint pixel = View().WorldToPixel(p.x, p.y);
    return {pixel.x, pixel.y};
}

void ScreenTarget::SetPen(int style, int width, ColourRef colour) {
    if (painter_ == nullptr) return;
    QPen pen(ToQColor(colour), width, style == 0 ? Qt::SolidLine : Qt::DashLine);
    pen.setCapStyle(Qt::FlatCap);
    painter_->setPen(pen);
}

void ScreenTarget::DrawLine(const WorldPoint& from, const WorldPoint& to) {
    if (painter_ != nullptr) painter_->drawLine(ToPixel(from), ToPixel(to));
}

void ScreenTarget::SetFont(double size, double angleDegrees, int weight) {
    font_.setPixelSize(std::max(1, static_cast<int>(std::lround(size * kLabelPixels))));
    font_.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
    // Plain pixels: a label shows in its arrow's colour only, never blended into the paper.
    font_.setStyleStrategy(QFont::NoAntialias);
    fontAngle_ = angleDegrees;
}

void ScreenTarget::DrawPolyline(std::span<const WorldPoint> points) {
    if (painter_ == nullptr) return;
    QPolygonF polygon;
    for (const WorldPoint& p : points)
        polygon << ToPixel(p);
    painter_->drawPolyline(polygon);
}

void ScreenTarget::DrawPolygon(std::span<const WorldPoint> points) {
    if (painter_ == nullptr) return;
    QPolygonF polygon;
    for (const WorldPoint& p : points)
        polygon << ToPixel(p);
    painter_->save();
    painter_->setBrush(ToQColor(fillColour_));
    painter_->drawPolygon(polygon);
    painter_->restore();
}

void ScreenTarget::DrawText(const WorldPoint& at, std::string_view text) {
    if (painter_ == nullptr) return;
    painter_->save();
    painter_->setFont(font_);
    painter_->setPen(ToQColor(textColour_));
    painter_->translate(ToPixel(at));
    // The angle turns anticlockwise in the world, where y grows upwards.
    painter_->rotate(-fontAngle_);
    painter_->drawText(QPointF(0, 0), ToQString(text));
    painter_->restore();
}

}  // namespace fluvex
