#include "synth/SyntheticSurvey.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <utility>

#include "synth/SurveyTime.h"
#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

constexpr double kTriangularEdge = 0.31;
constexpr double kRectangularEdge = 0.91;
// A beam flatter than this (its slant range per metre of depth above 20) is not looking down.
constexpr double kLeastDescentPerMetre = 0.05;
constexpr std::uint32_t kLargestEnsembleNumber = 0xFFFFFF;

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

Vec3 Horizontal(double directionDeg) {
    return {std::sin(Radians(directionDeg)), std::cos(Radians(directionDeg)), 0.0};
}

double CrossUp(Vec3 a, Vec3 b) {
    return a.x * b.y - a.y * b.x;
}

// In [0, 360): a hair below 0 would otherwise come back as 360 itself.
double Wrapped360(double degrees) {
    const double wrapped = degrees - 360.0 * std::floor(degrees / 360.0);
    return wrapped < 360.0 ? wrapped : 0.0;
}

// Normal deviates from a seeded 64-bit Mersenne twister by the Box-Muller method, written out
// so that a seed gives the same survey whatever the standard library.
class GaussianNoise {
public:
    // Each line draws from its own stream, so that lines can be made one at a time.
    GaussianNoise(const NoiseSetup& setup, int lineIndex)
        : enabled_(setup.enabled),
          engine_(setup.seed ^ (static_cast<std::uint64_t>(lineIndex) * 0x9E3779B97F4A7C15U)) {}

    double Next(double standardDeviation) {
        if (!enabled_) return 0.0;
        if (spare_) return standardDeviation * *std::exchange(spare_, std::nullopt);
        const double radius = std::sqrt(-2.0 * std::log(Uniform()));
        const double angle = 2.0 * std::numbers::pi * Uniform();
        spare_ = radius * std::sin(angle);
        return standardDeviation * radius * std::cos(angle);
    }

private:
    // Uniform in (0, 1) from the top 53 bits.
    double Uniform() { return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53; }

    bool enabled_;
    std::mt19937_64 engine_;
    std::optional<double> spare_;
};

std::int16_t StoredVelocity(double mmS) {
    return static_cast<std::int16_t>(std::clamp(std::lround(mmS), -32767L, 32767L));
}

std::uint8_t StoredCount(double counts) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(counts), 0L, 255L));
}

// How one line runs: where it starts, which way, and where its counters begin.
struct LinePlan {
    int index = 0;
    LineMotion motion;
    double courseDeg = 0.0;
    std::int64_t firstClock = 0;
    std::uint32_t firstNumber = 1;
    std::uint64_t firstTimeTagMs = 0;
};

class Synthesizer {
public:
    Synthesizer(const SurveyDescription& d, int lineIndex)
        : d_(d),
          plan_(Plan(lineIndex)),
          head_(d.instrument.beamAngleDeg, d.instrument.convex),
          axis_(Horizontal(d.sectionAzimuthDeg)),
          plane_(d.navigation.origin),
          noise_(d.noise, lineIndex) {}

    SyntheticLine Line();

private:
    LinePlan Plan(int index) const;
    double IntervalS() const { return d_.track.intervalHundredths / 100.0; }

    Mat3 Misalignment() const { return InstrumentToEarth(d_.instrument.mountingYawDeg, 0.0, 0.0); }
    Mat3 HeadToEarth(const EnsembleTruth& t) const;
    EnsembleTruth Truth(int k) const;
    void SetAttitude(EnsembleTruth& t) const;
    void FindBed(EnsembleTruth& t, const Mat3& toEarth) const;
    void FillWater(EnsembleTruth& t) const;
    LayerDischarge UnitDischarge(const EnsembleTruth& t) const;
    LineTruth Summarise(const std::vector<EnsembleTruth>& truth) const;
    EdgeTruth Edge(double distance, double bankDepth, const EnsembleTruth& end) const;

    Pd0Ensemble Ensemble(const EnsembleTruth& t, int k);
    BeamValues InFrame(Vec3 relativeEarth, const Mat3& toEarth) const;
    void FillProfile(Pd0Ensemble& e, const EnsembleTruth& t, const Mat3& toEarth);
    BottomTrackFields BottomTrack(const EnsembleTruth& t, const Mat3& toEarth, int k);
    NavigationState Navigation(const EnsembleTruth& t, int k) const;

