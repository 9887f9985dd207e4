#include "synth/NavigationBlocks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "synth/Pd0Writer.h"
#include "synth/SurveyTime.h"
#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

constexpr std::uint16_t kBinaryNavigationId = 0x2000;
constexpr std::uint16_t kNmeaId = 0x2022;
constexpr std::uint16_t kCompactNavigationId = 0x5410;
constexpr std::size_t kNmeaHeaderBytes = 14;  // id, sentence id, size, delta time
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;
constexpr std::int64_t kMsPerDay = 86'400'000;

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Binary angle of 32 bits: the most significant bit weighs 180 degrees.
std::uint32_t BinaryAngle32(double degrees) {
    const auto counts = std::llround(degrees * 2147483648.0 / 180.0);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(counts) & 0xFFFFFFFFU);
}

// Binary angle of 16 bits: bit 15 weighs 180 degrees.
std::uint16_t BinaryAngle16(double degrees) {
    const auto counts = std::llround(degrees * 32768.0 / 180.0);
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(counts) & 0xFFFFU);
}

std::int16_t Clamp16(double value) {
    return static_cast<std::int16_t>(std::clamp(std::lround(value), -32767L, 32767L));
}

std::int64_t MsOfDay(std::int64_t ms) {
    const std::int64_t ofDay = ms % kMsPerDay;
    return ofDay < 0 ? ofDay + kMsPerDay : ofDay;
}

// Time of day in units of 0.0001 s.
std::int32_t TenthMsOfDay(std::int64_t ms) {
    return static_cast<std::int32_t>(MsOfDay(ms) * 10);
}

// "hhmmss.ss" as an NMEA sentence gives the UTC time.
std::string NmeaTime(std::int64_t utcMs) {
    const CivilTime t = ToCivil(MsOfDay(utcMs) / 10);
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.%02d", t.hour, t.minute, t.second, t.hundredths);
    return text;
}

void WriteBinaryFix(ByteWriter& w, const TimedFix& fix) {
    w.I32(TenthMsOfDay(fix.utcMs));
    w.U32(BinaryAngle32(fix.point.latitude));
    w.U32(BinaryAngle32(fix.point.longitude));
}

std::vector<std::uint8_t> BinaryNavigation(const NavigationState& s) {
    const CivilTime fixDate = ToCivil(s.lastFix.utcMs / 10);
    const CivilTime clockDate = ToCivil(s.clockHundredths);
    const std::int16_t speedMmS = Clamp16(s.speedMs * 1000.0);
    ByteWriter w;
    w.U16(kBinaryNavigationId);
    w.U8(static_cast<std::uint8_t>(fixDate.day));
    w.U8(static_cast<std::uint8_t>(fixDate.month));
    w.U16(static_cast<std::uint16_t>(fixDate.year));
    w.I32(TenthMsOfDay(s.firstFix.utcMs));
    w.I32(s.clockOffsetMs);
    w.U32(BinaryAngle32(s.firstFix.point.latitude));
    w.U32(BinaryAngle32(s.firstFix.point.longitude));
    WriteBinaryFix(w, s.lastFix);
    const std::uint16_t course = BinaryAngle16(s.courseDeg);
    w.I16(speedMmS);  // average speed and track, true and magnetic (no declination)
    w.U16(course);
    w.U16(course);
    w.I16(speedMmS);  // speed and direction made good
    w.U16(course);
    w.Zeros(6);  // reserved, flags, reserved
    w.U32(s.ensembleNumber);
    w.U16(static_cast<std::uint16_t>(clockDate.year));
    w.U8(static_cast<std::uint8_t>(clockDate.day));
    w.U8(static_cast<std::uint8_t>(clockDate.month));
    w.I32(static_cast<std::int32_t>(HundredthsOfDay(s.clockHundredths)));
    w.U16(BinaryAngle16(s.pitchDeg));
    w.U16(BinaryAngle16(s.rollDeg));
    w.U16(BinaryAngle16(s.headingDeg));
    for (int average = 0; average < 5; ++average)
        w.U16(1);
    return w.Take();
}

ByteWriter NmeaHeader(std::uint16_t sentenceId, std::size_t totalBytes) {
    ByteWriter w;
    w.U16(kNmeaId);
    w.U16(sentenceId);
    w.U16(static_cast<std::uint16_t>(totalBytes - kNmeaHeaderBytes));
    w.F64(0.0);  // the sentence belongs to the ensemble's own time
    return w;
}

char Hemisphere(double value, char positive, char negative) {
    return value < 0.0 ? negative : positive;
}

