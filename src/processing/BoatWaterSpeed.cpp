#include "processing/BoatWaterSpeed.h"

#include <algorithm>
#include <cmath>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"

namespace fluvex {

SpeedBand SpeedBandOf(double ratioPercent) {
    if (ratioPercent >= 200) return SpeedBand::MuchFaster;
    if (ratioPercent >= 100) return SpeedBand::Faster;
    return SpeedBand::Slower;
}

std::optional<BoatWaterPoint> BoatWaterPointOf(const Ensemble& ensemble, int index,
                                               const QuantityOptions& options) {
    const CellVelocity& bottom = ensemble.bottomTrackVelocity;
    // A bad bottom-track velocity would be read as a speed of 46 m/s.
    if (!ensemble.loaded || !HasBottomTrack(ensemble) || bottom.east == kBadVelocity ||
        bottom.north == kBadVelocity)
        return std::nullopt;
    const int used = std::min(LastCell(ensemble, options), static_cast<int>(ensemble.cells.size()));
    double sum = 0;
    int count = 0;
    for (int cell = 0; cell < used; ++cell) {
        const std::int16_t speed = VelocityComponent(ensemble, cell, kMagnitude2D);
        if (speed == kBadVelocity) continue;
        sum += speed;
        ++count;
    }
    if (count == 0 || sum == 0) return std::nullopt;
    BoatWaterPoint point;
    point.index = index;
    point.ensemble = ensemble.variableLeader.EnsembleNumber();
    point.boatSpeedMms =
        std::hypot(static_cast<double>(bottom.east), static_cast<double>(bottom.north));
    point.ratioPercent = std::abs(point.boatSpeedMms / (sum / count)) * 100;
    return point;
}

std::vector<BoatWaterPoint> BoatWaterPoints(std::span<const Ensemble> ensembles,
                                            const QuantityOptions& options) {
    std::vector<BoatWaterPoint> points;
    for (std::size_t index = 0; index < ensembles.size(); ++index)
        if (auto point = BoatWaterPointOf(ensembles[index], static_cast<int>(index), options))
            points.push_back(*point);
    return points;
}

}  // namespace fluvex