    const SurveyDescription& d_;
    LinePlan plan_;
    JanusHead head_;
    Vec3 axis_;  // unit vector from the left bank towards the right bank
    LocalTangentPlane plane_;
    GaussianNoise noise_;
};

LinePlan Synthesizer::Plan(int index) const {
    const TrackSetup& track = d_.track;
    const bool back = index % 2 == 1;
    const Vec3 outward = d_.track.speed * Horizontal(track.courseDeg);
    const double lineS = (track.ensembles - 1) * IntervalS();
    const std::int64_t lineClock =
        std::int64_t{track.ensembles - 1} * track.intervalHundredths + d_.lineGapHundredths;
    LinePlan plan;
    plan.index = index;
    // The boat turns round for the way back.
    // Shifted lines cover a reach instead of one section (along the banks: stations unchanged).
    const Vec3 shift = index * track.lineShift * Horizontal(d_.sectionAzimuthDeg - 90.0);
    plan.motion = {(back ? lineS * outward : Vec3{}) + shift, back ? -1.0 * outward : outward,
                   back ? 180.0 : 0.0};
    plan.courseDeg = track.courseDeg + (back ? 180.0 : 0.0);
    plan.firstClock = d_.startHundredths + index * lineClock;
    const std::uint64_t lastNumber =
        static_cast<std::uint64_t>(index + 1) * static_cast<std::uint64_t>(track.ensembles);
    if (lastNumber > kLargestEnsembleNumber)
        throw SynthError("the survey has more ensembles than a 24-bit ensemble number counts");
    if (ToCivil(plan.firstClock + lineClock).year > 2099)
        throw SynthError("the survey runs past the year 2099, which the clock cannot hold");
    plan.firstNumber = static_cast<std::uint32_t>(index * track.ensembles + 1);
    // The suite matches pings to its navigation by the time tag as a time of day.
    plan.firstTimeTagMs =
        d_.suite.Enabled()
            ? static_cast<std::uint64_t>(HundredthsOfDay(plan.firstClock)) * 10
            : d_.timeTagStartMs +
                  static_cast<std::uint64_t>(plan.firstClock - d_.startHundredths) * 10;
    return plan;
}

void Synthesizer::SetAttitude(EnsembleTruth& t) const {
    const TrackSetup& track = d_.track;
    // Stored to a hundredth of a degree; the geometry uses the stored values, as a reader will.
    const double heading =
        Wrapped360(track.heading.At(t.lineTimeS) + plan_.motion.headingOffsetDeg);
    t.headingDeg = static_cast<double>(std::lround(heading * 100.0) % 36000) / 100.0;
    t.pitchDeg = static_cast<double>(std::lround(track.pitch.At(t.lineTimeS) * 100.0)) / 100.0;
    t.rollDeg = static_cast<double>(std::lround(track.roll.At(t.lineTimeS) * 100.0)) / 100.0;
}

// Where the head really points: its recorded attitude turned by the mounting misalignment.
Mat3 Synthesizer::HeadToEarth(const EnsembleTruth& t) const {
    return Misalignment() * InstrumentToEarth(t.headingDeg, t.pitchDeg, t.rollDeg);
}

void Synthesizer::FindBed(EnsembleTruth& t, const Mat3& toEarth) const {
    const InstrumentSetup& i = d_.instrument;
    const double cosBeam = std::cos(Radians(i.beamAngleDeg));
    for (std::size_t beam = 0; beam < kBeams; ++beam) {
        const Vec3 direction = toEarth * head_.BeamDirection(beam);
        if (-direction.z < kLeastDescentPerMetre)
            throw SynthError("pitch and roll tilt beam " + std::to_string(beam + 1) +
                             " out of the water column");
        t.bedRangeM[beam] = d_.section.RangeToBed(t.station, i.TransducerDepthM(),
                                                  Dot(direction, axis_), -direction.z);
        t.bedBelowTransducerM[beam] = t.bedRangeM[beam] * -direction.z;
        // A cell is above the bed in a beam when its far edge is nearer than the bed echo.
        int cells = 0;
        while (cells < i.cells &&
               (i.bin1Cm + cells * i.cellCm + i.cellCm / 2.0) / 100.0 / cosBeam <=
                   t.bedRangeM[beam])
            ++cells;
        t.cellsAboveBed[beam] = cells;
    }
    t.goodCells = *std::min_element(t.cellsAboveBed.begin(), t.cellsAboveBed.end());
}

