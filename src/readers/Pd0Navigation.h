#pragma once

// Navigation that acquisition programs embed in PD0 ensembles: the binary navigation block of
// ship-survey software (ID 0x2000), the binary NMEA sentences of river software (ID 0x2022) and
// the compact navigation block (ID 0x5410).
//
// One ensemble may carry many of these blocks (river software writes dozens of GGA sentences per
// ping). They are gathered block by block, in file order: the last valid position wins, and so do
// the last course and the last speed. A block too short for its fields, or whose values are
// impossible, changes nothing. The position is converted to the grid once, when the ensemble is
// complete.

#include <cstdint>
#include <optional>
#include <span>

namespace fluvex {

class Geodesy;
struct Ensemble;

inline constexpr std::uint16_t kBinaryNavigationId = 0x2000;
inline constexpr std::uint16_t kNmeaNavigationId = 0x2022;
inline constexpr std::uint16_t kCompactNavigationId = 0x5410;

// WGS84 degrees, north and east positive.
struct GeographicFix {
    double latitude = 0.0;
    double longitude = 0.0;

    bool operator==(const GeographicFix&) const = default;
};

class EmbeddedNavigation {
public:
    // Each takes one whole block, starting at its 2-byte ID.
    void ReadBinaryNavigation(std::span<const std::uint8_t> block);
    void ReadNmeaNavigation(std::span<const std::uint8_t> block);
    void ReadCompactNavigation(std::span<const std::uint8_t> block);

    const std::optional<GeographicFix>& Fix() const { return fix_; }
    const std::optional<double>& CourseDegrees() const { return course_; }
    const std::optional<double>& SpeedMmPerS() const { return speed_; }

    // Writes course and speed into the ensemble's navigation record, and the position when
    // `geodesy` (may be null) converts it to the grid: only then is the position valid and marked
    // as embedded (PresentBit::EmbeddedPosition).
    void ApplyTo(Ensemble& ensemble, Geodesy* geodesy) const;

private:
    void ReadGgaPosition(std::span<const std::uint8_t> block);
    void ReadSignedPosition(std::span<const std::uint8_t> block);
    void ReadVtgCourseAndSpeed(std::span<const std::uint8_t> block);
    void UseFixIfPlausible(double latitude, double longitude);

    std::optional<GeographicFix> fix_;
    std::optional<double> course_;  // degrees from north
    std::optional<double> speed_;   // mm/s
};

}  // namespace fluvex
