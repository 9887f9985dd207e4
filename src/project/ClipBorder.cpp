#include "project/ClipBorder.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace fluvex {

namespace {

// "%lf": blanks, then a finite number with an optional sign. Moves `text` past it.
std::optional<double> ScanNumber(std::string_view& text) {
    const auto start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    if (text.starts_with('+')) text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || !std::isfinite(value)) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// A border line: "%lf%*c%lf", a number, any one character, a number.
std::optional<BorderPoint> ParseBorderLine(std::string_view line) {
    const auto x = ScanNumber(line);
    if (!x || line.empty()) return std::nullopt;
    line.remove_prefix(1);
    const auto y = ScanNumber(line);
    if (!y) return std::nullopt;
    return BorderPoint{*x, *y};
}

}  // namespace

int PointInPolygon(std::span<const BorderPoint> polygon, double px, double py) {
    constexpr double kNudge = 0.0001;
    int inside = 0;
    if (!polygon.empty() && py == polygon.front().y) py += kNudge;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const BorderPoint& a = polygon[i];
        const BorderPoint& b = polygon[(i + 1) % polygon.size()];
        if (py == b.y) py += kNudge;
        const bool between = py >= std::min(a.y, b.y) && py <= std::max(a.y, b.y);
        const bool rightOfBoth = px > a.x && px > b.x;
        if (!between || rightOfBoth) continue;
        const bool leftOfBoth = px < a.x && px < b.x;
        const double side = ((b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y)) * (b.y - a.y);
        if (leftOfBoth || side > 0) inside ^= 1;
    }
    return inside;
}

void ClipBorder::Clear() {
    points_.clear();
    insideSide_ = 0;
}

bool ClipBorder::Load(const std::filesystem::path& file) {
    Clear();
    std::ifstream in(file);
    if (!in) return false;
    std::vector<BorderPoint> points;
    for (std::string text; std::getline(in, text);) {
        const auto point = ParseBorderLine(text);
        if (point && point->x < kRangeStart && point->y < kRangeStart) points.push_back(*point);
    }
    if (points.size() <= 3) return false;
    const BorderPoint reference = points.back();
    points.pop_back();
    points_ = std::move(points);
    insideSide_ = PointInPolygon(points_, reference.x, reference.y);
    return true;
}

void ClipBorder::Extend(PlanRect& rect) const {
    for (const BorderPoint& point : points_) {
        Widen(point.x, rect.minX, rect.maxX);
        Widen(point.y, rect.minY, rect.maxY);
    }
}

void ClipBorder::SetQuad(const std::array<BorderPoint, 4>& corners) {
    points_.assign(corners.begin(), corners.end());
    points_.push_back(corners.front());
    BorderPoint centre;
    for (const BorderPoint& corner : corners) {
        centre.x += corner.x / 4;
        centre.y += corner.y / 4;
    }
    insideSide_ = PointInPolygon(points_, centre.x, centre.y);
}

bool ClipBorder::Inside(double x, double y) const {
    return points_.size() < 3 || PointInPolygon(points_, x, y) == insideSide_;
}

}  // namespace fluvex
