#include "processing/VelocityProcessing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/ProfileFilters.h"

namespace fluvex {

namespace {

// A reference that could not be formed is stored as bad, never as a plausible -1 mm/s.
constexpr Velocity4 kFailedReference{kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity};
constexpr CellVelocity kBadCell{kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity};

// Earth, instrument or beam-derived velocities before they are stored, mm/s.
using Vector3 = std::array<double, 3>;

// The weights that turn four beam velocities into instrument x, y (across) and z (vertical).
struct BeamGeometry {
    double across = 0;
    double vertical = 0;
};

BeamGeometry BeamGeometryOf(const Ensemble& ensemble) {
    const double angle = DegreesToRadians(ensemble.fixedLeader.BeamAngleDegrees());
    const double c = ensemble.fixedLeader.ConvexBeamPattern() ? 1 : -1;
    return {c / (2 * std::sin(angle)), 1 / (4 * std::cos(angle))};
}

bool BeamsToInstrument(const BeamGeometry& geometry, const std::array<int16_t, 4>& beams,
                       Vector3& instrument) {
    if (std::find(beams.begin(), beams.end(), kBadVelocity) != beams.end()) return false;
    instrument = {geometry.across * (beams[0] - beams[1]), geometry.across * (beams[3] - beams[2]),
                  geometry.vertical * (beams[0] + beams[1] + beams[2] + beams[3])};
    return true;
}

// The axes a ping's velocities were recorded in, as processing needs them: the beam geometry
// for beam axes, nothing for the others.
std::optional<BeamGeometry> RecordedAxes(const Ensemble& ensemble) {
    if (ensemble.fixedLeader.Frame() != CoordinateFrame::Beam) return std::nullopt;
    return BeamGeometryOf(ensemble);
}

// The recorded velocities of a cell (or the bottom track) turned into instrument or earth axes
// before rotation: beams through the beam geometry, other frames as recorded. In those frames the
// fourth value is the error velocity, which a three-beam solution leaves bad, so only the first
// three must be valid.
bool RecordedVelocity(const std::optional<BeamGeometry>& beams,
                      const std::array<int16_t, 4>& recorded, Vector3& velocity) {
    if (beams) return BeamsToInstrument(*beams, recorded, velocity);
    if (std::any_of(recorded.begin(), recorded.begin() + 3,
                    [](int16_t v) { return v == kBadVelocity; }))
        return false;
    velocity = {static_cast<double>(recorded[0]), static_cast<double>(recorded[1]),
                static_cast<double>(recorded[2])};
    return true;
}

// A rotation whose entries are finite and within +-1: the only kind Rotate takes, so that its
// results stay within a few times the 16-bit range.
bool IsBoundedRotation(const Matrix3& rotation) {
    return std::all_of(rotation.begin(), rotation.end(), [](const std::array<double, 3>& row) {
        return std::all_of(row.begin(), row.end(),
                           [](double entry) { return std::fabs(entry) <= 1.000001; });
    });
}

// RoundVelocity, here so that the loop over every cell has it inline.
inline int16_t Rounded(double value) {
    if (!std::isfinite(value)) return kBadVelocity;
    // std::round, halves away from zero, without its library call (three per cell): within the
    // clamp the truncation and the fraction are exact.
    const double clamped = std::clamp(value, -32767.0, 32767.0);
    auto whole = static_cast<int>(clamped);
    const double fraction = clamped - whole;
    if (fraction >= 0.5) ++whole;
    if (fraction <= -0.5) --whole;
    return static_cast<int16_t>(whole);
}

// Kept in full precision until stored: rounding each step on the way (or truncating, as
// before) shortened every vector by up to a few mm/s.
Vector3 Rotate(const Matrix3& rotation, const Vector3& v) {
    Vector3 turned{};
    for (size_t axis = 0; axis < 3; ++axis) {
        const auto& row = rotation[axis];
        turned[axis] = row[0] * v[0] + row[1] * v[1] + row[2] * v[2];
    }
    return turned;
}

Velocity4 Stored(const Vector3& v) {
    return {Rounded(v[0]), Rounded(v[1]), Rounded(v[2]), 0};
}

std::optional<Vector3> BottomTrackReference(const Ensemble& ensemble, const Matrix3& rotation) {
    if (!ensemble.Has(PresentBit::BottomTrack)) return std::nullopt;
    std::array<int16_t, 4> recorded{};
    for (int beam = 0; beam < 4; ++beam)
        recorded[static_cast<size_t>(beam)] = ensemble.bottomTrack.Velocity(beam);
    Vector3 v{};
    if (!RecordedVelocity(RecordedAxes(ensemble), recorded, v)) return std::nullopt;
    return Rotate(rotation, v);
}

std::optional<Vector3> EditedFileReference(const Ensemble& ensemble) {
    const NavRecord& nav = ensemble.navigation;
    if (!nav.positionValid) return std::nullopt;
    const double towards = DegreesToRadians(nav.course + 180);
    return Vector3{std::sin(towards) * nav.speed, std::cos(towards) * nav.speed, nav.vertical};
}

// The ground's velocity relative to the ADCP by `mode`, in full precision; nothing when the
// mode's data are missing or the rotation cannot turn anything.
std::optional<Vector3> ExactReference(const Ensemble& ensemble, const Matrix3& rotation, int mode) {
    // An attitude from unusable navigation values (not a number) cannot turn anything.
    if (!IsBoundedRotation(rotation)) return std::nullopt;
    if (mode == kReferenceBottomTrack) return BottomTrackReference(ensemble, rotation);
    if (mode == kReferenceEditedFile) return EditedFileReference(ensemble);
    return Vector3{};
}

int16_t MeanIntensity(const Ensemble& ensemble, int cell) {
    if (!ensemble.Has(PresentBit::EchoIntensity)) return 0;
    const auto beams = ensemble.cellBlocks.CellEchoIntensities(cell);
    return static_cast<int16_t>((beams[0] + beams[1] + beams[2] + beams[3]) / 4);
}

CellVelocity ProcessCell(const Ensemble& ensemble, int cell,
                         const std::optional<BeamGeometry>& beams, const Matrix3& rotation,
                         const Vector3& reference, int16_t intensity) {
    const std::array<int16_t, 4> recorded = ensemble.cellBlocks.CellVelocities(cell);
    Vector3 v{};
    if (!RecordedVelocity(beams, recorded, v))
        return {kBadVelocity, kBadVelocity, kBadVelocity, intensity};
    const Vector3 earth = Rotate(rotation, v);
    return {Rounded(earth[0] - reference[0]), Rounded(earth[1] - reference[1]),
            Rounded(earth[2] - reference[2]), intensity};
}

}  // namespace

int16_t RoundVelocity(double value) {
    return Rounded(value);
}

bool BeamToInstrument(const Ensemble& ensemble, const std::array<int16_t, 4>& beams,
                      std::array<double, 3>& instrument) {
    return BeamsToInstrument(BeamGeometryOf(ensemble), beams, instrument);
}

Matrix3 AttitudeMatrix(const Ensemble& ensemble, const AttitudeOptions& attitude) {
    const double heading = DegreesToRadians(Heading(ensemble, attitude));
    double pitch = DegreesToRadians(Pitch(ensemble, attitude));
    double roll = DegreesToRadians(Roll(ensemble, attitude));
    const uint8_t transform = ensemble.fixedLeader.CoordinateTransform();
    if ((transform & 0x10) && (transform & 0x04)) pitch = roll = 0;  // tilts already applied
    if (!ensemble.IsSonTek()) return HeadingPitchRollMatrix(heading, pitch, roll);

    return SonTekAttitudeMatrix(heading, pitch, roll);
}

Matrix3 VelocityRotation(const Ensemble& ensemble, const Matrix3& alignment,
                         const AttitudeOptions& attitude) {
    // Beam velocities become instrument axes first, so they turn to earth like instrument ones.
    if (ensemble.fixedLeader.Frame() == CoordinateFrame::Earth) return alignment;
    return Multiply(alignment, AttitudeMatrix(ensemble, attitude));
}

bool ReferenceVelocity(const Ensemble& ensemble, const Matrix3& rotation, Velocity4& reference,
                       int mode) {
    const std::optional<Vector3> exact = ExactReference(ensemble, rotation, mode);
    reference = exact ? Stored(*exact) : kFailedReference;
    return exact.has_value();
}

void ProcessEnsemble(Ensemble& ensemble, const Matrix3& alignment,
                     const ProcessingOptions& options) {
    ensemble.cells.clear();
    const int cellCount = ensemble.loaded ? ensemble.cellBlocks.CellCount() : 0;
    const Matrix3 rotation = VelocityRotation(ensemble, alignment, options.quantities.attitude);

    const std::optional<Vector3> reference =
        ExactReference(ensemble, rotation, options.velocityReference);
    // The bottom track is kept for the boat-speed view whatever the reference, and is refreshed
    // even when the reference failed, so that it never shows a previous processing's value.
    const std::optional<Vector3> bottomTrack =
        options.velocityReference == kReferenceBottomTrack
            ? reference
            : ExactReference(ensemble, rotation, kReferenceBottomTrack);
    const auto store = [](const std::optional<Vector3>& v) {
        const Velocity4 stored = v ? Stored(*v) : kFailedReference;
        return CellVelocity{stored[0], stored[1], stored[2], stored[3]};
    };
    ensemble.referenceVelocity = store(reference);
    ensemble.bottomTrackVelocity = store(bottomTrack);
    if (!reference) {
        ensemble.cells.assign(static_cast<size_t>(cellCount), kBadCell);
        return;
    }

    ensemble.cells.reserve(static_cast<size_t>(cellCount));
    const std::optional<BeamGeometry> beams = RecordedAxes(ensemble);
    bool belowAmplitude = false;
    for (int cell = 0; cell < cellCount; ++cell) {
        const int16_t intensity = MeanIntensity(ensemble, cell);
        belowAmplitude = belowAmplitude || (ensemble.Has(PresentBit::EchoIntensity) &&
                                            intensity < options.amplitudeThreshold);
        ensemble.cells.push_back(
            belowAmplitude ? CellVelocity{kBadVelocity, kBadVelocity, kBadVelocity, intensity}
                           : ProcessCell(ensemble, cell, beams, rotation, *reference, intensity));
    }
    if (options.averaging) AverageVertically(ensemble, *options.averaging, options.quantities);
}

}  // namespace fluvex
