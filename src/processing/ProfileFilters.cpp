#include "processing/ProfileFilters.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/VelocityProcessing.h"

namespace fluvex {

namespace {

enum AveragingMode : int { kAverageAll = 0, kByDistance = 1, kBySamples = 2 };

constexpr CellVelocity kBadCell{kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity};

bool AllValid(const CellVelocity& cell) {
    return cell.east != kBadVelocity && cell.north != kBadVelocity && cell.up != kBadVelocity &&
           cell.echoIntensity != kBadVelocity;
}

// The mean of the valid cells of [first, last), each value's sum divided by their count and
// rounded to the nearest mm/s; the bad cell when none is valid.
CellVelocity MeanOfValid(std::span<const CellVelocity> cells, size_t first, size_t last) {
    long long east = 0, north = 0, up = 0, intensity = 0, count = 0;
    for (size_t i = first; i < last; ++i) {
        if (!AllValid(cells[i])) continue;
        east += cells[i].east;
        north += cells[i].north;
        up += cells[i].up;
        intensity += cells[i].echoIntensity;
        ++count;
    }
    if (count == 0) return kBadCell;
    auto mean = [count](long long sum) {
        return RoundVelocity(static_cast<double>(sum) / static_cast<double>(count));
    };
    return {mean(east), mean(north), mean(up), mean(intensity)};
}

void AverageAll(std::span<CellVelocity> cells, size_t inUse) {
    const CellVelocity mean = MeanOfValid(cells, 0, inUse);
    const bool anyValid = AllValid(mean);
    for (size_t i = 0; i < inUse; ++i)
        if (!anyValid || AllValid(cells[i])) cells[i] = mean;
}

void AverageMovingWindow(std::span<CellVelocity> cells, size_t inUse, size_t halfWidth) {
    // Reused between pings: reprocessing a line allocates nothing per ping here.
    thread_local std::vector<CellVelocity> original;
    original.assign(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(inUse));
    for (size_t i = 0; i < inUse; ++i) {
        const size_t first = i > halfWidth ? i - halfWidth : 0;
        const size_t last = std::min(inUse, i + halfWidth + 1);
        cells[i] = MeanOfValid(original, first, last);
    }
}

// Cells on each side of a window of `distance` display units: half the distance in cells,
// truncated toward zero.
size_t HalfWidthByDistance(const Ensemble& ensemble, double distance, const UnitSystem& units) {
    const double cellCm = ensemble.fixedLeader.DepthCellLengthCm();
    if (cellCm <= 0) return 0;
    const double cells = units.DisplayToCm(distance * 0.5) / cellCm;
    return cells > 0 ? static_cast<size_t>(std::min(cells, 1000.0)) : 0;
}

}  // namespace

void AverageVertically(Ensemble& ensemble, const VerticalAveraging& averaging,
                       const QuantityOptions& options) {
    const std::span<CellVelocity> cells(ensemble.cells);
    const size_t inUse =
        std::min(static_cast<size_t>(std::max(LastCell(ensemble, options), 0)), cells.size());
    switch (averaging.mode) {
        case kAverageAll:
            AverageAll(cells, inUse);
            break;
        case kByDistance:
            AverageMovingWindow(cells, inUse,
                                HalfWidthByDistance(ensemble, averaging.distance, options.units));
            break;
        case kBySamples:
            AverageMovingWindow(cells, inUse, static_cast<size_t>(std::max(averaging.samples, 0)));
            break;
        default:
            break;
    }
}

}  // namespace fluvex