void Synthesizer::FillWater(EnsembleTruth& t) const {
    const InstrumentSetup& i = d_.instrument;
    t.water.resize(static_cast<std::size_t>(i.cells));
    for (std::size_t cell = 0; cell < t.water.size(); ++cell) {
        const double top = i.FirstCellTopM() + static_cast<double>(cell) * i.CellSizeM();
        if (top < t.depthM)
            t.water[cell] = d_.water.MeanVelocity(top, top + i.CellSizeM(), t.depthM);
    }
}

LayerDischarge Synthesizer::UnitDischarge(const EnsembleTruth& t) const {
    const InstrumentSetup& i = d_.instrument;
    const double firstTop = std::min(i.FirstCellTopM(), t.depthM);
    const double lastBottom = std::min(i.FirstCellTopM() + t.goodCells * i.CellSizeM(), t.depthM);
    const double crossing = std::abs(CrossUp(d_.water.Direction(), t.boatVelocity));
    const auto layer = [&](double top, double bottom) {
        return crossing * d_.water.SpeedIntegral(top, bottom, t.depthM);
    };
    return {layer(0.0, firstTop), layer(firstTop, lastBottom), layer(lastBottom, t.depthM)};
}

EnsembleTruth Synthesizer::Truth(int k) const {
    EnsembleTruth t;
    t.lineTimeS = k * IntervalS();
    t.clockHundredths = plan_.firstClock + std::int64_t{k} * d_.track.intervalHundredths;
    const BoatState boat = BoatAt(d_, plan_.motion, t.lineTimeS);
    t.position = boat.position;
    t.geographic = plane_.ToGeographic(t.position.x, t.position.y);
    t.station = boat.station;
    t.depthM = boat.bedDepthM;
    t.boatVelocity = plan_.motion.velocity;
    if (!(t.depthM > d_.instrument.TransducerDepthM())) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "line %d, ensemble %d: at station %.2f m the water (%.2f m) is not deeper "
                      "than the transducer",
                      plan_.index + 1, k + 1, t.station, t.depthM);
        throw SynthError(text);
    }
    SetAttitude(t);
    FindBed(t, HeadToEarth(t));
    FillWater(t);
    t.unitDischarge = UnitDischarge(t);
    return t;
}

EdgeTruth Synthesizer::Edge(double distance, double bankDepth, const EnsembleTruth& end) const {
    const double speed = d_.water.SpeedIntegral(0.0, end.depthM, end.depthM) / end.depthM;
    return {std::max(distance, 0.0), bankDepth > 0.0 ? kRectangularEdge : kTriangularEdge,
            end.depthM, speed};
}

LineTruth Synthesizer::Summarise(const std::vector<EnsembleTruth>& truth) const {
    LineTruth line;
    for (std::size_t k = 1; k < truth.size(); ++k) {
        const double dt = truth[k].lineTimeS - truth[k - 1].lineTimeS;
        line.discharge.top += dt * truth[k].unitDischarge.top;
        line.discharge.measured += dt * truth[k].unitDischarge.measured;
        line.discharge.bottom += dt * truth[k].unitDischarge.bottom;
    }
    const EnsembleTruth& first = truth.front();
    const EnsembleTruth& last = truth.back();
    const double acrossPerMetre = Dot(Horizontal(plan_.courseDeg), axis_);
    line.startsAtLeftBank = acrossPerMetre > 0.0;
    const EnsembleTruth& leftEnd = line.startsAtLeftBank ? first : last;
    const EnsembleTruth& rightEnd = line.startsAtLeftBank ? last : first;
    const CrossSection& section = d_.section;
    line.left = Edge(leftEnd.station, section.DepthAt(0.0), leftEnd);
    line.right =
        Edge(section.Width() - rightEnd.station, section.DepthAt(section.Width()), rightEnd);
    // Across the track, the depth-averaged flow is the same everywhere: flux = speed across the
    // track times the area under it.
    const double acrossTrack =
        std::abs(CrossUp(d_.water.Direction(), Horizontal(plan_.courseDeg))) * d_.water.MeanSpeed();
    line.trackExact =
        acrossTrack * std::abs(section.Area(first.station, last.station) / acrossPerMetre);
    return line;
}

