#include "processing/Discharge.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/VelocityProcessing.h"

namespace fluvex {

namespace {

// Velocities are mm/s; a product of two of them is mm²/s².
constexpr double kSquareMmPerSquareM = 1e6;
constexpr double kMmPerM = 1000.0;

// The ground's motion as the head sees it (the boat's velocity over ground negated), mm/s.
struct BoatVelocity {
    double east = 0.0;
    double north = 0.0;
};

// Whether a ping enters the discharge, and with which boat velocity. Under the navigation
// reference, surveyors' choice exactly where bottom track fails, the navigation's course and
// speed over ground: the ping counts when it has a depth and a navigation velocity, with or
// without bottom track. Otherwise the bottom track's: the ping counts when it has a bottom-track
// block, and a bad bottom-track velocity leaves the boat still (no crossing is counted then).
std::optional<BoatVelocity> DischargeBoatVelocity(const Ensemble& ensemble,
                                                  const ProcessingOptions& options) {
    if (options.velocityReference == kReferenceEditedFile) {
        const CellVelocity& navigated = ensemble.referenceVelocity;
        if (!ensemble.loaded || navigated.IsBad() || !MeasuredDepth(ensemble, options.quantities))
            return std::nullopt;
        return BoatVelocity{static_cast<double>(navigated.east),
                            static_cast<double>(navigated.north)};
    }
    if (!HasBottomTrack(ensemble)) return std::nullopt;
    const CellVelocity& bottom = ensemble.bottomTrackVelocity;
    if (bottom.IsBad()) return BoatVelocity{};
    return BoatVelocity{static_cast<double>(bottom.east), static_cast<double>(bottom.north)};
}

// The component of the water velocity across the track, times the boat speed: m²/s².
double Crossing(double east, double north, BoatVelocity boat) {
    return (east * boat.north - north * boat.east) / kSquareMmPerSquareM;
}

// The length of a difference of 16-bit velocities. Nothing can overflow, so the plain root does;
// std::hypot's guard against overflow took a quarter of a report's time.
double Magnitude(double east, double north) {
    return std::sqrt(east * east + north * north);
}

// Cell tops in metres below the surface.
struct CellGeometry {
    double firstTop = 0.0;
    int sizeCm = 0;

    double Size() const { return sizeCm / 100.0; }
    double Top(int cell) const { return firstTop + cell * sizeCm / 100.0; }
    double Bottom(int cell) const { return Top(cell) + Size(); }
};

CellGeometry CellGeometryOf(const Ensemble& ensemble, const UnitSystem& units) {
    return {units.DisplayToMetres(CellDepth(ensemble, 0, units)),
            ensemble.fixedLeader.DepthCellLengthCm()};
}

// What the good cells of a profile add up to. A good cell adds only when its processed velocity
// is valid too: a bad value must never enter a sum.
class ProfileSums {
public:
    ProfileSums(const Ensemble& ensemble, BoatVelocity boat, bool overGround)
        : ensemble_(ensemble), boat_(boat), overGround_(overGround) {}

    void AddCell(int cell) {
        // Both horizontal components as recorded, whatever the axes.
        const auto recorded = ensemble_.cellBlocks.CellVelocities(cell);
        if (recorded[0] == kBadVelocity || recorded[1] == kBadVelocity) return;
        ++goodCells_;
        const auto index = static_cast<std::size_t>(cell);
        if (index >= ensemble_.cells.size() || ensemble_.cells[index].IsBad()) return;
        const double east = ensemble_.cells[index].east;
        const double north = ensemble_.cells[index].north;
        const double crossing = Crossing(east, north, boat_);
        if (addedCells_ == 0) firstCrossing_ = crossing;
        ++addedCells_;
        lastAddedCell_ = cell;
        lastCrossing_ = crossing;
        crossingSum_ += crossing;
        waterSpeedSum_ += overGround_ ? Magnitude(east, north)
                                      : Magnitude(east - boat_.east, north - boat_.north);
        eastSum_ += east;
        northSum_ += north;
    }

