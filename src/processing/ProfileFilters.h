#pragma once

#include "model/Ensemble.h"

namespace fluvex {

// Smooths the processed velocity profile of a ping over its cells in use (LastCell under the
// settings' profile-range rule), by the settings' VelAvgMode: 0 one mean for the whole profile,
// 1 a moving window of VelAvgDist (display distance unit), 2 a moving window of VelAvgSamples
// cells on each side. Bad cells stay bad; every window sees the unaveraged values.
void AverageVertically(Ensemble& ensemble);

}  // namespace fluvex
