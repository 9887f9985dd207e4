#include "readers/Pd0Navigation.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "model/Ensemble.h"
#include "model/LittleEndianView.h"
#include "services/DebugOutput.h"
#include "services/Geodesy.h"

namespace fluvex {

namespace {

// Block lengths that hold every field a block's reader uses (offsets are from the block ID).
constexpr std::size_t kBinaryNavigationLength = 62;   // ensemble time i32 at 58
constexpr std::size_t kSignedGgaLength = 72;          // longitude f64 at 64
constexpr std::size_t kGgaLength = 49;                // east/west character at 48
constexpr std::size_t kVtgLength = 40;                // speed f32 at 36
constexpr std::size_t kCompactNavigationLength = 49;  // course i32 at 45

// Sentence ids of the NMEA block (u16 at block offset 2).
constexpr std::uint16_t kSignedGgaSentence = 100;
constexpr std::uint16_t kGgaSentence = 104;
constexpr std::uint16_t kVtgSentence = 105;

constexpr double kSecondsPerDay = 86400.0;

// A 32-bit binary angle: the bits weigh 180, 90, 45 ... degrees from the top one down.
double BinaryAngle32(std::uint32_t bits) {
    const double degrees = static_cast<double>(bits) * 180.0 / 2147483648.0;
    return degrees > 180.0 ? degrees - 360.0 : degrees;
}

// A 16-bit binary angle: bit 15 weighs 180 degrees.
double BinaryAngle16(std::uint16_t bits) {
    return static_cast<double>(bits) * 180.0 / 32768.0;
}

// The fixes are stamped with UTC time of day and the ensemble with the acquisition PC's clock:
// their difference is only meaningful within half a day either way.
double WrapToHalfDay(double seconds) {
    return std::remainder(seconds, kSecondsPerDay);
}

// The printable sentence name and time that river software stores as text at offset 14.
std::string SentenceText(std::span<const std::uint8_t> block) {
    constexpr std::size_t textAt = 14;
    constexpr std::size_t maxText = 15;  // short enough to stay in the string's own storage
    if (block.size() <= textAt) return {};
    const auto text = block.subspan(textAt, std::min(maxText, block.size() - textAt));
    const auto end =
        std::ranges::find_if(text, [](std::uint8_t c) { return c < 0x20 || c > 0x7E; });
    return {text.begin(), end};
}

}  // namespace

void EmbeddedNavigation::UseFixIfPlausible(double latitude, double longitude) {
    // Written this way round so that NaN fails too.
    if (std::abs(latitude) <= 90.0 && std::abs(longitude) <= 180.0)
        fix_ = GeographicFix{latitude, longitude};
}

// 0x2000: two fixes with their UTC times, the ensemble's time on the PC clock and that clock's
// offset from UTC. The position is the last fix moved along the line through both fixes to the
// ensemble's time; without the clock offset that time is hours off and the extrapolation lands
// kilometres away. Speed and course made good come as they are.
void EmbeddedNavigation::ReadBinaryNavigation(std::span<const std::uint8_t> block) {
    const LittleEndianView view(block);
    if (view.Size() < kBinaryNavigationLength) return;
    const std::int32_t firstFixTime = view.I32(6);  // 0.0001 s, UTC
    const std::int32_t clockOffsetMs = view.I32(10);
    const double firstLatitude = BinaryAngle32(view.U32(14));
    const double firstLongitude = BinaryAngle32(view.U32(18));
    const std::int32_t lastFixTime = view.I32(22);
    const double lastLatitude = BinaryAngle32(view.U32(26));
    const double lastLongitude = BinaryAngle32(view.U32(30));
    const std::int32_t ensembleTime = view.I32(58);  // 0.01 s, PC clock

    speed_ = static_cast<double>(view.U16(40));  // mm/s
    course_ = BinaryAngle16(view.U16(42));

    double fixInterval = (static_cast<double>(lastFixTime) - firstFixTime) / 10000.0;
    if (fixInterval < 0.0) fixInterval += kSecondsPerDay;
    // Both fixes at one time (or a navigation system repeating its fix) give no motion to follow.
    if (fixInterval == 0.0) {
        UseFixIfPlausible(lastLatitude, lastLongitude);
        return;
    }
    const double sinceLastFix =
        WrapToHalfDay(ensembleTime / 100.0 - (lastFixTime / 10000.0 + clockOffsetMs / 1000.0));
    UseFixIfPlausible(
        lastLatitude + (lastLatitude - firstLatitude) / fixInterval * sinceLastFix,
        lastLongitude + (lastLongitude - firstLongitude) / fixInterval * sinceLastFix);
}

void EmbeddedNavigation::ReadNmeaNavigation(std::span<const std::uint8_t> block) {
    switch (LittleEndianView(block).U16(2)) {
        case kSignedGgaSentence:
            ReadSignedPosition(block);
            break;
        case kGgaSentence:
            ReadGgaPosition(block);
            break;
        case kVtgSentence:
            ReadVtgCourseAndSpeed(block);
            break;
        default:
            break;  // depth, heading and text sentences carry nothing we use
    }
}

// Sentence 100: latitude and longitude as signed degrees.
void EmbeddedNavigation::ReadSignedPosition(std::span<const std::uint8_t> block) {
    const LittleEndianView view(block);
    if (view.Size() < kSignedGgaLength) return;
    UseFixIfPlausible(view.F64(54), view.F64(64));
}

// Sentence 104: unsigned latitude and longitude, each followed by its hemisphere character.
// Appended recordings can hold stale bytes here, so a block counts only when both characters are
// hemispheres and both values are in range.
void EmbeddedNavigation::ReadGgaPosition(std::span<const std::uint8_t> block) {
    const LittleEndianView view(block);
    if (view.Size() < kGgaLength) return;
    DebugOutput(SentenceText(block));
    const double latitude = view.F64(31);
    const char northSouth = view.Char(39);
    const double longitude = view.F64(40);
    const char eastWest = view.Char(48);
    if ((northSouth != 'N' && northSouth != 'S') || (eastWest != 'E' && eastWest != 'W')) return;
    if (!(latitude >= 0.0 && longitude >= 0.0)) return;
    UseFixIfPlausible(northSouth == 'S' ? -latitude : latitude,
                      eastWest == 'W' ? -longitude : longitude);
}

// Sentence 105: true course in degrees and speed over ground in km/h.
void EmbeddedNavigation::ReadVtgCourseAndSpeed(std::span<const std::uint8_t> block) {
    const LittleEndianView view(block);
    if (view.Size() < kVtgLength) return;
    const float course = view.F32(21);
    const float kilometresPerHour = view.F32(36);
    if (!std::isfinite(course) || !std::isfinite(kilometresPerHour)) return;
    course_ = static_cast<double>(course);
    speed_ = static_cast<double>(kilometresPerHour) * 1000000.0 / 3600.0;
}

// 0x5410: flags say which of position, speed and course the block holds. Positions are whole
// signed degrees plus a fraction in 1e-7 degrees, with hemisphere characters.
void EmbeddedNavigation::ReadCompactNavigation(std::span<const std::uint8_t> block) {
    const LittleEndianView view(block);
    if (view.Size() < kCompactNavigationLength) return;
    const std::uint8_t flags = view.U8(10);
    if ((flags & 0x0CU) == 0x0CU) {
        double latitude = view.I8(29) + view.U32(30) / 10000000.0;
        if (view.Char(34) == 'S') latitude = -latitude;
        double longitude = view.I8(35) + view.U32(36) / 10000000.0;
        if (view.Char(40) == 'W') longitude = -longitude;
        UseFixIfPlausible(latitude, longitude);
    }
    constexpr double mmPerSPerKnot = 514.444444;
    if ((flags & 0x10U) != 0) speed_ = view.I32(41) / 100000.0 * mmPerSPerKnot;
    if ((flags & 0x20U) != 0) course_ = view.I32(45) / 100000.0;
}

void EmbeddedNavigation::ApplyTo(Ensemble& ensemble, Geodesy* geodesy) const {
    NavRecord& navigation = ensemble.navigation;
    if (course_) navigation.course = *course_;
    if (speed_) navigation.speed = *speed_;
    if (!fix_ || geodesy == nullptr) return;
    const GridPoint grid = geodesy->ToGrid(fix_->latitude, fix_->longitude);
    if (!grid.ok) return;
    navigation.positionValid = true;
    navigation.x = grid.x;
    navigation.y = grid.y;
    ensemble.MarkPresent(PresentBit::EmbeddedPosition);
}

}  // namespace fluvex
