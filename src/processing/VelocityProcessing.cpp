#include "processing/VelocityProcessing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/ProfileFilters.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// A reference that could not be formed is stored as bad, never as a plausible -1 mm/s.
constexpr Velocity4 kFailedReference{kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity};
constexpr CellVelocity kBadCell{kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity};

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
                       std::array<int16_t, 3>& instrument) {
    if (std::find(beams.begin(), beams.end(), kBadVelocity) != beams.end()) return false;
    instrument = {
        TruncateVelocity(geometry.across * (beams[0] - beams[1])),
        TruncateVelocity(geometry.across * (beams[3] - beams[2])),
        TruncateVelocity(geometry.vertical * (beams[0] + beams[1] + beams[2] + beams[3]))};
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
                      const std::array<int16_t, 4>& recorded, std::array<int16_t, 3>& velocity) {
    if (beams) return BeamsToInstrument(*beams, recorded, velocity);
    if (std::any_of(recorded.begin(), recorded.begin() + 3,
                    [](int16_t v) { return v == kBadVelocity; }))
        return false;
    velocity = {recorded[0], recorded[1], recorded[2]};
    return true;
}

// Sums of 16-bit values weighted by rotation entries within +-1 stay far inside the int range, so
// a plain conversion is safe there; the clamp keeps a result off the bad value.
int16_t TruncateBounded(double value) {
    return static_cast<int16_t>(std::clamp(static_cast<int>(value), -32767, 32767));
}

// A rotation whose entries are finite and within +-1: the only kind RotatedComponent takes.
bool IsBoundedRotation(const Matrix3& rotation) {
    return std::all_of(rotation.begin(), rotation.end(), [](const std::array<double, 3>& row) {
        return std::all_of(row.begin(), row.end(),
                           [](double entry) { return std::fabs(entry) <= 1.000001; });
    });
}

// One earth component in the order the stored values have always been computed: each partial
// sum is truncated to 16 bits before the next term is added.
int16_t RotatedComponent(const std::array<double, 3>& row, const std::array<int16_t, 3>& v,
                         double subtract) {
    const int16_t first = TruncateBounded(row[0] * v[0] - subtract);
    const int16_t second = TruncateBounded(row[1] * v[1] + first);
    return TruncateBounded(row[2] * v[2] + second);
}

bool BottomTrackReference(const Ensemble& ensemble, const Matrix3& rotation, Velocity4& reference) {
    if (!ensemble.Has(PresentBit::BottomTrack)) return false;
    std::array<int16_t, 4> recorded{};
    for (int beam = 0; beam < 4; ++beam)
        recorded[static_cast<size_t>(beam)] = ensemble.bottomTrack.Velocity(beam);
    std::array<int16_t, 3> v{};
    if (!RecordedVelocity(RecordedAxes(ensemble), recorded, v)) return false;
    for (size_t axis = 0; axis < 3; ++axis)
        reference[axis] = RotatedComponent(rotation[axis], v, 0);
    return true;
}

bool EditedFileReference(const Ensemble& ensemble, Velocity4& reference) {
    const NavRecord& nav = ensemble.navigation;
    if (!nav.positionValid) return false;
    const double towards = DegreesToRadians(nav.course + 180);
    reference = {TruncateVelocity(std::sin(towards) * nav.speed),
                 TruncateVelocity(std::cos(towards) * nav.speed), TruncateVelocity(nav.vertical),
                 0};
    return true;
}

int16_t MeanIntensity(const Ensemble& ensemble, int cell) {
    if (!ensemble.Has(PresentBit::EchoIntensity)) return 0;
    const auto beams = ensemble.cellBlocks.CellEchoIntensities(cell);
    return static_cast<int16_t>((beams[0] + beams[1] + beams[2] + beams[3]) / 4);
}

CellVelocity ProcessCell(const Ensemble& ensemble, int cell,
                         const std::optional<BeamGeometry>& beams, const Matrix3& rotation,
                         const Velocity4& reference, int16_t intensity) {
    const std::array<int16_t, 4> recorded = ensemble.cellBlocks.CellVelocities(cell);
    std::array<int16_t, 3> v{};
    if (!RecordedVelocity(beams, recorded, v))
        return {kBadVelocity, kBadVelocity, kBadVelocity, intensity};
    return {RotatedComponent(rotation[0], v, reference[0]),
            RotatedComponent(rotation[1], v, reference[1]),
            RotatedComponent(rotation[2], v, reference[2]), intensity};
}

}  // namespace

