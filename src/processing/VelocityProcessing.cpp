#include "processing/VelocityProcessing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <span>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// What turns the recorded velocities of a ping's cells into stored earth velocities: the same
// for every cell, so that the loop over the cells reads nothing else.
struct CellTransform {
    std::optional<BeamGeometry> beams;
    Matrix3 rotation{};
    Vector3 reference{};
};

std::array<int16_t, 4> RecordedBeams(const uint8_t* cell) {
    std::array<int16_t, 4> beams{};
    for (size_t beam = 0; beam < beams.size(); ++beam)
        beams[beam] = static_cast<int16_t>(cell[2 * beam] | cell[2 * beam + 1] << 8);
    return beams;
}

CellVelocity TransformCell(const CellTransform& transform, const std::array<int16_t, 4>& recorded,
                           int16_t intensity) {
    Vector3 v{};
    if (!RecordedVelocity(transform.beams, recorded, v))
        return {kBadVelocity, kBadVelocity, kBadVelocity, intensity};
    const Vector3 earth = Rotate(transform.rotation, v);
    const Vector3& reference = transform.reference;
    return {Rounded(earth[0] - reference[0]), Rounded(earth[1] - reference[1]),
            Rounded(earth[2] - reference[2]), intensity};
}

#if defined(__SSE2__)
// Two cells at a time, each of the three components of both in one instruction. The operations
// and their order are those of TransformCell, so the stored values are the same to the bit.

// The low 32 bits of each 64-bit lane, in the two low 32-bit lanes.
inline __m128i Narrowed(__m128d mask) {
    return _mm_shuffle_epi32(_mm_castpd_si128(mask), _MM_SHUFFLE(2, 0, 2, 0));
}

// Rounded() of both lanes, as 32-bit integers in the two low lanes.
inline __m128i RoundedPair(__m128d value) {
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), value);
    const __m128i finite =
        Narrowed(_mm_cmple_pd(magnitude, _mm_set1_pd(std::numeric_limits<double>::max())));
    const __m128d clamped =
        _mm_min_pd(_mm_max_pd(value, _mm_set1_pd(-32767.0)), _mm_set1_pd(32767.0));
    __m128i whole = _mm_cvttpd_epi32(clamped);
    const __m128d fraction = _mm_sub_pd(clamped, _mm_cvtepi32_pd(whole));
    // A true comparison is -1: subtracting it rounds up, adding it rounds down.
    whole = _mm_sub_epi32(whole, Narrowed(_mm_cmpge_pd(fraction, _mm_set1_pd(0.5))));
    whole = _mm_add_epi32(whole, Narrowed(_mm_cmple_pd(fraction, _mm_set1_pd(-0.5))));
    return _mm_or_si128(_mm_and_si128(finite, whole),
                        _mm_andnot_si128(finite, _mm_set1_epi32(kBadVelocity)));
}

// Row `axis` of the rotation times (x, y, z), less the reference, rounded.
inline __m128i EarthComponent(const CellTransform& transform, size_t axis, __m128d x, __m128d y,
                              __m128d z) {
    const auto& row = transform.rotation[axis];
    const __m128d turned = _mm_add_pd(
        _mm_add_pd(_mm_mul_pd(_mm_set1_pd(row[0]), x), _mm_mul_pd(_mm_set1_pd(row[1]), y)),
        _mm_mul_pd(_mm_set1_pd(row[2]), z));
    return RoundedPair(_mm_sub_pd(turned, _mm_set1_pd(transform.reference[axis])));
}

