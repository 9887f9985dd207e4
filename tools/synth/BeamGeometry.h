#pragma once

#include <array>
#include <cstddef>

namespace fluvex::synth {

// Axes are right-handed. Earth: x east, y north, z up. Instrument (head looking down): x towards
// beam 2, y towards beam 3 (forward), z up.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(double factor, Vec3 v);
double Dot(Vec3 a, Vec3 b);

using Mat3 = std::array<std::array<double, 3>, 3>;

Vec3 operator*(const Mat3& m, Vec3 v);
Mat3 operator*(const Mat3& a, const Mat3& b);
Mat3 Transposed(const Mat3& m);

// Instrument-to-earth rotation of a boat-mounted head: roll about the forward axis (starboard
// down positive), then pitch about the starboard axis (bow up positive), then heading about the
// vertical (clockwise from north). A rotation, so its inverse is its transpose.
Mat3 InstrumentToEarth(double headingDeg, double pitchDeg, double rollDeg);

using BeamValues = std::array<double, 4>;
inline constexpr std::size_t kBeams = 4;

// A four-beam Janus head looking down, every beam tilted by the beam angle from the vertical.
// Beams 1 and 2 lie in the instrument's x-z plane, beams 3 and 4 in its y-z plane; a convex head
// sends beam 2 towards +x and beam 3 towards +y, a concave head crosses them under the face.
class JanusHead {
public:
    JanusHead(double beamAngleDeg, bool convex);

    // Unit vector from the transducer along the beam (0-3) into the water, instrument axes.
    Vec3 BeamDirection(std::size_t beam) const;
    // Radial velocities along the four beams of a velocity relative to the head (instrument
    // axes), positive towards the transducer as the instrument reports them.
    BeamValues BeamVelocities(Vec3 relativeVelocity) const;

private:
    std::array<Vec3, kBeams> directions_;
};

}  // namespace fluvex::synth