BeamValues Synthesizer::InFrame(Vec3 relativeEarth, const Mat3& toEarth) const {
    const Vec3 instrument = Transposed(toEarth) * relativeEarth;
    switch (d_.instrument.frame) {
        case CoordinateFrame::Beam:
            return head_.BeamVelocities(instrument);
        case CoordinateFrame::Instrument:
            return {instrument.x, instrument.y, instrument.z, 0.0};
        case CoordinateFrame::Earth:
            break;
    }
    // The head turns to earth with the heading it records, short by the misalignment.
    const Vec3 recorded = Transposed(Misalignment()) * relativeEarth;
    return {recorded.x, recorded.y, recorded.z, 0.0};
}

void Synthesizer::FillProfile(Pd0Ensemble& e, const EnsembleTruth& t, const Mat3& toEarth) {
    const InstrumentSetup& i = d_.instrument;
    const double cosBeam = std::cos(Radians(i.beamAngleDeg));
    const bool perBeam = i.frame == CoordinateFrame::Beam;
    for (int cell = 0; cell < i.cells; ++cell) {
        const Vec3 water = t.water[static_cast<std::size_t>(cell)].value_or(Vec3{});
        const BeamValues values = InFrame(water - t.boatVelocity, toEarth);
        const double centreSlant = (i.bin1Cm + cell * i.cellCm) / 100.0 / cosBeam;
        Quad16 velocity{};
        Quad8 correlation{}, intensity{}, percentGood{};
        for (std::size_t b = 0; b < kBeams; ++b) {
            const bool aboveBed = cell < t.cellsAboveBed[b];
            const bool valid = perBeam ? aboveBed : cell < t.goodCells;
            const double noise = noise_.Next(d_.noise.velocityStdMmS);
            velocity[b] = valid ? StoredVelocity(values[b] * 1000.0 + noise) : kBadVelocity;
            correlation[b] = aboveBed ? 120 : 20;
            intensity[b] = StoredCount(centreSlant <= t.bedRangeM[b] ? d_.echo.CountsAt(centreSlant)
                                                                     : d_.echo.noiseFloor);
            // Beam data: per beam; otherwise the shares of four-beam solutions (last) and of
            // cells with beams missing (third).
            percentGood[b] = perBeam ? (valid ? 100 : 0) : (b == (valid ? 3U : 2U) ? 100 : 0);
        }
        e.velocity.push_back(velocity);
        e.correlation.push_back(correlation);
        e.intensity.push_back(intensity);
        e.percentGood.push_back(percentGood);
    }
}

BottomTrackFields Synthesizer::BottomTrack(const EnsembleTruth& t, const Mat3& toEarth, int k) {
    // The bottom moves past the boat against the boat's own velocity.
    const BeamValues values = InFrame(-1.0 * t.boatVelocity, toEarth);
    const bool lost = k >= d_.track.ensembles * (1.0 - d_.instrument.bottomTrackLost);
    BottomTrackFields bt;
    for (std::size_t b = 0; b < kBeams; ++b) {
        bt.rangeCm[b] = static_cast<std::uint16_t>(
            std::clamp(std::lround(t.bedBelowTransducerM[b] * 100.0), 0L, 65535L));
        const double noise = noise_.Next(d_.noise.bottomTrackStdMmS);
        bt.velocity[b] = lost ? kBadVelocity : StoredVelocity(values[b] * 1000.0 + noise);
        bt.correlation[b] = 250;
        bt.amplitude[b] = 200;
        bt.percentGood[b] = 100;
    }
    return bt;
}

NavigationState Synthesizer::Navigation(const EnsembleTruth& t, int k) const {
    const NavigationSetup& n = d_.navigation;
    NavigationState s;
    s.position = t.geographic;
    s.utcMs = t.clockHundredths * 10 - n.clockOffsetMs;
    s.courseDeg = plan_.courseDeg - 360.0 * std::floor(plan_.courseDeg / 360.0);
    s.speedMs = d_.track.speed;
    const auto fixAt = [&](double ageS) {
        const Vec3 at = t.position - ageS * plan_.motion.velocity;
        return TimedFix{s.utcMs - std::llround(ageS * 1000.0), plane_.ToGeographic(at.x, at.y)};
    };
    s.lastFix = fixAt(n.fixAgeS);
    s.firstFix = fixAt(n.fixAgeS + n.fixIntervalS);
    s.clockHundredths = t.clockHundredths;
    s.clockOffsetMs = n.clockOffsetMs;
    s.ensembleNumber = plan_.firstNumber + static_cast<std::uint32_t>(k);
    s.headingDeg = t.headingDeg;
    s.pitchDeg = t.pitchDeg;
    s.rollDeg = t.rollDeg;
    return s;
}

