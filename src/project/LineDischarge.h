#pragma once

// The discharge of one line from its pings: the walk shared by the whole line and the part of it
// inside the clip border (Database::ComputeLineDischarge and ComputeLineDischargeClipped).

#include <functional>
#include <optional>
#include <span>

#include "model/Ensemble.h"
#include "processing/Discharge.h"

namespace fluvex {

struct LineDischargeOptions {
    double volumeFactor = 1.0;  // VolumeUnit::factor
    // Without options no edge is estimated.
    std::optional<ShoreOptions> shore;
    // Pings it refuses are passed over as unreadable ones are; without it every loaded ping
    // counts.
    std::function<bool(const Ensemble&)> counts;
    // The references, cut-off and timing each ping's discharge is computed by.
    ProcessingOptions processing;
};

// The time integral of the pings' discharge by the options' timing source, with the edges of
// the shore options, scaled by the volume factor and shown positive (LineDischarge). Pings not
// loaded are skipped: the next one's time step spans the gap. `ensembles` is the number of pings
// given.
LineDischarge IntegrateLineDischarge(std::span<const Ensemble> pings,
                                     const LineDischargeOptions& options);

}  // namespace fluvex
