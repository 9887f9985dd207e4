#include "processing/ChartQuantities.h"

#include <array>

#include "model/TextUtil.h"
#include "model/Units.h"
#include "processing/Discharge.h"
#include "services/TextService.h"

namespace fluvex {

namespace {

enum class Writing { TwoDecimals, TimeOfDay, Whole, Degrees, NoDecimals };
enum class UnitSuffix { None, Distance, Velocity, Temperature, Salinity, Discharge };

struct KindDescription {
    int textId;
    Writing writing;
    UnitSuffix suffix;
};

constexpr std::array<KindDescription, kChartKindCount> kKinds{{
    {3030, Writing::TwoDecimals, UnitSuffix::None},       // X
    {3055, Writing::TwoDecimals, UnitSuffix::None},       // Y
    {2915, Writing::TimeOfDay, UnitSuffix::None},         // time
    {1487, Writing::TwoDecimals, UnitSuffix::None},       // DBL
    {1533, Writing::TwoDecimals, UnitSuffix::Distance},   // depth
    {12474, Writing::Whole, UnitSuffix::None},            // cells used
    {12472, Writing::TwoDecimals, UnitSuffix::Velocity},  // boat speed
    {12473, Writing::TwoDecimals, UnitSuffix::Velocity},  // bottom-track speed
    {5940, Writing::TwoDecimals, UnitSuffix::Discharge},  // discharge, measured
    {5941, Writing::TwoDecimals, UnitSuffix::Discharge},  // discharge, top
    {5942, Writing::TwoDecimals, UnitSuffix::Discharge},  // discharge, bottom
    {2371, Writing::TwoDecimals, UnitSuffix::None},       // pitch
    {2565, Writing::TwoDecimals, UnitSuffix::None},       // roll
    {1874, Writing::Degrees, UnitSuffix::None},           // heading
    {1348, Writing::Degrees, UnitSuffix::None},           // course
    {12475, Writing::Degrees, UnitSuffix::None},          // bottom-track direction
    {5908, Writing::Degrees, UnitSuffix::Temperature},    // temperature
    {5909, Writing::NoDecimals, UnitSuffix::Salinity},    // salinity
    {12476, Writing::TwoDecimals, UnitSuffix::Velocity},  // mean water speed
    {12477, Writing::Degrees, UnitSuffix::None},          // mean water direction
}};

bool NeedsPosition(int kind) {
    return kind == kChartX || kind == kChartY || kind == kChartDistance ||
           kind == kChartBoatSpeed || kind == kChartCourse;
}

bool NeedsBottomTrack(int kind) {
    return kind == kChartBottomTrackSpeed || kind == kChartBottomTrackDirection;
}

// A bottom-track block whose horizontal velocity was measured: the chart accessors give 0 for
// the others, which would read as a boat standing still.
bool HasBottomTrackVelocity(const Ensemble& ensemble) {
    const CellVelocity& bottom = ensemble.bottomTrackVelocity;
    return HasBottomTrack(ensemble) && bottom.east != kBadVelocity && bottom.north != kBadVelocity;
}

std::optional<double> MeanWaterValue(const Ensemble& ensemble, int kind,
                                     const QuantityOptions& options) {
    CellVelocity mean;
    if (!MeanVelocity(ensemble, mean)) return std::nullopt;
    const double value = ChartQuantity(ensemble, kind, options);
    return kind == kChartMeanSpeed ? options.units.MmsToDisplay(value) : value;
}

}  // namespace

std::optional<double> ChartValue(const Ensemble& ensemble, int kind,
                                 const ProcessingOptions& options) {
    const QuantityOptions& quantities = options.quantities;
    if (!ensemble.loaded || !IsChartKind(kind)) return std::nullopt;
    if (NeedsPosition(kind) && !ensemble.navigation.positionValid) return std::nullopt;
    if (NeedsBottomTrack(kind) && !HasBottomTrackVelocity(ensemble)) return std::nullopt;
    switch (kind) {
        case kChartTime:
            if (!EnsembleDate::Of(ensemble, quantities.timingMode)) return std::nullopt;
            break;
        case kChartDepth:
            // Without a measurement the depth accessor gives a drawing default, not a depth.
            return MeasuredDepth(ensemble, quantities);
        case kChartBoatSpeed:
            return quantities.units.MmsToDisplay(ChartQuantity(ensemble, kind, quantities));
        case kChartDischarge1:
        case kChartDischarge2:
        case kChartDischarge3: {
            const EnsembleDischarge discharge = ComputeEnsembleDischarge(ensemble, options);
            return kind == kChartDischarge1   ? discharge.measured
                   : kind == kChartDischarge2 ? discharge.top
                                              : discharge.bottom;
        }
        case kChartMeanSpeed:
        case kChartMeanDirection:
            return MeanWaterValue(ensemble, kind, quantities);
        default:
            break;
    }
    return ChartQuantity(ensemble, kind, quantities);
}

std::string FormatChartValue(int kind, std::optional<double> value) {
    if (!value || !IsChartKind(kind)) return std::string(kNoChartValue);
    switch (kKinds[static_cast<std::size_t>(kind)].writing) {
        case Writing::TimeOfDay:
            return FormatTimeOfDay(*value);
        case Writing::Whole:
            return std::to_string(static_cast<long long>(*value));
        case Writing::Degrees:
            return FormatFixed(*value, 1) + "°";
        case Writing::NoDecimals:
            return FormatFixed(*value, 0);
        case Writing::TwoDecimals:
            break;
    }
    return FormatFixed(*value, 2);
}

std::string ChartHeading(int kind) {
    return IsChartKind(kind) ? TextService::LoadText(kKinds[static_cast<std::size_t>(kind)].textId)
                             : std::string();
}

std::string ChartHeadingWithUnit(int kind, const UnitSystem& units) {
    std::string heading = ChartHeading(kind);
    if (!IsChartKind(kind)) return heading;
    switch (kKinds[static_cast<std::size_t>(kind)].suffix) {
        case UnitSuffix::Distance:
            return heading + " (" + std::string(units.DistanceLabel()) + ")";
        case UnitSuffix::Velocity:
            return heading + " (" + std::string(units.VelocityLabel()) + ")";
        case UnitSuffix::Temperature:
            return heading + " (" + std::string(units.TemperatureLabel()) + ")";
        case UnitSuffix::Salinity:
            return heading + " (ppt)";
        case UnitSuffix::Discharge:
            // Says which table these are: "Bottom" alone could be a depth.
            return heading + " (m³/s)";
        case UnitSuffix::None:
            break;
    }
    return heading;
}

}  // namespace fluvex
