#pragma once

// The physical quantities of a ping: time, attitude, depth by the chosen reference, cell
// geometry, the last cell to use, and water velocities as components, magnitudes and directions.
// They read the process's settings for their defaults, so one setting changes every view. Every
// accessor returns its neutral result (0, false or the bad value) for a ping that is not loaded,
// unless said otherwise.

#include <cstdint>

#include "model/Ensemble.h"

namespace fluvex {

// Seconds for ordering and differences. Timing mode 1 is the instrument's clock (seconds from the
// start of the year, plus one day); any other mode the fixed leader's time tag / 1000. Mode 0
// means the settings' Time_Type. A held month above 11 or day above 31 clears the loaded flag
// and gives 0.
double EnsembleTime(Ensemble& ensemble, int timingMode = 0);

}  // namespace fluvex
