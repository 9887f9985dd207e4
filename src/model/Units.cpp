#include "model/Units.h"

#include <array>
#include <cmath>
#include <numbers>
#include <system_error>

#include "model/BadValue.h"
#include "model/TextUtil.h"

namespace fluvex {

namespace {

struct VelocityUnitInfo {
    std::string_view label;
    std::string_view longLabel;
    double scale;  // mm/s per unit
};

constexpr double kMmsPerUsSurveyFoot = 304.8006;
constexpr double kMmsPerFoot = 304.8;
constexpr std::array<VelocityUnitInfo, 5> kVelocityUnits{{
    {"mm/s", "mm/s", 1},
    {"cm/s", "cm/s", 10},
    {"m/s", "m/s", 1000},
    {"ft/s", "ft/s", kMmsPerFoot},
    {"kt", "knots", 514.44445},
}};

constexpr std::array<std::string_view, 7> kQuantityNames{
    "East Velocity", "North Velocity", "Vertical Velocity", "Error Velocity",
    "Magnitude 2D",  "Magnitude 3D",   "Direction"};

bool IsVelocityUnit(int index) {
    return index >= 0 && index < 5;
}

}  // namespace

bool IsAngleQuantity(int quantity) {
    return quantity == kDirection || quantity == kAngleViewQuantity;
}

bool IsUnscaledQuantity(int quantity) {
    return IsAngleQuantity(quantity) || quantity == kErrorVelocity;
}

std::string_view QuantityName(int quantity) {
    if (quantity < 0 || quantity >= static_cast<int>(kQuantityNames.size())) return "UNKNOWN";
    return kQuantityNames[static_cast<size_t>(quantity)];
}

UnitSystem& Units() {
    static UnitSystem units;
    return units;
}

void UnitSystem::SetDistanceUnit(int index) {
    distanceUnit_ = index == 1 || index == 2 ? index : 0;
    divisor_ = distanceUnit_ == 1 ? 30.48006 : distanceUnit_ == 2 ? 30.48 : 100;
}

void UnitSystem::SetVelocityUnit(int index) {
    if (!IsVelocityUnit(index)) return;
    velocityUnit_ = index;
    scale_ = kVelocityUnits[static_cast<size_t>(index)].scale;
    if (index == 3 && distanceUnit_ == 1) scale_ = kMmsPerUsSurveyFoot;
}

double UnitSystem::CelsiusToDisplay(double celsius) const {
    return distanceUnit_ == 0 ? celsius : celsius * 9 / 5 + 32;
}

std::string_view UnitSystem::DistanceLabel() const {
    return distanceUnit_ == 0 ? "m" : "ft";
}

std::string_view UnitSystem::TemperatureLabel() const {
    return distanceUnit_ == 0 ? "C" : "F";
}

std::string_view UnitSystem::VelocityLabel(int index) {
    return IsVelocityUnit(index) ? kVelocityUnits[static_cast<size_t>(index)].label : "";
}

std::string_view UnitSystem::VelocityLongLabel(int index) {
    return IsVelocityUnit(index) ? kVelocityUnits[static_cast<size_t>(index)].longLabel : "";
}

std::string UnitSystem::FormatDistance(double x) const {
    return FormatFixed(x, distanceUnit_ == 0 ? 2 : 1);
}

std::string UnitSystem::FormatVelocity(double v, int q) const {
    if (v == kBadValue) return "N/A";
    if (IsAngleQuantity(q)) return FormatFixed(v, 0) + "°";
    switch (velocityUnit_) {
        case 0:
            return FormatFixed(v, 0);
        case 1:
            return FormatFixed(v, 1);
        default:
            return FormatFixed(v, 3);
    }
}

std::string UnitSystem::FormatVelocityWithUnit(double v, int q) const {
    std::string text = FormatVelocity(v, q);
    if (!IsAngleQuantity(q)) text.append(" ").append(VelocityLabel());
    return text;
}

double KmhToMms(double kmh) {
    return kmh * 1000000 / 3600;
}
double KnotsToMms(double knots) {
    return knots * 514.444444;
}
double DegreesToRadians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

std::string FormatOneDecimal(double x) {
    return FormatFixed(x, 1);
}
std::string FormatTwoDecimals(double x) {
    return FormatFixed(x, 2);
}

std::string FormatTimeOfDay(double seconds) {
    // Rounded to the tenth shown first, so that hours, minutes and seconds come from the same
    // value: 119.6 s is 00:01:59.6 (not 00:02:59.6) and 59.96 s is 00:01:00.0 (not 00:00:60.0).
    const double shown = std::round(seconds * 10) / 10;
    const double whole = std::floor(shown);
    const long long ofDay = static_cast<long long>(std::fmod(whole, 86400.0));
    std::string second = FormatFixed(shown - whole + static_cast<double>(ofDay % 60), 1);
    if (second.size() < 4) second.insert(0, "0");  // "%04.1f"
    return FormatPadded(ofDay / 3600, 2) + ":" + FormatPadded(ofDay % 3600 / 60, 2) + ":" + second;
}

double NormalisedDegrees(double degrees) {
    const double reduced = std::fmod(degrees, 360.0);
    return reduced < 0 ? reduced + 360 : reduced;
}

double DirectionBetween(double x1, double y1, double x2, double y2) {
    if (x1 == x2 && y1 == y2) return 0;
    double degrees = std::atan2(x2 - x1, y2 - y1) * 180 / std::numbers::pi;
    if (degrees < 0) degrees += 360;
    return degrees;
}

double Interpolate(double a, double b, double t0, double t1, double t) {
    if (t1 == t0) return (a + b) * 0.5;
    const double w = (t1 - t) / (t1 - t0);
    return a * w + (1 - w) * b;
}

std::string FileNameOfPath(std::string_view path) {
    if (!path.empty() && path.back() == '\n') path.remove_suffix(1);
    const auto separator = path.find_last_of("/\\");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

}  // namespace fluvex
