#include "model/EnsembleQuantities.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <span>

#include "model/Units.h"

namespace fluvex {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kDegreesPerRadian = 180 / std::numbers::pi;

// Truncates toward zero; values beyond the type's range stop at its limits and NaN gives 0, so
// corrupt input never reaches an undefined conversion.
template <typename Int>
Int TruncateSaturating(double value) {
    if (std::isnan(value)) return 0;
    constexpr double lowest = std::numeric_limits<Int>::min();
    constexpr double highest = std::numeric_limits<Int>::max();
    return static_cast<Int>(std::clamp(value, lowest, highest));
}

// ---------------------------------------------------------------------------------------------
// Time

int DaysBeforeMonth(int month, int twoDigitYear) {
    constexpr std::array<int, 12> lengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int days = 0;
    for (int m = 0; m < month; ++m)
        days += m == 1 && twoDigitYear % 4 == 0 ? 29 : lengths[static_cast<size_t>(m)];
    return days;
}

bool ClockDateIsPossible(const VariableLeader& clock) {
    return clock.RtcMonth() <= 11 && clock.RtcDay() <= 31;
}

bool UsesInstrumentClock(int timingMode) {
    return timingMode == kTimingInstrumentClock;
}

// Nothing for a ping that is not loaded or whose clock date is impossible.
std::optional<double> TimeOf(const Ensemble& ensemble, int timingMode) {
    const VariableLeader& clock = ensemble.variableLeader;
    if (!ensemble.loaded || !ClockDateIsPossible(clock)) return std::nullopt;
    if (!UsesInstrumentClock(timingMode)) return ensemble.fixedLeader.TimeTagMs() / 1000.0;
    const int days = DaysBeforeMonth(clock.RtcMonth(), clock.RtcYear()) + clock.RtcDay();
    return ((days * 24 + clock.RtcHour()) * 3600.0) + clock.RtcMinute() * 60 + clock.RtcSecond() +
           clock.RtcHundredths() / 100.0;
}

// ---------------------------------------------------------------------------------------------
// Attitude

bool UsesEditedAttitude(const Ensemble& ensemble, bool editedFileOption) {
    return editedFileOption && ensemble.navigation.positionValid;
}

double DegreesFromHundredths(int hundredths) {
    return hundredths / 100.0;
}

// A tilt sensor measures pitch in a frame that rolls with the instrument.
double TiltSensorPitch(double pitchDegrees, double rollDegrees) {
    return std::atan(std::tan(DegreesToRadians(pitchDegrees)) *
                     std::cos(DegreesToRadians(rollDegrees))) *
           kDegreesPerRadian;
}

// ---------------------------------------------------------------------------------------------
// Depth and cell geometry

// The shallowest beam's range to the bed plus the transducer's own depth, so that the bed is
// measured from the surface as the cells are. 0 when no beam found the bottom.
double Pd0BottomTrackDepthCm(const Ensemble& ensemble) {
    std::optional<double> shortest;
    for (int beam = 0; beam < kBeamCount; ++beam) {
        const double range = BottomTrackVerticalRangeCm(ensemble, beam);
        if (range != 0 && (!shortest || range < *shortest)) shortest = range;
    }
    if (!shortest) return 0;
    return *shortest + ensemble.variableLeader.TransducerDepthDm() * 10;
}

// The mean of the beams that found the bottom.
double SonTekBottomTrackDepthCm(const Ensemble& ensemble) {
    int detecting = 0;
    double sumCm = 0;
    for (int beam = 0; beam < kBeamCount; ++beam) {
        const double range = BottomTrackVerticalRangeCm(ensemble, beam);
        sumCm += range;
        if (range != 0) ++detecting;
    }
    return detecting == 0 ? 0 : sumCm / detecting;
}

double BottomTrackDepth(const Ensemble& ensemble, const QuantityOptions& options) {
    if (!ensemble.Has(PresentBit::BottomTrack)) return options.depthWithoutBottomTrack;
    return options.units.CmToDisplay(ensemble.IsSonTek() ? SonTekBottomTrackDepthCm(ensemble)
                                                         : Pd0BottomTrackDepthCm(ensemble));
}

// Top edge of cell 1 below the surface.
int FirstCellTopCm(const Ensemble& ensemble) {
    const FixedLeader& leader = ensemble.fixedLeader;
    return leader.Bin1DistanceCm() - leader.DepthCellLengthCm() / 2 +
           ensemble.variableLeader.TransducerDepthDm() * 10;
}

// From `start` (or the deepest cell when `start` is outside the list) towards the surface, the
// first cell with a valid East; 0 when there is none.
int LastValidCellFrom(std::span<const CellVelocity> cells, int start) {
    const int count = static_cast<int>(cells.size());
    if (start < 0 || start >= count) start = count - 1;
    for (int cell = start; cell >= 0; --cell) {
        if (cells[static_cast<size_t>(cell)].east != kBadVelocity) return cell;
    }
    return 0;
}

int ClippedLastCell(const Ensemble& ensemble, const QuantityOptions& options, int rule) {
    const double cellM = ensemble.fixedLeader.DepthCellLengthCm() / 100.0;
    const double rangeM =
        options.units.DisplayToMetres(Depth(ensemble, options)) - FirstCellTopCm(ensemble) / 100.0;
    const double clip = options.clipValue;
    switch (rule) {
        case kLastValidCell:
            return LastValidCellFrom(ensemble.cells, TruncateSaturating<int>(rangeM / cellM));
        case kCellsClearOfBottom:
            return TruncateSaturating<int>(rangeM / cellM - clip);
        default:
            return TruncateSaturating<int>(rangeM * (1 + clip / -100) / cellM);
    }
}

// ---------------------------------------------------------------------------------------------
// Velocities

// Degrees clockwise from north; exact on the axes and 0 for no motion.
double DirectionDegrees(int east, int north) {
    if (east == 0) return north < 0 ? 180.0 : 0.0;
    if (north == 0) return east > 0 ? 90.0 : 270.0;
    double angle = std::fmod(std::atan2(east, north), kTwoPi);
    if (angle < 0) angle += kTwoPi;
    return angle * kDegreesPerRadian;
}

double HorizontalSpeed(const CellVelocity& velocity) {
    const double east = velocity.east;
    const double north = velocity.north;
    return std::sqrt(east * east + north * north);
}

double Speed3D(const CellVelocity& velocity) {
    const double east = velocity.east;
    const double north = velocity.north;
    const double up = velocity.up;
    return std::sqrt(east * east + north * north + up * up);
}

VelocityInfo DescribeVelocity(const CellVelocity& velocity) {
    return {velocity.east,
            velocity.north,
            velocity.up,
            velocity.echoIntensity,
            HorizontalSpeed(velocity),
            Speed3D(velocity),
            DirectionDegrees(velocity.east, velocity.north)};
}

// Bad throughout, so that a caller who shows it regardless shows no plausible-looking value.
VelocityInfo BadVelocityInfo() {
    return {kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity,
            kBadValue,    kBadValue,    kBadValue};
}

// The processed cell, or nothing for a cell the ping or its cells list does not have.
const CellVelocity* ProcessedCell(const Ensemble& ensemble, int cell) {
    if (cell < 0 || cell >= CellCount(ensemble) || cell >= static_cast<int>(ensemble.cells.size()))
        return nullptr;
    return &ensemble.cells[static_cast<size_t>(cell)];
}

bool IsReferenceComponent(int component) {
    return component >= kReferenceEast && component <= kReferenceDirection;
}

std::int16_t ReferenceComponentValue(const Ensemble& ensemble, int component) {
    VelocityInfo info;
    if (!ReferenceVelocityInfo(ensemble, info)) return kBadVelocity;
    switch (component) {
        case kReferenceEast:
            return info.east;
        case kReferenceNorth:
            return info.north;
        case kReferenceMagnitude2D:
            return TruncateSaturating<std::int16_t>(info.magnitude2D);
        default:
            return TruncateSaturating<std::int16_t>(info.direction);
    }
}

std::int16_t CellComponentValue(const CellVelocity& velocity, int component) {
    switch (component) {
        case kEastVelocity:
            return velocity.east;
        case kNorthVelocity:
            return velocity.north;
        case kVerticalVelocity:
            return velocity.up;
        case kErrorVelocity:
            return velocity.echoIntensity;
        // One cell of a section is drawn per call: no direction where none is asked for.
        case kMagnitude2D:
            return TruncateSaturating<std::int16_t>(HorizontalSpeed(velocity));
        case kMagnitude3D:
            return TruncateSaturating<std::int16_t>(Speed3D(velocity));
        case kDirection:
            return TruncateSaturating<std::int16_t>(
                DirectionDegrees(velocity.east, velocity.north));
        default:
            return kBadVelocity;
    }
}

// ---------------------------------------------------------------------------------------------
// Chart quantities

double PositionedValue(const Ensemble& ensemble, double value) {
    return ensemble.navigation.positionValid ? value : 0;
}

// 0 without a bottom-track block or with a bad bottom-track velocity.
double BottomTrackSpeed(const Ensemble& ensemble, const UnitSystem& units) {
    const CellVelocity& bottom = ensemble.bottomTrackVelocity;
    if (!ensemble.Has(PresentBit::BottomTrack) || bottom.east == kBadVelocity ||
        bottom.north == kBadVelocity)
        return 0;
    return units.MmsToDisplay(HorizontalSpeed(bottom));
}

// The bottom-track velocity is the bottom's motion seen from the boat: the boat goes the other
// way. 0 without a bottom-track block or with a bad bottom-track velocity.
double BoatDirectionOverBottom(const Ensemble& ensemble) {
    const CellVelocity& bottom = ensemble.bottomTrackVelocity;
    if (!ensemble.Has(PresentBit::BottomTrack) || bottom.east == kBadVelocity ||
        bottom.north == kBadVelocity)
        return 0;
    return NormalisedDegrees(DirectionDegrees(bottom.east, bottom.north) + 180);
}

double MeanSpeed(const Ensemble& ensemble) {
    CellVelocity mean;
    return MeanVelocity(ensemble, mean) ? HorizontalSpeed(mean) : 0;
}

double MeanDirection(const Ensemble& ensemble) {
    CellVelocity mean;
    return MeanVelocity(ensemble, mean) ? DirectionDegrees(mean.east, mean.north) : 0;
}

// ---------------------------------------------------------------------------------------------
// Beam cell position

// A beam's tilt split into a fore-aft part (alpha) and an athwartships part (beta), radians.
struct BeamTilt {
    double alpha;
    double beta;
};

double ClampedAcos(double cosine) {
    return std::acos(std::clamp(cosine, -1.0, 1.0));
}

BeamTilt TiltOfBeam(double elevation, double azimuth) {
    if (azimuth < 0) {
        azimuth = std::fmod(azimuth, kTwoPi);
        if (azimuth < 0) azimuth += kTwoPi;
    }
    const double cosE = std::cos(elevation);
    const double sinE = std::sin(elevation);
    const double cosA = std::cos(azimuth);
    const double s = std::sqrt(cosE * cosE + sinE * sinE * cosA * cosA);
    // s is 0 only for a beam lying along the athwartships axis: no fore-aft part.
    double alpha = s > 0 ? ClampedAcos(cosE / s) : 0;
    if (azimuth > std::numbers::pi / 2 && azimuth < 3 * std::numbers::pi / 2) alpha = -alpha;
    double beta = ClampedAcos(s);
    if (azimuth < std::numbers::pi) beta = -beta;
    return {alpha, beta};
}

// A PD0 ping does not carry its beam geometry; its fixed leader gives it. Every beam leans by the
// beam angle from the vertical; a convex head sends beam 1 to port, 2 to starboard, 3 forward and
// 4 aft, a concave head each the other way. Azimuths clockwise from the bow.
struct BeamGeometry {
    double elevation;
    double azimuth;
};

BeamGeometry GeometryOfBeam(const Ensemble& ensemble, int beam) {
    const auto index = static_cast<size_t>(beam);
    if (ensemble.IsSonTek()) {
        const BeamAngles& angles = ensemble.beamAngles.Get();
        return {angles.elevation[index], angles.azimuth[index]};
    }
    constexpr std::array<double, kBeamCount> kConvexAzimuths{270, 90, 0, 180};
    const double turn = ensemble.fixedLeader.ConvexBeamPattern() ? 0 : 180;
    return {DegreesToRadians(ensemble.fixedLeader.BeamAngleDegrees()),
            DegreesToRadians(std::fmod(kConvexAzimuths[index] + turn, 360.0))};
}

struct CellOffset {
    double dx = 0;
    double dy = 0;
};

// Horizontal offset, east and north, of the point where the tilted beam reaches `belowTransducer`
// under the transducer, for heading, pitch and roll in radians. Nothing when the attitude leaves
// the beam no downward direction.
std::optional<CellOffset> OffsetAlongBeam(BeamTilt tilt, double belowTransducer, double heading,
                                          double pitch, double roll) {
    const double q = std::sin(-roll) / std::cos(pitch);
    if (!(q >= -1 && q <= 1)) return std::nullopt;
    const double p = pitch + tilt.alpha;
    const double w = tilt.beta - std::asin(q);
    const double t = std::acos(std::cos(p) * std::cos(w));
    if (!(std::cos(t) > 0)) return std::nullopt;
    const double g = std::atan2(-std::sin(w), std::sin(p) * std::cos(w));
    // Cell depths are vertical: the beam reaches them after a horizontal run of tan t per unit.
    const double run = belowTransducer * std::tan(t);
    const double forward = run * std::cos(g);
    const double starboard = run * std::sin(g);
    // Compass headings turn clockwise: at 90 degrees the bow points east, starboard south.
    return CellOffset{forward * std::sin(heading) + starboard * std::cos(heading),
                      forward * std::cos(heading) - starboard * std::sin(heading)};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Time

double EnsembleTime(Ensemble& ensemble, int timingMode) {
    if (ensemble.loaded && !ClockDateIsPossible(ensemble.variableLeader)) ensemble.loaded = false;
    return TimeOf(ensemble, timingMode).value_or(0);
}

double EnsembleTimeOf(const Ensemble& ensemble, int timingMode) {
    return TimeOf(ensemble, timingMode).value_or(0);
}

std::optional<EnsembleDate> EnsembleDate::Of(const Ensemble& ensemble, int timingMode) {
    const VariableLeader& clock = ensemble.variableLeader;
    if (!ensemble.loaded || !ClockDateIsPossible(clock)) return std::nullopt;
    EnsembleDate date;
    date.year = 2000 + clock.RtcYear();
    date.month = clock.RtcMonth();
    date.day = clock.RtcDay();
    if (UsesInstrumentClock(timingMode)) {
        date.hour = clock.RtcHour();
        date.minute = clock.RtcMinute();
        date.seconds = clock.RtcSecond() + clock.RtcHundredths() / 100.0;
    } else {
        date.timeTagMs = ensemble.fixedLeader.TimeTagMs();
    }
    return date;
}

// ---------------------------------------------------------------------------------------------
// Position and attitude

bool GetPosition(const Ensemble& ensemble, double& x, double& y) {
    if (!ensemble.navigation.positionValid) return false;
    x = ensemble.navigation.x;
    y = ensemble.navigation.y;
    return true;
}

double Heading(const Ensemble& ensemble, const AttitudeOptions& attitude) {
    if (UsesEditedAttitude(ensemble, attitude.editedHeading)) return ensemble.navigation.heading;
    if (!ensemble.loaded) return 0;
    // The declination corrects the compass only: an edited-file heading is already true.
    return DegreesFromHundredths(ensemble.variableLeader.Heading()) + attitude.magneticDeclination;
}

double Pitch(const Ensemble& ensemble, const AttitudeOptions& attitude) {
    if (UsesEditedAttitude(ensemble, attitude.editedPitchRoll)) return ensemble.navigation.pitch;
    if (!ensemble.loaded) return 0;
    const double pitch = DegreesFromHundredths(ensemble.variableLeader.Pitch());
    if (ensemble.IsSonTek() || !ensemble.fixedLeader.PitchFromTiltSensor()) return pitch;
    return TiltSensorPitch(pitch, DegreesFromHundredths(ensemble.variableLeader.Roll()));
}

double Roll(const Ensemble& ensemble, const AttitudeOptions& attitude) {
    if (UsesEditedAttitude(ensemble, attitude.editedPitchRoll)) return ensemble.navigation.roll;
    if (!ensemble.loaded) return 0;
    return DegreesFromHundredths(ensemble.variableLeader.Roll());
}

// ---------------------------------------------------------------------------------------------
// Sensors and counts

double Temperature(const Ensemble& ensemble) {
    return ensemble.loaded ? DegreesFromHundredths(ensemble.variableLeader.Temperature()) : 0;
}

int Salinity(const Ensemble& ensemble) {
    return ensemble.loaded ? ensemble.variableLeader.Salinity() : 0;
}

int CellCount(const Ensemble& ensemble) {
    return ensemble.loaded ? ensemble.fixedLeader.CellCount() : 0;
}

bool HasBottomTrack(const Ensemble& ensemble) {
    return ensemble.loaded && ensemble.Has(PresentBit::BottomTrack);
}

// PD0 ranges are vertical, like the bin 1 distance and the cell length: on real files each beam's
// echo peaks in the cell at its range, not at range x cos(beam angle). The other family's readers
// store slant ranges, which the factor its 25-degree beams have always used makes vertical.
double BottomTrackVerticalRangeCm(const Ensemble& ensemble, int beam) {
    constexpr double kSonTekVerticalFactor = 0.9063087645496659;
    const double range = ensemble.bottomTrack.RangeCm(beam);
    return ensemble.IsSonTek() ? range * kSonTekVerticalFactor : range;
}

// ---------------------------------------------------------------------------------------------
// Depth and cell geometry

double Depth(const Ensemble& ensemble, const QuantityOptions& options,
             std::optional<int> reference) {
    if (!ensemble.loaded) return 0;
    switch (reference.value_or(options.depthReference)) {
        case kEchoSounderHighDepth:
            return ensemble.navigation.depth1;
        case kEchoSounderLowDepth:
            return ensemble.navigation.depth2;
        case kBottomTrackDepth:
            return BottomTrackDepth(ensemble, options);
        case kVerticalBeamDepth:
            return options.units.CmToDisplay(ensemble.verticalBeam.RangeMm() / 10.0);
        default:
            return 0;
    }
}

std::optional<double> MeasuredDepth(const Ensemble& ensemble, const QuantityOptions& options,
                                    std::optional<int> reference) {
    const int chosen = reference.value_or(options.depthReference);
    if (chosen == kBottomTrackDepth && !HasBottomTrack(ensemble)) return std::nullopt;
    const double depth = Depth(ensemble, options, chosen);
    if (!(depth > 0)) return std::nullopt;
    return depth;
}

double CellDepth(const Ensemble& ensemble, int cell, const UnitSystem& units) {
    if (cell < 0 || cell >= CellCount(ensemble)) return 0;
    const int topCm = FirstCellTopCm(ensemble) + cell * ensemble.fixedLeader.DepthCellLengthCm();
    return units.CmToDisplay(topCm);
}

double CellSize(const Ensemble& ensemble, const UnitSystem& units) {
    return ensemble.loaded ? units.CmToDisplay(ensemble.fixedLeader.DepthCellLengthCm()) : 0;
}

int LastCell(const Ensemble& ensemble, const QuantityOptions& options, std::optional<int> rule) {
    if (!ensemble.loaded) return 0;
    const int chosen = rule.value_or(options.lastCellRule);
    const bool clipsAtBottom = chosen >= kLastValidCell && chosen <= kPercentOfRange;
    // Without a cell length there is no depth scale to clip against.
    if (!clipsAtBottom || ensemble.fixedLeader.DepthCellLengthCm() == 0) return CellCount(ensemble);
    return std::clamp(ClippedLastCell(ensemble, options, chosen), 0, kMaxCells);
}

// ---------------------------------------------------------------------------------------------
// Velocities

bool MeanVelocity(const Ensemble& ensemble, CellVelocity& mean) {
    if (!ensemble.loaded || ensemble.cells.empty()) return false;
    std::int64_t east = 0;
    std::int64_t north = 0;
    std::int64_t up = 0;
    for (const CellVelocity& cell : ensemble.cells) {
        if (cell.IsBad()) continue;
        east += cell.east;
        north += cell.north;
        up += cell.up;
    }
    // Bad cells count as still water; valid values are above -32768, so the means fit.
    const auto count = static_cast<std::int64_t>(ensemble.cells.size());
    mean = {static_cast<std::int16_t>(east / count), static_cast<std::int16_t>(north / count),
            static_cast<std::int16_t>(up / count), 0};
    return true;
}

bool ReferenceVelocityInfo(const Ensemble& ensemble, VelocityInfo& info) {
    if (!HasBottomTrack(ensemble)) return false;
    if (ensemble.referenceVelocity.IsBad()) {
        info = BadVelocityInfo();
        return false;
    }
    info = DescribeVelocity(ensemble.referenceVelocity);
    return true;
}

bool CellVelocityInfo(const Ensemble& ensemble, int cell, VelocityInfo& info) {
    const CellVelocity* velocity = ProcessedCell(ensemble, cell);
    if (velocity == nullptr) return false;
    if (velocity->IsBad()) {
        info = BadVelocityInfo();
        return false;
    }
    info = DescribeVelocity(*velocity);
    return true;
}

std::int16_t VelocityComponent(const Ensemble& ensemble, int cell, int component) {
    if (cell < 0 || cell >= CellCount(ensemble)) return kBadVelocity;
    if (IsReferenceComponent(component)) return ReferenceComponentValue(ensemble, component);
    const CellVelocity* velocity = ProcessedCell(ensemble, cell);
    if (velocity == nullptr || velocity->IsBad()) return kBadVelocity;
    return CellComponentValue(*velocity, component);
}

// ---------------------------------------------------------------------------------------------
// Chart quantities

double ChartQuantity(const Ensemble& ensemble, int kind, const QuantityOptions& options) {
    if (!ensemble.loaded) return 0;
    const NavRecord& navigation = ensemble.navigation;
    switch (kind) {
        case kChartX:
            return PositionedValue(ensemble, navigation.x);
        case kChartY:
            return PositionedValue(ensemble, navigation.y);
        case kChartTime:
            return TimeOf(ensemble, options.timingMode).value_or(0);
        case kChartDistance:
            return navigation.distance;
        case kChartDepth:
            return Depth(ensemble, options);
        case kChartLastCell:
            return LastCell(ensemble, options);
        case kChartBoatSpeed:
            return PositionedValue(ensemble, navigation.speed);
        case kChartBottomTrackSpeed:
            return BottomTrackSpeed(ensemble, options.units);
        case kChartPitch:
            return Pitch(ensemble, options.attitude);
        case kChartRoll:
            return Roll(ensemble, options.attitude);
        case kChartHeading:
            return Heading(ensemble, options.attitude);
        case kChartCourse:
            return PositionedValue(ensemble, NormalisedDegrees(navigation.course));
        case kChartBottomTrackDirection:
            return BoatDirectionOverBottom(ensemble);
        case kChartTemperature:
            return options.units.CelsiusToDisplay(Temperature(ensemble));
        case kChartSalinity:
            return Salinity(ensemble);
        case kChartMeanSpeed:
            return MeanSpeed(ensemble);
        case kChartMeanDirection:
            return MeanDirection(ensemble);
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Beam cell position

bool BeamCellPosition(const Ensemble& ensemble, int beam, int cell, const QuantityOptions& options,
                      double& x, double& y, double& z) {
    if (!ensemble.loaded || !ensemble.navigation.positionValid || beam < 0 || beam >= kBeamCount ||
        cell < 0 || cell >= CellCount(ensemble))
        return false;
    const BeamGeometry geometry = GeometryOfBeam(ensemble, beam);
    if (!std::isfinite(geometry.elevation) || !std::isfinite(geometry.azimuth)) return false;
    const double depth = CellDepth(ensemble, cell, options.units);
    const double transducerDepth =
        options.units.CmToDisplay(ensemble.variableLeader.TransducerDepthDm() * 10.0);
    const std::optional<CellOffset> offset =
        OffsetAlongBeam(TiltOfBeam(geometry.elevation, geometry.azimuth), depth - transducerDepth,
                        DegreesToRadians(Heading(ensemble, options.attitude)),
                        DegreesToRadians(Pitch(ensemble, options.attitude)),
                        DegreesToRadians(Roll(ensemble, options.attitude)));
    if (!offset) return false;
    x = ensemble.navigation.x + offset->dx;
    y = ensemble.navigation.y + offset->dy;
    z = depth;
    return true;
}

}  // namespace fluvex
