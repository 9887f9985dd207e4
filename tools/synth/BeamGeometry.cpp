#include "synth/BeamGeometry.h"

#include <cmath>
#include <numbers>

namespace fluvex::synth {

namespace {

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Rotation by an angle about one axis, written out so that each convention is visible.
Mat3 AboutVertical(double clockwiseFromNorth) {
    const double c = std::cos(clockwiseFromNorth);
    const double s = std::sin(clockwiseFromNorth);
    return {{{c, s, 0.0}, {-s, c, 0.0}, {0.0, 0.0, 1.0}}};
}

Mat3 AboutStarboardAxis(double bowUp) {
    const double c = std::cos(bowUp);
    const double s = std::sin(bowUp);
    return {{{1.0, 0.0, 0.0}, {0.0, c, -s}, {0.0, s, c}}};
}

Mat3 AboutForwardAxis(double starboardDown) {
    const double c = std::cos(starboardDown);
    const double s = std::sin(starboardDown);
    return {{{c, 0.0, s}, {0.0, 1.0, 0.0}, {-s, 0.0, c}}};
}

}  // namespace

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 operator*(double factor, Vec3 v) {
    return {factor * v.x, factor * v.y, factor * v.z};
}

double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 operator*(const Mat3& m, Vec3 v) {
    const auto row = [&](std::size_t r) { return Dot({m[r][0], m[r][1], m[r][2]}, v); };
    return {row(0), row(1), row(2)};
}

Mat3 operator*(const Mat3& a, const Mat3& b) {
    Mat3 product{};
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 3; ++c)
            product[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c];
    return product;
}

Mat3 Transposed(const Mat3& m) {
    Mat3 t{};
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 3; ++c)
            t[c][r] = m[r][c];
    return t;
}

Mat3 InstrumentToEarth(double headingDeg, double pitchDeg, double rollDeg) {
    return AboutVertical(Radians(headingDeg)) * AboutStarboardAxis(Radians(pitchDeg)) *
           AboutForwardAxis(Radians(rollDeg));
}

JanusHead::JanusHead(double beamAngleDeg, bool convex) {
    const double down = -std::cos(Radians(beamAngleDeg));
    // A concave face crosses the beams beneath it, so each one leans the other way.
    const double out = (convex ? 1.0 : -1.0) * std::sin(Radians(beamAngleDeg));
    directions_ = {Vec3{-out, 0.0, down}, Vec3{out, 0.0, down}, Vec3{0.0, out, down},
                   Vec3{0.0, -out, down}};
}

Vec3 JanusHead::BeamDirection(std::size_t beam) const {
    return directions_.at(beam);
}

BeamValues JanusHead::BeamVelocities(Vec3 relativeVelocity) const {
    BeamValues radial{};
    for (std::size_t beam = 0; beam < kBeams; ++beam)
        radial[beam] = -Dot(relativeVelocity, directions_[beam]);
    return radial;
}

}  // namespace fluvex::synth