std::vector<std::uint8_t> SignedGga(const NavigationState& s) {
    ByteWriter w = NmeaHeader(100, 79);
    w.Text("$GPGGA," + NmeaTime(s.utcMs), 40);
    w.F64(s.position.latitude);
    w.U8(static_cast<std::uint8_t>(Hemisphere(s.position.latitude, 'N', 'S')));
    w.U8(0);
    w.F64(s.position.longitude);
    w.U8(static_cast<std::uint8_t>(Hemisphere(s.position.longitude, 'E', 'W')));
    w.U8(1);   // GPS fix
    w.U8(10);  // satellites
    w.F32(0.8F);
    return w.Take();
}

std::vector<std::uint8_t> HemisphereGga(const NavigationState& s) {
    ByteWriter w = NmeaHeader(104, 71);
    w.Text("$GPGGA", 7);
    w.Text(NmeaTime(s.utcMs), 10);
    w.F64(std::abs(s.position.latitude));
    w.U8(static_cast<std::uint8_t>(Hemisphere(s.position.latitude, 'N', 'S')));
    w.F64(std::abs(s.position.longitude));
    w.U8(static_cast<std::uint8_t>(Hemisphere(s.position.longitude, 'E', 'W')));
    w.U8(1);   // GPS fix
    w.U8(10);  // satellites
    w.F32(0.8F);
    for (float height : {0.0F, 0.0F}) {  // altitude and geoid separation, metres
        w.F32(height);
        w.U8('M');
    }
    w.F32(0.0F);  // age of differential corrections
    w.U16(0);     // reference station
    return w.Take();
}

std::vector<std::uint8_t> Vtg(const NavigationState& s) {
    ByteWriter w = NmeaHeader(105, 42);
    w.Text("$GPVTG", 7);
    const auto course = static_cast<float>(s.courseDeg);
    w.F32(course);
    w.U8('T');
    w.F32(course);  // magnetic: no declination
    w.U8('M');
    w.F32(static_cast<float>(s.speedMs / kMetresPerSecondPerKnot));
    w.U8('N');
    w.F32(static_cast<float>(s.speedMs * 3.6));
    w.U8('K');
    w.U8('A');  // autonomous fix
    return w.Take();
}

// Whole degrees in a signed byte, the fraction in units of 1e-7 degree, then the hemisphere.
void WriteCompactAngle(ByteWriter& w, double degrees, char positive, char negative) {
    const double magnitude = std::abs(degrees);
    auto whole = static_cast<std::int64_t>(std::floor(magnitude));
    auto fraction = std::llround((magnitude - static_cast<double>(whole)) * 1e7);
    if (fraction >= 10'000'000) {
        ++whole;
        fraction -= 10'000'000;
    }
    if (whole > 127)
        throw SynthError("the 0x5410 block cannot hold a longitude beyond 127 degrees");
    w.U8(static_cast<std::uint8_t>(whole));
    w.U32(static_cast<std::uint32_t>(fraction));
    w.U8(static_cast<std::uint8_t>(Hemisphere(degrees, positive, negative)));
}

std::vector<std::uint8_t> CompactNavigation(const NavigationState& s) {
    ByteWriter w;
    w.U16(kCompactNavigationId);
    w.Zeros(8);
    w.U8(0x3C);  // position, speed and course present
    w.Zeros(18);
    WriteCompactAngle(w, s.position.latitude, 'N', 'S');
    WriteCompactAngle(w, s.position.longitude, 'E', 'W');
    w.I32(static_cast<std::int32_t>(std::lround(s.speedMs / kMetresPerSecondPerKnot * 1e5)));
    w.I32(static_cast<std::int32_t>(std::lround(s.courseDeg * 1e5)));
    return w.Take();
}

}  // namespace

LocalTangentPlane::LocalTangentPlane(GeoPoint origin) : origin_(origin) {
    constexpr double a = 6378137.0;
    constexpr double f = 1.0 / 298.257223563;
    constexpr double e2 = f * (2.0 - f);
    const double s = std::sin(Radians(origin.latitude));
    const double w = 1.0 - e2 * s * s;
    const double meridian = a * (1.0 - e2) / (w * std::sqrt(w));
    const double primeVertical = a / std::sqrt(w);
    metresPerDegreeNorth_ = Radians(meridian);
    metresPerDegreeEast_ = Radians(primeVertical * std::cos(Radians(origin.latitude)));
}

GeoPoint LocalTangentPlane::ToGeographic(double east, double north) const {
    return {origin_.latitude + north / metresPerDegreeNorth_,
            origin_.longitude + east / metresPerDegreeEast_};
}

std::vector<std::uint8_t> EncodeNavigation(NavigationKind kind, const NavigationState& state) {
    switch (kind) {
        case NavigationKind::Binary2000:
            return BinaryNavigation(state);
        case NavigationKind::Gga100:
            return SignedGga(state);
        case NavigationKind::Gga104:
            return HemisphereGga(state);
        case NavigationKind::Vtg105:
            return Vtg(state);
        case NavigationKind::Compact5410:
            return CompactNavigation(state);
    }
    return {};
}

}  // namespace fluvex::synth