int16_t TruncateVelocity(double value) {
    if (!std::isfinite(value)) return kBadVelocity;
    return static_cast<int16_t>(std::trunc(std::clamp(value, -32767.0, 32767.0)));
}

bool BeamToInstrument(const Ensemble& ensemble, const std::array<int16_t, 4>& beams,
                      std::array<int16_t, 3>& instrument) {
    return BeamsToInstrument(BeamGeometryOf(ensemble), beams, instrument);
}

Matrix3 AttitudeMatrix(const Ensemble& ensemble) {
    const double heading = DegreesToRadians(Heading(ensemble));
    double pitch = DegreesToRadians(Pitch(ensemble));
    double roll = DegreesToRadians(Roll(ensemble));
    const uint8_t transform = ensemble.fixedLeader.CoordinateTransform();
    if ((transform & 0x10) && (transform & 0x04)) pitch = roll = 0;  // tilts already applied
    if (!ensemble.IsSonTek()) return HeadingPitchRollMatrix(heading, pitch, roll);

    return SonTekAttitudeMatrix(heading, pitch, roll);
}

Matrix3 VelocityRotation(const Ensemble& ensemble, const Matrix3& alignment) {
    // Beam velocities become instrument axes first, so they turn to earth like instrument ones.
    if (ensemble.fixedLeader.Frame() == CoordinateFrame::Earth) return alignment;
    return Multiply(alignment, AttitudeMatrix(ensemble));
}

bool ReferenceVelocity(const Ensemble& ensemble, const Matrix3& rotation, Velocity4& reference,
                       int mode) {
    if (mode == -1) mode = AppSettings().VelReference();
    reference = {0, 0, 0, 0};
    // An attitude from unusable navigation values (not a number) cannot turn anything.
    bool produced = IsBoundedRotation(rotation);
    if (produced && mode == kReferenceBottomTrack)
        produced = BottomTrackReference(ensemble, rotation, reference);
    else if (produced && mode == kReferenceEditedFile)
        produced = EditedFileReference(ensemble, reference);
    if (!produced) reference = kFailedReference;
    return produced;
}

void ProcessEnsemble(Ensemble& ensemble, const Matrix3& alignment) {
    ensemble.cells.clear();
    const int cellCount = ensemble.loaded ? ensemble.cellBlocks.CellCount() : 0;
    const Matrix3 rotation = VelocityRotation(ensemble, alignment);
    const Settings& settings = AppSettings();

    Velocity4 reference{};
    const bool referenced = ReferenceVelocity(ensemble, rotation, reference);
    // The bottom track is kept for the boat-speed view whatever the reference, and is refreshed
    // even when the reference failed, so that it never shows a previous processing's value.
    Velocity4 bottomTrack = reference;
    if (settings.VelReference() != kReferenceBottomTrack)
        ReferenceVelocity(ensemble, rotation, bottomTrack, kReferenceBottomTrack);
    const auto store = [](const Velocity4& v) { return CellVelocity{v[0], v[1], v[2], v[3]}; };
    ensemble.referenceVelocity = store(reference);
    ensemble.bottomTrackVelocity = store(bottomTrack);
    if (!referenced) {
        ensemble.cells.assign(static_cast<size_t>(cellCount), kBadCell);
        return;
    }

    ensemble.cells.reserve(static_cast<size_t>(cellCount));
    const std::optional<BeamGeometry> beams = RecordedAxes(ensemble);
    bool belowAmplitude = false;
    for (int cell = 0; cell < cellCount; ++cell) {
        const int16_t intensity = MeanIntensity(ensemble, cell);
        belowAmplitude = belowAmplitude || (ensemble.Has(PresentBit::EchoIntensity) &&
                                            intensity < settings.SNRFilterVal());
        ensemble.cells.push_back(
            belowAmplitude ? CellVelocity{kBadVelocity, kBadVelocity, kBadVelocity, intensity}
                           : ProcessCell(ensemble, cell, beams, rotation, reference, intensity));
    }
    if (settings.VelAveraging() == 1) AverageVertically(ensemble);
}

}  // namespace fluvex