    int GoodCells() const { return goodCells_; }
    bool AnyAdded() const { return addedCells_ > 0; }
    int LastAddedCell() const { return lastAddedCell_; }
    double FirstCrossing() const { return firstCrossing_; }
    double LastCrossing() const { return lastCrossing_; }
    double CrossingSum() const { return crossingSum_; }
    // m/s, 0 when no cell added: the mean water speed over ground of the cells (ordinary pings),
    // or the speed of their mean velocity (the other family's pings). Cells processed against a
    // reference are over ground already; without one the bottom-track velocity is taken off
    // here (taking it off again would give the water's speed plus the boat's).
    double MeanWaterSpeed() const {
        return AnyAdded() ? waterSpeedSum_ / addedCells_ / kMmPerM : 0.0;
    }
    double SpeedOfMeanVelocity() const {
        return AnyAdded() ? std::hypot(eastSum_ / addedCells_, northSum_ / addedCells_) / kMmPerM
                          : 0.0;
    }

private:
    const Ensemble& ensemble_;
    BoatVelocity boat_;
    bool overGround_;
    int goodCells_ = 0;
    int addedCells_ = 0;
    int lastAddedCell_ = 0;
    double firstCrossing_ = 0.0;
    double lastCrossing_ = 0.0;
    double crossingSum_ = 0.0;
    double waterSpeedSum_ = 0.0;  // mm/s
    double eastSum_ = 0.0;        // mm/s
    double northSum_ = 0.0;
};

int ProfileCells(const Ensemble& ensemble) {
    return ensemble.Has(PresentBit::Velocity) ? CellCount(ensemble) : 0;
}

// Cells from the top down to the first whose top edge lies below the bed.
EnsembleDischarge OrdinaryDischarge(const Ensemble& ensemble, ProfileSums sums,
                                    const QuantityOptions& options) {
    const double depth = options.units.DisplayToMetres(Depth(ensemble, options));
    const CellGeometry cells = CellGeometryOf(ensemble, options.units);
    const int count = ProfileCells(ensemble);
    for (int cell = 0; cell < count && cells.Top(cell) <= depth; ++cell)
        sums.AddCell(cell);

    EnsembleDischarge discharge;
    discharge.depth = depth;
    discharge.goodCells = sums.GoodCells();
    if (sums.AnyAdded()) {
        discharge.measured = cells.Size() * sums.CrossingSum();
        discharge.top = cells.firstTop * sums.FirstCrossing();
        // Negative when the last cell reaches below the bed: it takes back what that cell
        // counted beyond it.
        discharge.bottom = sums.LastCrossing() * (depth - cells.Bottom(sums.LastAddedCell()));
        discharge.meanWaterSpeed = sums.MeanWaterSpeed();
    }
    discharge.total = discharge.top + discharge.measured + discharge.bottom;
    return discharge;
}

// Cells above the bottom cut-off; the bottom layer starts at the first cell below it.
EnsembleDischarge SonTekDischarge(const Ensemble& ensemble, ProfileSums sums,
                                  const QuantityOptions& options) {
    const int aboveCutOff = LastCell(ensemble, options);
    const int count = ProfileCells(ensemble);
    const CellGeometry cells = CellGeometryOf(ensemble, options.units);
    for (int cell = 0; cell < std::min(aboveCutOff, count); ++cell)
        sums.AddCell(cell);

    EnsembleDischarge discharge;
    if (sums.GoodCells() == 0) return discharge;
    const double depth = options.units.DisplayToMetres(Depth(ensemble, options));
    // Without a cut-off inside the profile the bottom layer lies below the last cell counted, not
    // from the surface down.
    const double bottomLayerTop =
        aboveCutOff < count ? cells.Top(aboveCutOff) : cells.Bottom(sums.LastAddedCell());
    discharge.depth = depth;
    discharge.goodCells = sums.GoodCells();
    if (sums.AnyAdded()) {
        discharge.measured = cells.Size() * sums.CrossingSum();
        discharge.top = cells.firstTop * sums.FirstCrossing();
        discharge.bottom = (depth - bottomLayerTop) * sums.LastCrossing();
        discharge.meanWaterSpeed = sums.SpeedOfMeanVelocity();
    }
    discharge.total = discharge.measured + discharge.top + discharge.bottom;
    return discharge;
}

double MeanSpeedTimesMeanDepth(std::span<const ShoreSample> samples) {
    double speed = 0.0;
    double depth = 0.0;
    for (const ShoreSample& sample : samples) {
        speed += sample.speed;
        depth += sample.depth;
    }
    const auto count = static_cast<double>(samples.size());
    return (speed / count) * (depth / count);
}

}  // namespace

EnsembleDischarge ComputeEnsembleDischarge(const Ensemble& ensemble,
                                           const ProcessingOptions& options) {
    const std::optional<BoatVelocity> boat = DischargeBoatVelocity(ensemble, options);
    if (!boat) return {};
    const ProfileSums sums(ensemble, *boat, options.velocityReference != kReferenceNone);
    return ensemble.IsSonTek() ? SonTekDischarge(ensemble, sums, options.quantities)
                               : OrdinaryDischarge(ensemble, sums, options.quantities);
}

VolumeUnit VolumeUnitOf(int velocityUnits) {
    // Feet by this factor as written, not by 1 / 0.3048.
    constexpr double kFeetPerMetre = 3.280839;
    const auto cubed = [](double f) { return f * f * f; };
    switch (velocityUnits) {
        case 0:
            return {cubed(1000.0), "mm³/s"};
        case 1:
            return {cubed(100.0), "cm³/s"};
        case 2:
            return {1.0, "m³/s"};
        case 3:
        case 4:
            return {cubed(kFeetPerMetre), "ft³/s"};
        default:
            return {cubed(1000.0), ""};
    }
}

void DischargeIntegral::Add(double time, const EnsembleDischarge& discharge) {
    if (previousTime_) {
        const double weight = (time - *previousTime_) * pingsCarried_;
        measured_ += weight * discharge.measured;
        top_ += weight * discharge.top;
        bottom_ += weight * discharge.bottom;
        total_ += weight * (discharge.top + discharge.measured + discharge.bottom);
        pingsCarried_ = discharge.goodCells >= 1 ? 1 : pingsCarried_ + 1;
    }
    previousTime_ = time;
}

EdgeDischarge EstimateEdges(std::span<const ShoreSample> samples, const ShoreOptions& options) {
    if (options.pings < 1 || samples.size() <= static_cast<std::size_t>(options.pings)) return {};
    const auto pings = static_cast<std::size_t>(options.pings);
    return {
        options.startCoefficient * options.startWidth *
            MeanSpeedTimesMeanDepth(samples.first(pings)),
        options.endCoefficient * options.endWidth * MeanSpeedTimesMeanDepth(samples.last(pings))};
}

}  // namespace fluvex
