#pragma once

// The discharge through a survey line: per ping, the flux of the water velocity across the boat's
// track through the measured cells, with estimates for the unmeasured top and bottom layers; per
// line, the time integral of those fluxes and estimates for the unmeasured edges near the banks.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "model/Ensemble.h"
#include "processing/VelocityProcessing.h"

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

// A line's discharge in the display unit of volume flow, positive for a crossing in either
// direction: the layers are turned by the sign of the section's flux, so that they add up to the
// total (a layer flowing against the rest is negative); the edges are magnitudes.
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

// The discharge of one processed ping, by the depth reference, the velocity reference and the
// bottom cut-off of the options. The boat velocity is the navigation's under the navigation
// reference (all zero without a depth or a navigation velocity) and the bottom track's otherwise
// (all zero without bottom track). The layers are the surface to the top edge of the first
// cell (top), the good cells (measured) and the bottom edge of the last good cell to the bed
// (bottom, ordinary pings) or the top edge of the first cell below the cut-off to the bed (pings
// of the other instrument family); the top and bottom layers move at the velocity of the first and
// the last good cell. A cell whose recorded horizontal components are valid is good even when
// processing marked it bad, but then adds nothing to the sums; without a valid bottom-track
// velocity (under the bottom-track or no reference) the boat counts as still, so the crossings are
// zero while the good cells are counted.
EnsembleDischarge ComputeEnsembleDischarge(const Ensemble& ensemble,
                                           const ProcessingOptions& options);

// The unit line discharges are shown in, from the settings' VelocityUnits: the length factor
// cubed (the discharges are computed in metres) and its text. An unknown unit scales as mm and has
// no text.
struct VolumeUnit {
    double factor = 1.0;
    std::string_view text;  // "mm³/s", "cm³/s", "m³/s" or "ft³/s" (UTF-8)
};
VolumeUnit VolumeUnitOf(int velocityUnits);

// Sums per-ping discharge over a line, each ping weighted by the time since the previous one.
// A ping that follows pings without good cells also carries their share of time, so that gaps in
// the profile do not lose water.
class DischargeIntegral {
public:
    void Add(double time, const EnsembleDischarge& discharge);

    double Measured() const { return measured_; }
    double Top() const { return top_; }
    double Bottom() const { return bottom_; }
    double Total() const { return total_; }

private:
    std::optional<double> previousTime_;
    int pingsCarried_ = 1;  // this ping and the ones without good cells just before it
    double measured_ = 0.0;
    double top_ = 0.0;
    double bottom_ = 0.0;
    double total_ = 0.0;
};

// What the edge estimates are made from: the mean water speed (m/s) and the depth (m) of a ping
// with good cells.
struct ShoreSample {
    double speed = 0.0;
    double depth = 0.0;
};

// The [ShoreOptions] of the settings: how many pings are averaged at each end, and the shape
// coefficient and distance to the bank of each edge.
struct ShoreOptions {
    int pings = 1;
    double startCoefficient = 0.31;
    double startWidth = 0.0;
    double endCoefficient = 0.31;
    double endWidth = 0.0;
};

struct EdgeDischarge {
    double start = 0.0;  // m³/s
    double end = 0.0;
};

// coefficient × width × mean speed × mean depth of the first (start) and the last (end) `pings`
// samples. Both zero unless there are more samples than `pings`, or when `pings` is below 1.
EdgeDischarge EstimateEdges(std::span<const ShoreSample> samples, const ShoreOptions& options);

}  // namespace fluvex
