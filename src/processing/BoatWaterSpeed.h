#pragma once

// How fast the boat moves over the bottom compared with the water it measures: moving-boat
// discharge degrades where the boat outruns the water, and this ratio shows where.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/Ensemble.h"
#include "model/QuantityOptions.h"

namespace fluvex {

// The bands a ratio falls in: below 100 %, 100 % up to 200 %, 200 % and above.
enum class SpeedBand { Slower, Faster, MuchFaster };
SpeedBand SpeedBandOf(double ratioPercent);

struct BoatWaterPoint {
    int index = 0;              // of the ping in its line
    int ensemble = 0;           // the ping's own number
    double boatSpeedMms = 0.0;  // horizontal bottom-track speed
    double ratioPercent = 0.0;  // |boat speed / mean water speed| × 100
};

// The point of one ping: the horizontal bottom-track speed against the mean horizontal water
// speed of the valid cells above the bottom cut-off. Nothing for a ping that is not loaded,
// without a valid bottom-track velocity, or whose cells are all invalid or still.
std::optional<BoatWaterPoint> BoatWaterPointOf(const Ensemble& ensemble, int index,
                                               const QuantityOptions& options);
// The points of a line's pings, in order; pings without one are left out.
std::vector<BoatWaterPoint> BoatWaterPoints(std::span<const Ensemble> ensembles,
                                            const QuantityOptions& options);

}  // namespace fluvex