// Cells 2k and 2k + 1 (16 recorded bytes) into the 16 bytes of their two CellVelocity, whose
// echo intensities stay.
inline __m128i TransformedPair(const CellTransform& transform, __m128i recorded, __m128i stored) {
    // East, north and up of both cells; the echo intensities.
    const __m128i velocityLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i bad = _mm_set1_epi16(kBadVelocity);
    // Sign-extended beams, then beam b of both cells in the two low lanes of `beam<b>`.
    const __m128i first = _mm_srai_epi32(_mm_unpacklo_epi16(recorded, recorded), 16);
    const __m128i second = _mm_srai_epi32(_mm_unpackhi_epi16(recorded, recorded), 16);
    const __m128i low = _mm_unpacklo_epi32(first, second);
    const __m128i high = _mm_unpackhi_epi32(first, second);
    const __m128i beam0 = low;
    const __m128i beam1 = _mm_srli_si128(low, 8);
    const __m128i beam2 = high;
    const __m128i beam3 = _mm_srli_si128(high, 8);
    __m128d x, y, z;
    __m128i used = velocityLanes;  // the recorded values that must be valid
    if (transform.beams) {
        const __m128d across = _mm_set1_pd(transform.beams->across);
        x = _mm_mul_pd(across, _mm_cvtepi32_pd(_mm_sub_epi32(beam0, beam1)));
        y = _mm_mul_pd(across, _mm_cvtepi32_pd(_mm_sub_epi32(beam3, beam2)));
        const __m128i sum =
            _mm_add_epi32(_mm_add_epi32(beam0, beam1), _mm_add_epi32(beam2, beam3));
        z = _mm_mul_pd(_mm_set1_pd(transform.beams->vertical), _mm_cvtepi32_pd(sum));
        used = _mm_set1_epi16(-1);
    } else {
        x = _mm_cvtepi32_pd(beam0);
        y = _mm_cvtepi32_pd(beam1);
        z = _mm_cvtepi32_pd(beam2);
    }
    const __m128i east = EarthComponent(transform, 0, x, y, z);
    const __m128i north = EarthComponent(transform, 1, x, y, z);
    const __m128i up = EarthComponent(transform, 2, x, y, z);
    const __m128i eastNorth = _mm_unpacklo_epi32(east, north);
    const __m128i upZero = _mm_unpacklo_epi32(up, _mm_setzero_si128());
    __m128i turned = _mm_packs_epi32(_mm_unpacklo_epi64(eastNorth, upZero),
                                     _mm_unpackhi_epi64(eastNorth, upZero));
    // A cell with a bad value among those used is bad in all three components.
    __m128i badCell = _mm_and_si128(_mm_cmpeq_epi16(recorded, bad), used);
    badCell = _mm_or_si128(badCell, _mm_srli_epi64(badCell, 16));
    badCell = _mm_or_si128(badCell, _mm_srli_epi64(badCell, 32));
    badCell = _mm_shufflehi_epi16(_mm_shufflelo_epi16(badCell, 0), 0);
    turned = _mm_or_si128(_mm_and_si128(badCell, bad), _mm_andnot_si128(badCell, turned));
    return _mm_or_si128(_mm_and_si128(velocityLanes, turned),
                        _mm_andnot_si128(velocityLanes, stored));
}
#endif

// TransformCell over the cells, from the recorded velocity block (8 bytes per cell); the echo
// intensities already in `cells` stay.
void TransformCells(const CellTransform& transform, std::span<const uint8_t> recorded,
                    std::span<CellVelocity> cells) {
    static_assert(sizeof(CellVelocity) == 8 && std::is_trivially_copyable_v<CellVelocity>);
    size_t cell = 0;
#if defined(__SSE2__)
    auto* out = reinterpret_cast<unsigned char*>(cells.data());
    for (; cell + 2 <= cells.size(); cell += 2) {
        const auto* pair = reinterpret_cast<const __m128i*>(recorded.data() + 8 * cell);
        auto* storedPair = reinterpret_cast<__m128i*>(out + 8 * cell);
        _mm_storeu_si128(storedPair, TransformedPair(transform, _mm_loadu_si128(pair),
                                                     _mm_loadu_si128(storedPair)));
    }
#endif
    for (; cell < cells.size(); ++cell)
        cells[cell] = TransformCell(transform, RecordedBeams(recorded.data() + 8 * cell),
                                    cells[cell].echoIntensity);
}

// The mean echo intensities of the cells (0 without an intensity block), and how many cells
// lie above the first one below the amplitude threshold: that cell and every deeper one are bad.
size_t SetIntensities(const Ensemble& ensemble, double threshold, std::span<CellVelocity> cells) {
    if (!ensemble.Has(PresentBit::EchoIntensity)) {
        for (CellVelocity& cell : cells)
            cell.echoIntensity = 0;
        return cells.size();
    }
    const std::span<const uint8_t> counts =
        ensemble.cellBlocks.BlockBytes(CellBlock::EchoIntensity);
    size_t usable = cells.size();
    for (size_t cell = 0; cell < cells.size(); ++cell) {
        const uint8_t* beams = counts.data() + 4 * cell;
        const auto intensity = static_cast<int16_t>((beams[0] + beams[1] + beams[2] + beams[3]) / 4);
        cells[cell].echoIntensity = intensity;
        if (usable == cells.size() && intensity < threshold) usable = cell;
    }
    return usable;
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

    // Intensities first: where the amplitude filter cuts the profile decides which cells turn.
    ensemble.cells.resize(static_cast<size_t>(cellCount));
    const std::span<CellVelocity> cells(ensemble.cells);
    const size_t usable = SetIntensities(ensemble, options.amplitudeThreshold, cells);
    for (CellVelocity& cell : cells.subspan(usable))
        cell.east = cell.north = cell.up = kBadVelocity;
    TransformCells({RecordedAxes(ensemble), rotation, *reference},
                   ensemble.cellBlocks.BlockBytes(CellBlock::Velocity), cells.first(usable));
    if (options.averaging) AverageVertically(ensemble, *options.averaging, options.quantities);
}

}  // namespace fluvex
