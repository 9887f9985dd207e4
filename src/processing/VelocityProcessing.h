#pragma once

// Turns the velocities a ping recorded (beam, instrument, ship or earth axes, relative to the
// moving ADCP) into earth-referenced water velocities relative to the ground, one CellVelocity
// per cell, with the reference velocity that was removed.

#include <array>
#include <cstdint>
#include <optional>

#include "model/Ensemble.h"
#include "model/Matrix3.h"
#include "model/QuantityOptions.h"
#include "processing/ProfileFilters.h"

namespace fluvex {

// Velocity references (the settings' VelReference).
enum VelocityReferenceMode : int {
    kReferenceNone = 0,
    kReferenceBottomTrack = 1,
    kReferenceEditedFile = 2,
};

using Velocity4 = std::array<int16_t, 4>;  // East, North, Up, fourth slot

// The surveyor's processing choices.
struct ProcessingOptions {
    int velocityReference = kReferenceBottomTrack;  // VelocityReferenceMode
    // Echo intensity (counts) below which a cell and every deeper one are bad.
    double amplitudeThreshold = 0;
    std::optional<VerticalAveraging> averaging;  // nothing: the profile as measured
    // The attitude, and the cells in use that the averaging covers.
    QuantityOptions quantities;
};

// A computed velocity stored as 16 bits: rounded to the nearest mm/s (halves away from zero) and
// kept inside the 16-bit range without ever producing the bad value by accident; a non-finite
// value is bad. Truncation would shorten every stored vector.
int16_t RoundVelocity(double value);

// Instrument x, y, z of four beam velocities (mm/s, unrounded); false when any beam is bad.
bool BeamToInstrument(const Ensemble& ensemble, const std::array<int16_t, 4>& beams,
                      std::array<double, 3>& instrument);

// The instrument-to-earth rotation from the ping's heading, pitch and roll.
Matrix3 AttitudeMatrix(const Ensemble& ensemble, const AttitudeOptions& attitude);

// The rotation applied to the ping's velocities: alignment x attitude for beam, instrument and
// ship axes, the alignment alone for earth axes.
Matrix3 VelocityRotation(const Ensemble& ensemble, const Matrix3& alignment,
                         const AttitudeOptions& attitude);

// The velocity of the ground relative to the ADCP in earth axes by a VelocityReferenceMode. False,
// with all four values bad, when the mode's data are missing.
bool ReferenceVelocity(const Ensemble& ensemble, const Matrix3& rotation, Velocity4& reference,
                       int mode);

// Rebuilds the ping's cells list, reference velocity and bottom-track velocity from its
// recorded blocks, with the amplitude filter and (when on) vertical averaging.
void ProcessEnsemble(Ensemble& ensemble, const Matrix3& alignment,
                     const ProcessingOptions& options);

}  // namespace fluvex