Pd0Ensemble Synthesizer::Ensemble(const EnsembleTruth& t, int k) {
    const InstrumentSetup& i = d_.instrument;
    const Mat3 toEarth = HeadToEarth(t);
    Pd0Ensemble e;
    const std::uint64_t timeTagMs =
        plan_.firstTimeTagMs + static_cast<std::uint64_t>(k) *
                                   static_cast<std::uint64_t>(d_.track.intervalHundredths) * 10;
    e.fixed = {i.beamAngleDeg,
               i.convex,
               i.frame,
               static_cast<std::uint16_t>(i.cellCm),
               static_cast<std::uint16_t>(i.blankCm),
               static_cast<std::uint16_t>(i.bin1Cm),
               static_cast<std::uint32_t>(timeTagMs & 0xFFFFFFFFU)};  // the counter wraps
    e.variable = {plan_.firstNumber + static_cast<std::uint32_t>(k),
                  ToCivil(t.clockHundredths),
                  static_cast<std::uint16_t>(i.speedOfSound),
                  static_cast<std::uint16_t>(i.transducerDepthDm),
                  static_cast<std::uint16_t>(std::lround(t.headingDeg * 100.0)),
                  static_cast<std::int16_t>(std::lround(t.pitchDeg * 100.0)),
                  static_cast<std::int16_t>(std::lround(t.rollDeg * 100.0)),
                  static_cast<std::uint16_t>(i.salinity),
                  static_cast<std::int16_t>(i.temperatureCdeg)};
    FillProfile(e, t, toEarth);
    if (i.bottomTrack) e.bottomTrack = BottomTrack(t, toEarth, k);
    for (NavigationKind kind : d_.navigation.blocks)
        e.navigation.push_back(EncodeNavigation(kind, Navigation(t, k)));
    return e;
}

SyntheticLine Synthesizer::Line() {
    char stem[96];
    std::snprintf(stem, sizeof stem, "%s_%03d", d_.name.c_str(), plan_.index + 1);
    SyntheticLine line;
    line.index = plan_.index;
    line.stem = stem;
    line.motion = plan_.motion;
    for (int k = 0; k < d_.track.ensembles; ++k) {
        line.truth.push_back(Truth(k));
        line.ensembles.push_back(Ensemble(line.truth.back(), k));
    }
    line.line = Summarise(line.truth);
    return line;
}

}  // namespace

BoatState BoatAt(const SurveyDescription& d, const LineMotion& motion, double lineTimeS) {
    const TrackSetup& track = d.track;
    BoatState boat;
    boat.position = motion.start + lineTimeS * motion.velocity;
    boat.station = track.startStation + Dot(boat.position, Horizontal(d.sectionAzimuthDeg));
    boat.bedDepthM = d.section.DepthAt(boat.station);
    boat.headingDeg = Wrapped360(track.heading.At(lineTimeS) + motion.headingOffsetDeg +
                                 d.instrument.mountingYawDeg);
    boat.pitchDeg = track.pitch.At(lineTimeS);
    boat.rollDeg = track.roll.At(lineTimeS);
    return boat;
}

SyntheticLine GenerateLine(const SurveyDescription& description, int index) {
    if (std::abs(Dot(Horizontal(description.track.courseDeg),
                     Horizontal(description.sectionAzimuthDeg))) < 1e-6)
        throw SynthError("the course runs along the banks: the boat never crosses the river");
    return Synthesizer(description, index).Line();
}

std::vector<SyntheticLine> GenerateSurvey(const SurveyDescription& description) {
    std::vector<SyntheticLine> lines;
    for (int index = 0; index < description.lines; ++index)
        lines.push_back(GenerateLine(description, index));
    return lines;
}

std::vector<std::uint8_t> EncodeLine(const SyntheticLine& line) {
    std::vector<std::uint8_t> bytes;
    for (const Pd0Ensemble& ensemble : line.ensembles) {
        const std::vector<std::uint8_t> encoded = EncodeEnsemble(ensemble);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    return bytes;
}

}  // namespace fluvex::synth
