#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fluvex {

// Velocity quantities (the settings' Velocity).
enum VelocityQuantity : int {
    kEastVelocity = 0,
    kNorthVelocity = 1,
    kVerticalVelocity = 2,
    kErrorVelocity = 3,
    kMagnitude2D = 4,
    kMagnitude3D = 5,
    kDirection = 6,
};
// A profile quantity that is an angle like direction (drawn by the profile view).
inline constexpr int kAngleViewQuantity = 10;

// Angles are never scaled by the velocity unit and carry no unit.
bool IsAngleQuantity(int quantity);
// Error velocity, direction and angles are looked up in colour tables as they are.
bool IsUnscaledQuantity(int quantity);
std::string_view QuantityName(int quantity);

// Display units. Lengths are held in centimetres (or metres where said) and velocities in mm/s;
// this is the one place that turns them into the units the surveyor chose and back.
class UnitSystem {
public:
    int DistanceUnit() const { return distanceUnit_; }   // 0 metre, 1 US survey ft, 2 intl ft
    double DistanceDivisor() const { return divisor_; }  // centimetres per display unit
    double VelocityScale() const { return scale_; }      // mm/s per display velocity unit
    int VelocityUnit() const { return velocityUnit_; }   // 0 mm/s, 1 cm/s, 2 m/s, 3 ft/s, 4 kt

    // 1 US survey foot, 2 international foot, anything else metre.
    void SetDistanceUnit(int index);
    // Indices 0 to 4 select a unit; others are ignored. The ft/s scale follows the distance
    // unit at the time of the call.
    void SetVelocityUnit(int index);

    double CmToDisplay(double cm) const { return cm / divisor_; }
    double DisplayToCm(double x) const { return divisor_ * x; }
    double MetresToDisplay(double m) const { return m * 100 / divisor_; }
    double DisplayToMetres(double x) const { return divisor_ * x / 100; }
    double MmsToDisplay(double mms) const { return mms / scale_; }
    double DisplayToMms(double x) const { return scale_ * x; }
    double CelsiusToDisplay(double celsius) const;

    std::string_view DistanceLabel() const;     // "m" or "ft"
    std::string_view TemperatureLabel() const;  // "C" or "F"
    std::string_view VelocityLabel() const { return VelocityLabel(velocityUnit_); }

    // "%.2f" in metres, "%.1f" in feet.
    std::string FormatDistance(double x) const;
    // A value already in the display unit: "N/A" for the bad value, whole degrees for angles,
    // otherwise the unit's decimals.
    std::string FormatVelocity(double v, int q) const;
    // FormatVelocity followed by " <unit>" unless the quantity is an angle.
    std::string FormatVelocityWithUnit(double v, int q) const;

    static std::string_view VelocityLabel(int index);      // "" outside 0..4
    static std::string_view VelocityLongLabel(int index);  // "" outside 0..4

private:
    int distanceUnit_ = 1;
    double divisor_ = 30.48006;
    double scale_ = 1000;
    int velocityUnit_ = 2;
};

// The unit selection of the process.
UnitSystem& Units();

double KmhToMms(double kmh);
double KnotsToMms(double knots);
double DegreesToRadians(double degrees);

std::string FormatOneDecimal(double x);
std::string FormatTwoDecimals(double x);
// Seconds since midnight as "hh:mm:ss.s"; days wrap.
std::string FormatTimeOfDay(double seconds);

// An angle in degrees brought into 0 <= a < 360.
double NormalisedDegrees(double degrees);
// Degrees clockwise from north (increasing y) of the step from (x1, y1) to (x2, y2); 0 when the
// points coincide.
double DirectionBetween(double x1, double y1, double x2, double y2);
// Linear interpolation at t between a (at t0) and b (at t1); the mean when t0 equals t1.
double Interpolate(double a, double b, double t0, double t1, double t);

// The file name of a path written with '/' or '\' separators, without a trailing line feed.
std::string FileNameOfPath(std::string_view path);
bool FileExists(const std::filesystem::path& path);

}  // namespace fluvex
