#pragma once

#include "model/Ensemble.h"
#include "model/QuantityOptions.h"

namespace fluvex {

// How a profile is averaged vertically (the settings' VelAvgMode, VelAvgDist, VelAvgSamples).
struct VerticalAveraging {
    int mode = 0;         // 0 one mean for the whole profile, 1 by distance, 2 by samples
    double distance = 0;  // the window by distance, display distance unit
    int samples = 0;      // the window by samples, cells on each side
};

// Smooths the processed velocity profile of a ping over its cells in use (LastCell under the
// options), by the averaging's mode. Bad cells stay bad; every window sees the unaveraged
// values.
void AverageVertically(Ensemble& ensemble, const VerticalAveraging& averaging,
                       const QuantityOptions& options);

}  // namespace fluvex
