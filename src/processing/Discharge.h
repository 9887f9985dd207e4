#pragma once

// The discharge through a survey line: per ping, the flux of the water velocity across the boat's
// track through the measured cells, with estimates for the unmeasured top and bottom layers.

#include <cstdint>

#include "model/Ensemble.h"

namespace fluvex {

// One ping's discharge per second of ping time (m³/s per second).
struct EnsembleDischarge {
    double measured = 0.0;  // through the good cells
    double top = 0.0;       // the layer above the first cell
    double bottom = 0.0;    // the layer below the last good cell
    double total = 0.0;     // measured + top + bottom
    std::int32_t goodCells = 0;
    double meanWaterSpeed = 0.0;  // m/s, over the good cells
    double depth = 0.0;           // m

    bool operator==(const EnsembleDischarge&) const = default;
};

// A line's discharge in the display unit of volume flow, every value as a magnitude.
struct LineDischarge {
    double measured = 0.0;
    double top = 0.0;
    double bottom = 0.0;
    double total = 0.0;  // measured + top + bottom + both edges
    std::uint32_t ensembles = 0;
    double startEdge = 0.0;
    double endEdge = 0.0;

    bool operator==(const LineDischarge&) const = default;
};

}  // namespace fluvex
