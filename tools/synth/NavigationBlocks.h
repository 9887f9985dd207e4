#pragma once

#include <cstdint>
#include <vector>

namespace fluvex::synth {

struct GeoPoint {
    double latitude = 0.0;   // degrees, north positive
    double longitude = 0.0;  // degrees, east positive
};

// East and north metres around an origin turned into latitude and longitude on the WGS 84
// ellipsoid with the radii of curvature at the origin: within millimetres over a few kilometres.
class LocalTangentPlane {
public:
    explicit LocalTangentPlane(GeoPoint origin);
    GeoPoint ToGeographic(double east, double north) const;

private:
    GeoPoint origin_;
    double metresPerDegreeNorth_;
    double metresPerDegreeEast_;
};

struct TimedFix {
    std::int64_t utcMs = 0;  // milliseconds since 1970, UTC
    GeoPoint point;
};

// What the navigation blocks of one ensemble report about the boat.
struct NavigationState {
    GeoPoint position;       // at the ensemble
    std::int64_t utcMs = 0;  // the ensemble's time in UTC
    double courseDeg = 0.0;  // over ground, clockwise from north
    double speedMs = 0.0;    // over ground
    TimedFix firstFix;       // binary navigation: the two fixes before the ensemble
    TimedFix lastFix;
    std::int64_t clockHundredths = 0;  // the ensemble's time by the instrument's clock
    std::int32_t clockOffsetMs = 0;    // that clock minus UTC
    std::uint32_t ensembleNumber = 0;
    double headingDeg = 0.0;
    double pitchDeg = 0.0;
    double rollDeg = 0.0;
};

// The embedded navigation a synthetic ensemble can carry: the binary navigation block (0x2000),
// the NMEA block (0x2022) with sentence 100 (GGA, signed degrees), 104 (GGA, degrees with
// hemisphere letters) or 105 (VTG), and the compact navigation block (0x5410).
enum class NavigationKind { Binary2000, Gga100, Gga104, Vtg105, Compact5410 };

// Throws SynthError for a position the block cannot hold (0x5410 keeps whole degrees in a signed
// byte, so longitudes from 128 degrees on).
std::vector<std::uint8_t> EncodeNavigation(NavigationKind kind, const NavigationState& state);

}  // namespace fluvex::synth
