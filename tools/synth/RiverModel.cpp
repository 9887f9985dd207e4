#include "synth/RiverModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

// The ray is followed in this many steps down to the deepest bed, then the crossing is refined
// by bisection: fine enough for any bed drawn with a few dozen points.
constexpr int kRaySteps = 2000;
constexpr int kBisections = 60;

double Interpolate(const BedPoint& a, const BedPoint& b, double station) {
    return a.depth + (b.depth - a.depth) * (station - a.station) / (b.station - a.station);
}

void CheckPolyline(const std::vector<BedPoint>& points) {
    if (points.size() < 2) throw SynthError("a cross-section needs at least two bed points");
    if (points.front().station != 0.0)
        throw SynthError("the first bed point must be at station 0 (the left bank)");
    for (std::size_t i = 1; i < points.size(); ++i)
        if (!(points[i].station > points[i - 1].station))
            throw SynthError("bed point stations must increase from bank to bank");
    const auto negative = [](const BedPoint& p) { return !(p.depth >= 0.0); };
    if (std::any_of(points.begin(), points.end(), negative))
        throw SynthError("bed depths must not be negative");
}

}  // namespace

CrossSection::CrossSection() : CrossSection(60.0, 3.0, {}) {}

CrossSection::CrossSection(double width, double parabolaDepth, std::vector<BedPoint> points)
    : width_(width), parabolaDepth_(parabolaDepth), points_(std::move(points)) {}

CrossSection CrossSection::Parabolic(double width, double maxDepth) {
    if (!(width > 0.0) || !(maxDepth > 0.0))
        throw SynthError("a parabolic cross-section needs a positive width and depth");
    return CrossSection(width, maxDepth, {});
}

CrossSection CrossSection::Polyline(std::vector<BedPoint> points) {
    CheckPolyline(points);
    const double width = points.back().station;
    return CrossSection(width, 0.0, std::move(points));
}

double CrossSection::MaxDepth() const {
    if (points_.empty()) return parabolaDepth_;
    const auto deepest = std::max_element(points_.begin(), points_.end(),
                                          [](auto& a, auto& b) { return a.depth < b.depth; });
    return deepest->depth;
}

double CrossSection::DepthAt(double station) const {
    // A track planned to end at a bank must not fall dry by a rounding error.
    constexpr double kBankToleranceM = 1e-9;
    if (!(station >= -kBankToleranceM && station <= width_ + kBankToleranceM)) return 0.0;
    const double s = std::clamp(station, 0.0, width_);
    if (points_.empty()) return 4.0 * parabolaDepth_ * s * (width_ - s) / (width_ * width_);
    const auto after = std::upper_bound(points_.begin(), points_.end(), s,
                                        [](double x, const BedPoint& p) { return x < p.station; });
    if (after == points_.end()) return points_.back().depth;
    return Interpolate(*std::prev(after), *after, s);
}

double CrossSection::AreaFromLeftBank(double station) const {
    const double s = std::clamp(station, 0.0, width_);
    if (points_.empty())
        return 4.0 * parabolaDepth_ / (width_ * width_) * (width_ * s * s / 2.0 - s * s * s / 3.0);
    double area = 0.0;
    for (std::size_t i = 1; i < points_.size() && points_[i - 1].station < s; ++i) {
        const BedPoint& a = points_[i - 1];
        const BedPoint end{std::min(s, points_[i].station),
                           DepthAt(std::min(s, points_[i].station))};
        area += 0.5 * (a.depth + end.depth) * (end.station - a.station);
    }
    return area;
}

double CrossSection::Area(double fromStation, double toStation) const {
    return AreaFromLeftBank(toStation) - AreaFromLeftBank(fromStation);
}

double CrossSection::RangeToBed(double station, double depth, double stationPerMetre,
                                double depthPerMetre) const {
    if (!(Clearance(station, depth) > 0.0) || !(depthPerMetre > 0.0)) return 0.0;
    // Below the deepest bed the ray is certainly out of the water.
    const double longest = (MaxDepth() - depth) / depthPerMetre;
    const auto clearanceAt = [&](double range) {
        return Clearance(station + range * stationPerMetre, depth + range * depthPerMetre);
    };
    double wet = 0.0;
    double dry = longest;
    for (int step = 1; step <= kRaySteps; ++step) {
        const double range = longest * step / kRaySteps;
        if (clearanceAt(range) <= 0.0) {
            dry = range;
            break;
        }
        wet = range;
    }
    for (int i = 0; i < kBisections; ++i) {
        const double middle = 0.5 * (wet + dry);
        (clearanceAt(middle) > 0.0 ? wet : dry) = middle;
    }
    return 0.5 * (wet + dry);
}

WaterFlow::WaterFlow(double meanSpeed, double directionDeg, double exponent)
    : meanSpeed_(meanSpeed), directionDeg_(directionDeg), exponent_(exponent) {
    if (!(meanSpeed >= 0.0)) throw SynthError("the water speed must not be negative");
    if (!(exponent >= 0.0 && exponent <= 1.0))
        throw SynthError("the power-law exponent must lie between 0 and 1");
}

Vec3 WaterFlow::Direction() const {
    const double radians = directionDeg_ * std::numbers::pi / 180.0;
    return {std::sin(radians), std::cos(radians), 0.0};
}

double WaterFlow::SpeedIntegral(double top, double bottom, double columnDepth) const {
    if (!(columnDepth > 0.0)) return 0.0;
    const double upper = std::clamp(top, 0.0, columnDepth);
    const double lower = std::clamp(bottom, 0.0, columnDepth);
    if (lower <= upper) return 0.0;
    // With h the height above the bed, the integral of (b + 1)(h / D)^b is D (h / D)^(b + 1).
    const auto primitive = [&](double z) {
        return columnDepth * std::pow((columnDepth - z) / columnDepth, exponent_ + 1.0);
    };
    return meanSpeed_ * (primitive(upper) - primitive(lower));
}

Vec3 WaterFlow::MeanVelocity(double top, double bottom, double columnDepth) const {
    if (!(bottom > top)) return {};
    return (SpeedIntegral(top, bottom, columnDepth) / (bottom - top)) * Direction();
}

}  // namespace fluvex::synth
