#include "project/ProfileCursor.h"
#include "project/SettingsOptions.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "services/TextService.h"

namespace fluvex {

namespace {

constexpr Caption kDblCaption{1487, "DBL"};
constexpr Caption kTimeCaption{2915, "Time"};
constexpr Caption kDepthCaption{1533, "Depth"};
constexpr Caption kEastingCaption{3030, "Easting"};
constexpr Caption kNorthingCaption{3055, "Northing"};
constexpr Caption kNoDataCaption{kNoDataTextId, "No Data"};

std::string HorizontalText(double value, bool useTime) {
    return useTime ? Labelled(kTimeCaption, FormatTimeOfDay(value))
                   : Labelled(kDblCaption, Units().FormatDistance(value));
}

std::string BedText(double bedDepth) {
    const UnitSystem& units = Units();
    return Labelled(kDepthCaption,
                    units.FormatDistance(bedDepth) + " " + std::string(units.DistanceLabel()));
}

// The shown component of one cell in the display velocity unit (angles and error velocity as
// they are), or the no-data caption.
std::string CellValueText(const Ensemble& ping, int cell, const QuantityOptions& quantities) {
    const int quantity = quantities.velocityQuantity;
    const std::int16_t value = VelocityComponent(ping, cell, quantity);
    if (value == kBadVelocity) return Labelled(QuantityName(quantity), CaptionText(kNoDataCaption));
    const double shown =
        IsUnscaledQuantity(quantity) ? value : quantities.units.MmsToDisplay(value);
    return Labelled(QuantityName(quantity), quantities.units.FormatVelocity(shown, quantity));
}

// Panels 2 to 4 and the bed of the ping under the mouse.
void ReadPing(const Ensemble& ping, double depth, CursorReading& reading) {
    const QuantityOptions quantities = CurrentQuantityOptions();
    double x = 0;
    double y = 0;
    const bool positioned = GetPosition(ping, x, y);
    const std::string noData = CaptionText(kNoDataCaption);
    reading.panels[2] = Labelled(kEastingCaption, positioned ? Units().FormatDistance(x) : noData);
    reading.panels[3] = Labelled(kNorthingCaption, positioned ? Units().FormatDistance(y) : noData);
    reading.bedDepth = Depth(ping, quantities);
    const std::optional<int> cell = CellUnderDepth(ping, depth, reading.bedDepth);
    reading.cell = cell.value_or(-1);
    reading.panels[4] = cell ? CellValueText(ping, *cell, quantities) : std::string{};
}

double DistanceAlongAxis(const Ensemble& ping, double value, bool useTime) {
    return std::abs(HorizontalValue(ping, useTime) - value);
}

}  // namespace

double HorizontalValue(const Ensemble& ping, bool useTime) {
    return useTime ? EnsembleTimeOf(ping, AppSettings().Time_Type()) : ping.navigation.distance;
}

std::optional<int> NearestPing(std::span<const Ensemble> pings, double value, bool useTime) {
    std::optional<int> nearest;
    double closest = std::numeric_limits<double>::max();
    for (std::size_t index = 0; index < pings.size(); ++index) {
        const double gap = DistanceAlongAxis(pings[index], value, useTime);
        if (gap < closest) {
            closest = gap;
            nearest = static_cast<int>(index);
        }
    }
    return nearest;
}

double FirstCellTop(const Ensemble& ping) {
    const FixedLeader& leader = ping.fixedLeader;
    const int topCm = leader.Bin1DistanceCm() - leader.DepthCellLengthCm() / 2 +
                      ping.variableLeader.TransducerDepthDm() * 10;
    return Units().CmToDisplay(topCm);
}

std::optional<int> CellUnderDepth(const Ensemble& ping, double depth, double bedDepth) {
    const UnitSystem& units = Units();
    const int cells = CellCount(ping);
    if (cells == 0 || !(depth > FirstCellTop(ping) && depth < bedDepth)) return std::nullopt;
    for (int cell = 1; cell < cells; ++cell)
        if (CellDepth(ping, cell, units) > depth) return cell - 1;
    // Below the last cell's top: inside that cell only as far as it reaches.
    const int last = cells - 1;
    if (depth < CellDepth(ping, last, units) + CellSize(ping, units)) return last;
    return std::nullopt;
}

CursorReading ReadCursor(std::span<const Ensemble> pings, double value, double depth, bool useTime,
                         int cursorMode, double lastBedDepth) {
    CursorReading reading;
    reading.bedDepth = lastBedDepth;
    reading.panels[0] = HorizontalText(value, useTime);
    if (cursorMode != kBedCursor)
        reading.panels[1] = Labelled(kDepthCaption, Units().FormatDistance(depth));
    reading.ping = NearestPing(pings, value, useTime);
    if (reading.ping) ReadPing(pings[static_cast<std::size_t>(*reading.ping)], depth, reading);
    if (cursorMode == kBedCursor) reading.panels[1] = BedText(reading.bedDepth);
    return reading;
}

std::optional<int> CellToDelete(const Ensemble& ping, double depth) {
    const QuantityOptions quantities = CurrentQuantityOptions();
    const double top = FirstCellTop(ping);
    const double size = CellSize(ping, quantities.units);
    if (size <= 0 || !std::isfinite(depth) || depth < top) return std::nullopt;
    const double cell = std::trunc((depth - top) / size);
    const int drawn = std::min(LastCell(ping, quantities), CellCount(ping));
    if (cell >= drawn) return std::nullopt;
    return static_cast<int>(cell);
}

int PingToDelete(std::span<const Ensemble> pings, int found, double value, bool useTime) {
    const auto previous = static_cast<std::size_t>(found - 1);
    if (found < 1 || static_cast<std::size_t>(found) >= pings.size() || !pings[previous].loaded)
        return found;
    const Ensemble& candidate = pings[static_cast<std::size_t>(found)];
    const bool foundIsNearer = DistanceAlongAxis(candidate, value, useTime) <=
                               DistanceAlongAxis(pings[previous], value, useTime);
    return foundIsNearer ? found : found - 1;
}

}  // namespace fluvex
