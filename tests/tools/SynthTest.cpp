#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <numbers>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "synth/BeamGeometry.h"
#include "synth/SuiteLineFiles.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"
#include "synth/SynthError.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::synth {
namespace {

namespace fs = std::filesystem;
using Bytes = std::span<const std::uint8_t>;

// ---------------------------------------------------------------------------------------------
// A reader of our own for what the tests look at, written from the PD0 layout, not the generator.

std::uint64_t LittleEndian(Bytes bytes, std::size_t at, std::size_t width) {
    if (at + width > bytes.size()) throw std::out_of_range("field past the end of the bytes");
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | bytes[at + i];
    return value;
}
std::uint16_t U16(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>(LittleEndian(b, at, 2));
}
std::int16_t I16(Bytes b, std::size_t at) {
    return static_cast<std::int16_t>(U16(b, at));
}
std::uint32_t U32(Bytes b, std::size_t at) {
    return static_cast<std::uint32_t>(LittleEndian(b, at, 4));
}
double F64(Bytes b, std::size_t at) {
    return std::bit_cast<double>(LittleEndian(b, at, 8));
}
float F32(Bytes b, std::size_t at) {
    return std::bit_cast<float>(U32(b, at));
}

struct Block {
    std::uint16_t id = 0;
    Bytes bytes;
};

struct RawEnsemble {
    Bytes bytes;  // header to checksum inclusive
    std::vector<Block> blocks;

    Bytes Find(std::uint16_t id, std::size_t nth = 0) const {
        for (const Block& block : blocks)
            if (block.id == id && nth-- == 0) return block.bytes;
        throw std::out_of_range("no such block");
    }
};

// Splits a file into ensembles, failing the test on anything but clean framing.
std::vector<RawEnsemble> SplitFile(Bytes file) {
    std::vector<RawEnsemble> ensembles;
    std::size_t at = 0;
    while (at < file.size()) {
        EXPECT_EQ(U16(file, at), 0x7F7F) << "at byte " << at;
        const std::size_t byteCount = U16(file, at + 2);
        if (at + byteCount + 2 > file.size()) {
            ADD_FAILURE() << "ensemble at byte " << at << " runs past the end of the file";
            break;
        }
        const Bytes ensemble = file.subspan(at, byteCount + 2);
        const std::size_t types = ensemble[5];
        RawEnsemble raw{ensemble, {}};
        for (std::size_t k = 0; k < types; ++k) {
            const std::size_t offset = U16(ensemble, 6 + 2 * k);
            const std::size_t end = k + 1 < types ? U16(ensemble, 8 + 2 * k) : byteCount;
            if (offset >= end || end > byteCount) {
                ADD_FAILURE() << "block " << k << " of the ensemble at byte " << at;
                break;
            }
            raw.blocks.push_back({U16(ensemble, offset), ensemble.subspan(offset, end - offset)});
        }
        ensembles.push_back(raw);
        at += byteCount + 2;
    }
    return ensembles;
}

std::array<double, 4> StoredQuad(Bytes block, std::size_t first) {
    return {static_cast<double>(I16(block, first)), static_cast<double>(I16(block, first + 2)),
            static_cast<double>(I16(block, first + 4)), static_cast<double>(I16(block, first + 6))};
}

// The reader-side conventions, written out independently of the generator: the four-beam
// transformation and the instrument-to-earth matrix in closed form.
Vec3 BeamToInstrument(const std::array<double, 4>& b, double angleDeg, bool convex) {
    const double angle = angleDeg * std::numbers::pi / 180.0;
    const double a = (convex ? 1.0 : -1.0) / (2.0 * std::sin(angle));
    const double c = 1.0 / (4.0 * std::cos(angle));
    return {a * (b[0] - b[1]), a * (b[3] - b[2]), c * (b[0] + b[1] + b[2] + b[3])};
}

Vec3 InstrumentToEarthClosedForm(Vec3 v, double hDeg, double pDeg, double rDeg) {
    const double k = std::numbers::pi / 180.0;
    const double ch = std::cos(hDeg * k), sh = std::sin(hDeg * k);
    const double cp = std::cos(pDeg * k), sp = std::sin(pDeg * k);
    const double cr = std::cos(rDeg * k), sr = std::sin(rDeg * k);
    return {(ch * cr + sh * sp * sr) * v.x + sh * cp * v.y + (ch * sr - sh * sp * cr) * v.z,
            (-sh * cr + ch * sp * sr) * v.x + ch * cp * v.y + (-sh * sr - ch * sp * cr) * v.z,
            -cp * sr * v.x + sp * v.y + cp * cr * v.z};
}

// Earth velocity (mm/s) of a stored quadruple in the file's frame.
Vec3 StoredToEarth(const std::array<double, 4>& stored, CoordinateFrame frame, int angleDeg,
                   bool convex, const EnsembleTruth& t) {
    if (frame == CoordinateFrame::Earth) return {stored[0], stored[1], stored[2]};
    const Vec3 instrument = frame == CoordinateFrame::Beam
                                ? BeamToInstrument(stored, angleDeg, convex)
                                : Vec3{stored[0], stored[1], stored[2]};
    return InstrumentToEarthClosedForm(instrument, t.headingDeg, t.pitchDeg, t.rollDeg);
}

// A line's PD0 bytes and the ensembles found in them; the ensembles view the bytes it owns.
class Pd0File {
public:
    explicit Pd0File(const SyntheticLine& line)
        : bytes_(EncodeLine(line)), ensembles_(SplitFile(bytes_)) {}
    Pd0File(const Pd0File&) = delete;
    Pd0File& operator=(const Pd0File&) = delete;

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    const std::vector<RawEnsemble>& Ensembles() const { return ensembles_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<RawEnsemble> ensembles_;
};

std::string Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const SynthError& error) {
        return error.what();
    }
    return "(no error)";
}

// ---------------------------------------------------------------------------------------------

TEST(SynthPd0, EveryEnsembleIsFramedSummedAndLaidOutBlockByBlock) {
    const auto d = ParseSurveyDescription(
        "[Track]\nEnsembles = 20\n[Instrument]\nCells = 30\n"
        "[Navigation]\nBlocks = 2000 100 104 105 5410\nLatitude = 59.3\nLongitude = 18.1\n");
    const auto line = GenerateSurvey(d).front();
    const Pd0File file(line);
    const auto& ensembles = file.Ensembles();
    ASSERT_EQ(ensembles.size(), 20U);
    const std::vector<std::uint16_t> ids = {0x0000, 0x0080, 0x0100, 0x0200, 0x0300, 0x0400,
                                            0x0600, 0x2000, 0x2022, 0x2022, 0x2022, 0x5410};
    for (const RawEnsemble& e : ensembles) {
        const std::size_t byteCount = e.bytes.size() - 2;
        EXPECT_EQ(U16(e.bytes, byteCount), Pd0Checksum(e.bytes.first(byteCount)));
        ASSERT_EQ(e.blocks.size(), ids.size());
        EXPECT_EQ(U16(e.bytes, 6), 6 + 2 * ids.size()) << "first block right after the offsets";
        for (std::size_t k = 0; k < ids.size(); ++k)
            EXPECT_EQ(e.blocks[k].id, ids[k]);
        EXPECT_EQ(e.blocks[0].bytes.size(), 59U);
        EXPECT_EQ(e.blocks[1].bytes.size(), 65U);
        EXPECT_EQ(e.blocks[2].bytes.size(), 2U + 8U * 30U);
        for (std::size_t k = 3; k <= 5; ++k)
            EXPECT_EQ(e.blocks[k].bytes.size(), 2U + 4U * 30U);
        EXPECT_EQ(e.blocks[6].bytes.size(), 85U);
        EXPECT_EQ(e.blocks[7].bytes.size(), 78U);
        EXPECT_EQ(U16(e.blocks[8].bytes, 2), 100);
        EXPECT_EQ(U16(e.blocks[9].bytes, 4), 71U - 14U) << "sentence 104 size after its header";
    }
}

TEST(SynthPd0, ManyCellsWithNavigationExceed4095BytesWithAValidChecksum) {
    const auto d = ParseSurveyDescription(
        "[Section]\nProfile = rectangular\nDepth = 60\n[Track]\nEnsembles = 5\n"
        "[Instrument]\nCells = 200\n[Navigation]\nBlocks = 104 105 2000\n");
    const Pd0File file(GenerateSurvey(d).front());
    for (const RawEnsemble& e : file.Ensembles()) {
        const std::size_t byteCount = e.bytes.size() - 2;
        EXPECT_GT(byteCount, 4095U);
        EXPECT_EQ(U16(e.bytes, 2), byteCount);
        EXPECT_EQ(U16(e.bytes, byteCount), Pd0Checksum(e.bytes.first(byteCount)));
        EXPECT_EQ(e.Find(0x0000)[9], 200);
    }
}

struct LeaderCase {
    int beamAngle;
    std::uint16_t angleCode;
    const char* frame;
    std::uint8_t coordinateByte;
    bool convex;
};

class SynthLeaders : public ::testing::TestWithParam<LeaderCase> {};

TEST_P(SynthLeaders, HoldTheDescriptionInTheInstrumentsUnits) {
    const LeaderCase c = GetParam();
    const auto d = ParseSurveyDescription(
        "[Survey]\nStart = 2031-12-31T23:59:58.50\nTimeTagStartMs = 1000\n"
        "[Track]\nEnsembles = 3\nInterval = 0.75\n[Attitude]\nHeading = 359.996\nPitch = -2.5\n"
        "Roll = 1.25\n[Instrument]\nBeamAngle = " +
        std::to_string(c.beamAngle) + "\nFrame = " + c.frame +
        "\nConvex = " + (c.convex ? "1" : "0") +
        "\nCells = 12\nCellSize = 0.3\nBlank = 0.2\nBin1Distance = 0.61\nTransducerDepth = 0.4\n");
    const Pd0File file(GenerateSurvey(d).front());
    const auto& ensembles = file.Ensembles();
    ASSERT_EQ(ensembles.size(), 3U);
    const Bytes fixed = ensembles[2].Find(0x0000);
    EXPECT_EQ((U16(fixed, 4) >> 8) & 3, c.angleCode);
    EXPECT_EQ((U16(fixed, 4) & 0x08) != 0, c.convex);
    EXPECT_EQ(fixed[25] & 0x18, c.coordinateByte);
    EXPECT_EQ(fixed[9], 12);
    EXPECT_EQ(U16(fixed, 12), 30);
    EXPECT_EQ(U16(fixed, 14), 20);
    EXPECT_EQ(U16(fixed, 32), 61);
    EXPECT_EQ(U32(fixed, 42), 1000U + 2U * 750U);
    EXPECT_EQ(fixed[58], c.beamAngle);
    // 1.5 s after the start the clock has crossed into the next year; months count from 1.
    const Bytes variable = ensembles[2].Find(0x0080);
    EXPECT_EQ(U16(variable, 2), 3);
    const std::vector<int> clock(variable.begin() + 4, variable.begin() + 11);
    EXPECT_EQ(clock, (std::vector<int>{32, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(variable[57], 20);
    EXPECT_EQ(U16(variable, 16), 4);
    EXPECT_EQ(U16(variable, 18), 0) << "359.996 degrees is stored as 0.00";
    EXPECT_EQ(I16(variable, 20), -250);
    EXPECT_EQ(I16(variable, 22), 125);
}

INSTANTIATE_TEST_SUITE_P(Synth, SynthLeaders,
                         ::testing::Values(LeaderCase{20, 1, "earth", 0x18, true},
                                           LeaderCase{25, 3, "instrument", 0x08, false},
                                           LeaderCase{30, 2, "beam", 0x00, true}));

// ---------------------------------------------------------------------------------------------

TEST(SynthGeometry, EarthToBeamAndBackThroughTheClosedFormulas) {
    // Tolerance 1e-9 m/s: both directions are exact up to floating-point rounding.
    const std::vector<std::array<double, 3>> attitudes = {
        {0, 0, 0}, {90, 0, 0}, {37, 8, -5}, {211.5, -12, 9}, {359, 3.5, 14}};
    const std::vector<Vec3> velocities = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-0.7, 1.3, 0.05}};
    for (int angle : {20, 25, 30}) {
        for (bool convex : {true, false}) {
            const JanusHead head(angle, convex);
            for (const auto& [h, p, r] : attitudes) {
                for (const Vec3& earth : velocities) {
                    const Vec3 instrument = Transposed(InstrumentToEarth(h, p, r)) * earth;
                    const BeamValues beams = head.BeamVelocities(instrument);
                    EXPECT_NEAR(beams[0] + beams[1] - beams[2] - beams[3], 0.0, 1e-12)
                        << "no error velocity in a homogeneous flow";
                    const Vec3 back = InstrumentToEarthClosedForm(
                        BeamToInstrument(beams, angle, convex), h, p, r);
                    EXPECT_NEAR(back.x, earth.x, 1e-9) << angle << convex << h << p << r;
                    EXPECT_NEAR(back.y, earth.y, 1e-9);
                    EXPECT_NEAR(back.z, earth.z, 1e-9);
                }
            }
        }
    }
}

TEST(SynthGeometry, BeamRangesFollowPitchAndRollToAFlatBed) {
    // Bow up lengthens the forward beam (3) and shortens the aft one (4); starboard down
    // shortens the starboard beam (2) of a convex head. Tolerance 1 mm.
    const auto d = ParseSurveyDescription(
        "[Section]\nProfile = rectangular\nDepth = 5.2\n[Track]\nEnsembles = 1\nStartStation = 30\n"
        "[Attitude]\nPitch = 4\nRoll = 3\n[Instrument]\nBeamAngle = 20\nTransducerDepth = 0.2\n");
    const EnsembleTruth t = GenerateSurvey(d).front().truth.front();
    const double k = std::numbers::pi / 180.0;
    const double below = 5.0;  // transducer to bed
    const double cp = std::cos(4 * k), sp = std::sin(4 * k), cr = std::cos(3 * k);
    EXPECT_NEAR(t.bedRangeM[0], below / (cp * std::cos(23 * k)), 0.001);
    EXPECT_NEAR(t.bedRangeM[1], below / (cp * std::cos(17 * k)), 0.001);
    EXPECT_NEAR(t.bedRangeM[2], below / (cp * cr * std::cos(20 * k) - sp * std::sin(20 * k)),
                0.001);
    EXPECT_NEAR(t.bedRangeM[3], below / (cp * cr * std::cos(20 * k) + sp * std::sin(20 * k)),
                0.001);
    EXPECT_GT(t.bedRangeM[2], t.bedRangeM[3]);
    EXPECT_LT(t.bedRangeM[1], t.bedRangeM[0]);
    // On a flat bed every beam's hit lies the same vertical distance below the transducer.
    for (const double vertical : t.bedBelowTransducerM)
        EXPECT_NEAR(vertical, below, 0.001);
}

struct FrameCase {
    const char* name;
    CoordinateFrame frame;
    double toleranceMmS;  // rounding of the stored values through the transformation
};

class SynthStoredVelocities : public ::testing::TestWithParam<FrameCase> {};

TEST_P(SynthStoredVelocities, RecoverTheTruthWithinRounding) {
    const FrameCase c = GetParam();
    const auto d = ParseSurveyDescription(
        std::string(
            "[Section]\nDepth = 6\n[Water]\nProfile = powerlaw\nSpeed = 1.1\nDirection = 20\n"
            "[Track]\nEnsembles = 40\nCourse = 80\n"
            "[Attitude]\nHeading = 75\nHeadingAmplitude = 10\nPitchAmplitude = 6\n"
            "RollAmplitude = 8\nRollPeriod = 3\n"
            "[Instrument]\nBeamAngle = 25\nConvex = 0\nCells = 20\nFrame = ") +
        c.name + "\n");
    const auto line = GenerateSurvey(d).front();
    const Pd0File file(line);
    const auto& ensembles = file.Ensembles();
    int goodCells = 0;
    for (std::size_t k = 0; k < ensembles.size(); ++k) {
        const EnsembleTruth& t = line.truth[k];
        const Bytes velocity = ensembles[k].Find(0x0100);
        for (std::size_t cell = 0; cell < 20; ++cell) {
            const auto stored = StoredQuad(velocity, 2 + 8 * cell);
            const bool bad = stored[0] == -32768 || stored[1] == -32768 || stored[2] == -32768 ||
                             stored[3] == -32768;
            EXPECT_EQ(bad, static_cast<int>(cell) >= t.goodCells) << "ensemble " << k;
            if (bad) continue;
            ++goodCells;
            const Vec3 expected = 1000.0 * (*t.water[cell] - t.boatVelocity);
            const Vec3 earth = StoredToEarth(stored, c.frame, 25, false, t);
            EXPECT_NEAR(earth.x, expected.x, c.toleranceMmS);
            EXPECT_NEAR(earth.y, expected.y, c.toleranceMmS);
            EXPECT_NEAR(earth.z, expected.z, c.toleranceMmS);
        }
        const Vec3 bottom =
            StoredToEarth(StoredQuad(ensembles[k].Find(0x0600), 24), c.frame, 25, false, t);
        EXPECT_NEAR(bottom.x, -1000.0 * t.boatVelocity.x, c.toleranceMmS);
        EXPECT_NEAR(bottom.y, -1000.0 * t.boatVelocity.y, c.toleranceMmS);
    }
    EXPECT_GT(goodCells, 40 * 5);
}

INSTANTIATE_TEST_SUITE_P(Synth, SynthStoredVelocities,
                         ::testing::Values(FrameCase{"earth", CoordinateFrame::Earth, 0.5},
                                           FrameCase{"instrument", CoordinateFrame::Instrument,
                                                     0.87},
                                           FrameCase{"beam", CoordinateFrame::Beam, 2.0}),
                         [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------------

// A rectangular channel 60 m wide and 3 m deep crossed from wall to wall in 120 s at the given
// course (the section runs east); the water runs north at 0.7 m/s depth-averaged.
SyntheticLine WallToWall(const std::string& profile, double courseDeg) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.17g",
                  0.5 / std::cos((courseDeg - 90.0) * std::numbers::pi / 180.0));
    return GenerateSurvey(ParseSurveyDescription(
                              "[Section]\nProfile = rectangular\nWidth = 60\nDepth = 3\n"
                              "[Water]\nSpeed = 0.7\nProfile = " +
                              profile + "\n[Track]\nEnsembles = 121\nStartStation = 0\nCourse = " +
                              std::to_string(courseDeg) + "\nSpeed = " + speed +
                              "\n[Instrument]\nCells = 15\n"))
        .front();
}

TEST(SynthDischarge, RectangularChannelIsWidthTimesDepthTimesSpeedWhateverTheProfile) {
    const LineTruth uniform = WallToWall("uniform", 90.0).line;
    for (double course : {90.0, 60.0, 125.0}) {
        const LineTruth t = WallToWall("uniform", course).line;
        EXPECT_NEAR(t.Total(), 60.0 * 3.0 * 0.7, 1e-6) << "course " << course;
        EXPECT_NEAR(t.trackExact, 60.0 * 3.0 * 0.7, 1e-6);
        EXPECT_NEAR(t.left.Discharge(), 0.0, 1e-9);
        EXPECT_NEAR(t.right.Discharge(), 0.0, 1e-9);
        // The top layer reaches the top edge of the first cell: 0.2 + 0.5 - 0.125 m.
        EXPECT_NEAR(t.discharge.top, 60.0 * 0.575 * 0.7, 1e-6);
    }
    // A power law keeps the total and weighs the surface.
    const LineTruth power = WallToWall("powerlaw", 90.0).line;
    EXPECT_NEAR(power.Total(), uniform.Total(), 1e-6);
    EXPECT_GT(power.discharge.top, uniform.discharge.top);
    EXPECT_LT(power.discharge.bottom, uniform.discharge.bottom);
}

TEST(SynthDischarge, MeasuredPartIsTheSumOverTheGoodCells) {
    // The per-cell means and the layer integrals are computed separately; they must agree.
    const SyntheticLine line = WallToWall("powerlaw", 70.0);
    int profiled = 0;
    for (const EnsembleTruth& t : line.truth) {
        double sum = 0.0;
        for (std::size_t cell = 0; cell < static_cast<std::size_t>(t.goodCells); ++cell) {
            const Vec3 w = *t.water[cell];
            sum += 0.25 * std::abs(w.x * t.boatVelocity.y - w.y * t.boatVelocity.x);
        }
        EXPECT_NEAR(t.unitDischarge.measured, sum, 1e-12);
        profiled += t.goodCells > 0 ? 1 : 0;
    }
    EXPECT_GT(profiled, 110) << "only beams that meet a wall lose their cells";
}

TEST(SynthDischarge, ParabolicCrossingMatchesItsAreaAndEdgesFollowTheBanks) {
    const auto d = ParseSurveyDescription(
        "[Survey]\nLines = 2\n[Section]\nWidth = 60\nDepth = 3\n[Water]\nSpeed = 0.8\n"
        "[Track]\nEnsembles = 201\nStartStation = 5\nSpeed = 0.25\n");
    const auto lines = GenerateSurvey(d);
    // Depth 4·3·s(60 − s)/60²; its integral from 5 to 55.
    const auto primitive = [](double s) {
        return 12.0 / 3600.0 * (30.0 * s * s - s * s * s / 3.0);
    };
    const double flux = 0.8 * (primitive(55.0) - primitive(5.0));
    for (const SyntheticLine& line : lines) {
        EXPECT_NEAR(line.line.trackExact, flux, 1e-9);
        EXPECT_NEAR(line.line.discharge.Total(), flux, 0.005 * flux) << "ensemble time steps";
        const double edgeDepth = 12.0 / 3600.0 * 5.0 * 55.0;
        EXPECT_NEAR(line.line.left.Discharge(), 0.31 * 5.0 * 0.8 * edgeDepth, 1e-9);
        EXPECT_NEAR(line.line.right.Discharge(), 0.31 * 5.0 * 0.8 * edgeDepth, 1e-9);
    }
    EXPECT_TRUE(lines[0].line.startsAtLeftBank);
    EXPECT_FALSE(lines[1].line.startsAtLeftBank);
    EXPECT_NEAR(lines[1].truth.front().station, 55.0, 1e-9) << "the way back starts where we are";
}

// ---------------------------------------------------------------------------------------------

std::vector<std::uint8_t> NoisySurvey(const std::string& noise) {
    return EncodeLine(
        GenerateSurvey(ParseSurveyDescription("[Track]\nEnsembles = 30\n[Noise]\n" + noise))
            .front());
}

TEST(SynthNoise, IsDeterminedByItsSeed) {
    EXPECT_EQ(NoisySurvey("Enabled = 1\nSeed = 7\n"), NoisySurvey("Enabled = 1\nSeed = 7\n"));
    EXPECT_NE(NoisySurvey("Enabled = 1\nSeed = 7\n"), NoisySurvey("Enabled = 1\nSeed = 8\n"));
    EXPECT_EQ(NoisySurvey("Enabled = 0\nSeed = 7\n"), NoisySurvey("Enabled = 0\nSeed = 8\n"));
    EXPECT_NE(NoisySurvey("Enabled = 0\n"), NoisySurvey("Enabled = 1\n"));
}

TEST(SynthNoise, HasTheRequestedSpreadAndNoBias) {
    const auto d = ParseSurveyDescription(
        "[Track]\nEnsembles = 200\n[Noise]\nEnabled = 1\nVelocityStd = 40\n");
    const auto line = GenerateSurvey(d).front();
    const Pd0File file(line);
    const auto& ensembles = file.Ensembles();
    double sum = 0.0;
    double squares = 0.0;
    int count = 0;
    for (std::size_t k = 0; k < ensembles.size(); ++k) {
        const EnsembleTruth& t = line.truth[k];
        for (std::size_t cell = 0; cell < static_cast<std::size_t>(t.goodCells); ++cell) {
            const double error = I16(ensembles[k].Find(0x0100), 2 + 8 * cell + 2) -
                                 1000.0 * (t.water[cell]->y - t.boatVelocity.y);
            sum += error;
            squares += error * error;
            ++count;
        }
    }
    ASSERT_GT(count, 1000);
    const double mean = sum / count;
    EXPECT_LT(std::abs(mean), 4.0 * 40.0 / std::sqrt(count));
    EXPECT_NEAR(std::sqrt(squares / count - mean * mean), 40.0, 4.0);
}

// ---------------------------------------------------------------------------------------------

TEST(SynthNavigation, BlocksCarryThePositionAsTheirLayoutsSay) {
    // South-west of the origin's meridians, with a clock 7 hours behind UTC.
    const auto d = ParseSurveyDescription(
        "[Track]\nEnsembles = 8\nSpeed = 1.5\nCourse = 100\n[Navigation]\n"
        "Blocks = 2000 100 104 105 5410\nLatitude = -41.25\nLongitude = -72.5\n"
        "ClockOffsetMs = -25200000\nFixAge = 0.4\nFixInterval = 1\n");
    const auto line = GenerateSurvey(d).front();
    const Pd0File file(line);
    const auto& ensembles = file.Ensembles();
    const EnsembleTruth& t = line.truth[5];
    const RawEnsemble& e = ensembles[5];
    const Bytes gga100 = e.Find(0x2022, 0);
    EXPECT_NEAR(F64(gga100, 54), t.geographic.latitude, 1e-12);
    EXPECT_NEAR(F64(gga100, 64), t.geographic.longitude, 1e-12);
    const Bytes gga104 = e.Find(0x2022, 1);
    EXPECT_EQ(U16(gga104, 2), 104);
    EXPECT_NEAR(F64(gga104, 31), -t.geographic.latitude, 1e-12);
    EXPECT_EQ(gga104[39], 'S');
    EXPECT_NEAR(F64(gga104, 40), -t.geographic.longitude, 1e-12);
    EXPECT_EQ(gga104[48], 'W');
    const Bytes vtg = e.Find(0x2022, 2);
    EXPECT_NEAR(F32(vtg, 21), 100.0, 1e-4);
    EXPECT_NEAR(F32(vtg, 36), 1.5 * 3.6, 1e-5);
    const Bytes compact = e.Find(0x5410);
    EXPECT_EQ(compact[10] & 0x0C, 0x0C);
    const double latitude = static_cast<std::int8_t>(compact[29]) + U32(compact, 30) / 1e7;
    EXPECT_NEAR(compact[34] == 'S' ? -latitude : latitude, t.geographic.latitude, 1e-7);
    EXPECT_NEAR(static_cast<std::int32_t>(U32(compact, 41)) / 1e5 * 514.444444, 1500.0, 0.01);

    // Binary navigation: extrapolate the two fixes to the ensemble time by the PC clock and its
    // offset from UTC; the result is the ensemble's position within the binary angle's
    // resolution (about 1e-7 degree).
    const Bytes nav = e.Find(0x2000);
    const auto angle = [&](std::size_t at) {
        const double degrees = U32(nav, at) * (180.0 / 2147483648.0);
        return degrees > 180.0 ? degrees - 360.0 : degrees;
    };
    const double firstFix = static_cast<std::int32_t>(U32(nav, 6)) / 1e4;
    const double lastFix = static_cast<std::int32_t>(U32(nav, 22)) / 1e4;
    const double offset = static_cast<std::int32_t>(U32(nav, 10)) / 1e3;
    double te = static_cast<std::int32_t>(U32(nav, 58)) / 100.0 - (lastFix + offset);
    te -= 86400.0 * std::round(te / 86400.0);
    EXPECT_NEAR(te, 0.4, 1e-9);
    const double dt = lastFix - firstFix;
    EXPECT_NEAR(angle(26) + (angle(26) - angle(14)) / dt * te, t.geographic.latitude, 2e-7);
    EXPECT_NEAR(angle(30) + (angle(30) - angle(18)) / dt * te, t.geographic.longitude, 2e-7);
    EXPECT_EQ(static_cast<std::int16_t>(U16(nav, 40)), 1500) << "speed made good, mm/s";
}

TEST(SynthNavigation, CompactBlockRefusesLongitudesBeyondASignedByte) {
    const auto d = ParseSurveyDescription(
        "[Track]\nEnsembles = 2\n[Navigation]\nBlocks = 5410\nLongitude = 151.2\n");
    EXPECT_NE(Message([&] { GenerateSurvey(d); }).find("0x5410"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------

TEST(SynthDescription, ReadsTheDemoSurvey) {
    const auto d =
        ReadSurveyDescription(fs::path(FLUVEX_TEST_DATA) / ".." / ".." / "tools/synth/demo.ini");
    EXPECT_EQ(d.lines * d.track.ensembles, 300);
    EXPECT_EQ(d.instrument.frame, CoordinateFrame::Earth);
    EXPECT_TRUE(d.instrument.bottomTrack);
    EXPECT_EQ(d.navigation.blocks,
              (std::vector<NavigationKind>{NavigationKind::Gga104, NavigationKind::Vtg105}));
    EXPECT_DOUBLE_EQ(d.section.Width(), 60.0);
    EXPECT_DOUBLE_EQ(d.section.MaxDepth(), 3.0);
    const auto lines = GenerateSurvey(d);
    EXPECT_EQ(lines.size(), 2U);
    EXPECT_GT(lines[0].line.Total(), 0.0);
}

TEST(SynthDescription, RefusesBadInputNamingTheLineAndKey) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"[Track]\nSpeeed = 1\n", "line 2: unknown key [Track] Speeed"},
        {"[Instrument]\n\nBeamAngle = 22\n", "line 3: [Instrument] BeamAngle must be 20, 25 or 30"},
        {"[Instrument]\nCellSize = 0.255\n", "CellSize must be a whole number of cm"},
        {"[Instrument]\nCells = 201\n", "Cells must lie between 1 and 200"},
        {"[Water]\nSpeed = fast\n", "'fast' is not a number"},
        {"[Water]\nProfile = log\n", "must be one of uniform, powerlaw"},
        {"[Survey]\nStart = 2024-02-30T00:00:00\n", "Start must be a time"},
        {"[Section]\nProfile = points\nPoints = 0:1, 10\n", "station:depth"},
        {"[Section]\nProfile = points\nPoints = 0:1, 10:2, 8:1\n", "stations must increase"},
        {"[Navigation]\nBlocks = 104 2001\n", "'2001' is none of"},
        {"[Track]\nSpeed = 1\nspeed = 2\n", "line 3: [Track] speed is given twice"},
        {"[Track\n", "line 1: a section header"},
        {"Speed 1\n", "line 1: expected Key = Value"},
        {"[Suite]\nLogFolder = edits\n", "LogFolder must be exactly four"},
        {"[Suite]\nPlannedLine = 0x39\n", "must be one of 0x38, 0x0E, none"},
        {"[Survey]\nTimeTagStartMs = 5\n[Suite]\nLineFiles = kq2\n",
         "line 2: [Survey] TimeTagStartMs cannot be set"},
    };
    for (const auto& [ini, expected] : cases)
        EXPECT_NE(Message([&] { ParseSurveyDescription(ini); }).find(expected), std::string::npos)
            << ini << " gave: " << Message([&] { ParseSurveyDescription(ini); });
}

TEST(SynthDescription, RefusesTracksThatLeaveTheWaterOrNeverCross) {
    const std::pair<std::string, std::string> cases[] = {
        {"[Track]\nStartStation = 0.2\n", "line 1, ensemble 1"},
        {"[Track]\nEnsembles = 400\n", "not deeper"},
        {"[Track]\nCourse = 0\n", "never crosses"},
        {"[Attitude]\nRoll = 30\nRollAmplitude = 30\n[Instrument]\nBeamAngle = 30\n",
         "out of the water column"}};
    for (const auto& [ini, expected] : cases) {
        const auto d = ParseSurveyDescription(ini);
        EXPECT_NE(Message([&] { GenerateSurvey(d); }).find(expected), std::string::npos) << ini;
    }
}

// ---------------------------------------------------------------------------------------------

class SynthFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("fluvex-synth-test-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    static std::string Read(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Every file under the folder, relative to it, sorted.
    static std::vector<std::string> FilesUnder(const fs::path& folder) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files.push_back(fs::relative(entry.path(), folder).generic_string());
        std::sort(files.begin(), files.end());
        return files;
    }

    fs::path folder_;
};

TEST_F(SynthFiles, WritesEachLineWithItsTruthAndTheLineList) {
    const auto d = ParseSurveyDescription(
        "[Survey]\nName = reach-2\nLines = 2\n[Track]\n"
        "Ensembles = 12\n");
    const auto written = WriteSurvey(d, folder_ / "out");
    EXPECT_EQ(written.size(), 5U);
    EXPECT_EQ(Read(folder_ / "out" / "reach-2.lines.txt"),
              "reach-2_001.PD0\r\nreach-2_002.PD0\r\n");
    const std::string pd0 = Read(folder_ / "out" / "reach-2_002.PD0");
    EXPECT_EQ(pd0.size(), EncodeLine(GenerateSurvey(d)[1]).size());
    const auto truth = nlohmann::json::parse(Read(folder_ / "out" / "reach-2_002.truth.json"));
    EXPECT_EQ(truth["file"], "reach-2_002.PD0");
    EXPECT_EQ(truth["setup"]["line"], 2);
    EXPECT_EQ(truth["ensembles"].size(), 12U);
    EXPECT_EQ(truth["ensembles"][0]["number"], 13);
    EXPECT_EQ(truth["discharge"]["start_bank"], "right");
    EXPECT_NE(truth["conventions"]["stored_velocities"].get<std::string>().find("rounded"),
              std::string::npos);
    EXPECT_TRUE(truth["ensembles"][0]["water_velocity"].back().is_null()) << "below the bed";
}

TEST_F(SynthFiles, ReportsAFolderThatCannotBeMade) {
    const auto d = ParseSurveyDescription("[Track]\nEnsembles = 2\n");
    fs::create_directories(folder_);
    std::ofstream(folder_ / "file") << "x";
    EXPECT_NE(Message([&] { WriteSurvey(d, folder_ / "file" / "out"); }).find("cannot create"),
              std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Suite output, read back with our own small readers of the edited-file and raw-line layouts.

struct EditedRecord {
    std::uint16_t type = 0;
    Bytes payload;
};

std::vector<EditedRecord> SplitEditedFile(Bytes file) {
    std::vector<EditedRecord> records;
    for (std::size_t at = 0; at < file.size();) {
        const std::size_t length = U16(file, at);
        EXPECT_EQ(U16(file, at + 4 + length), length) << "trailer at byte " << at;
        records.push_back({U16(file, at + 2), file.subspan(at + 4, length)});
        at += 6 + length;
    }
    return records;
}

// The depth a reader takes from a navigation record's four values.
double RecordDepth(Bytes payload, std::size_t at) {
    if (U32(payload, 0) != 5) return F64(payload, at);
    double sum = 0.0;
    int count = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        const double value = F64(payload, at + 8 * k);
        sum += value;
        count += value != 0.0 ? 1 : 0;
    }
    return sum / count;
}

std::uint32_t TimeTag(const RawEnsemble& ensemble) {
    return U32(ensemble.Find(0x0000), 42);
}

constexpr const char* kSuiteSurvey =
    "[Survey]\nName = reach\nLines = 2\nStart = 2024-05-14T09:59:50.00\n"
    "[Track]\nEnsembles = 20\n[Instrument]\nMountingYaw = 3\n";

TEST_F(SynthFiles, SuiteEditedFilesAreLaidOutAndTimedAsTheSuiteLeavesThem) {
    const auto d = ParseSurveyDescription(std::string(kSuiteSurvey) +
                                          "[Suite]\nLineFiles = kq2\nLogFolder = nav1\n"
                                          "NavInterval = 0.4\nGridX = 1000.5\nGridY = 2000\n"
                                          "BadRecordEvery = 5\n");
    WriteSurvey(d, folder_);
    EXPECT_EQ(FilesUnder(folder_),
              (std::vector<std::string>{"reach/nav1/reach.log", "reach/nav1/reach_001_0959.kq2",
                                        "reach/nav1/reach_002_1000.kq2", "reach/raw/reach_001.000",
                                        "reach/raw/reach_002.000", "reach/reach_001.truth.json",
                                        "reach/reach_002.truth.json"}));
    EXPECT_EQ(Read(folder_ / "reach/nav1/reach.log"),
              "reach_001_0959.kq2\r\nreach_002_1000.kq2\r\n");

    // Line 2 runs from 10:00:39 to 10:00:58; its PD0 is the flat output's, time tags included.
    const std::string text = Read(folder_ / "reach/raw/reach_002.000");
    const std::vector<std::uint8_t> pd0(text.begin(), text.end());
    EXPECT_EQ(pd0, EncodeLine(GenerateLine(ParseSurveyDescription(kSuiteSurvey), 1)));
    const auto ensembles = SplitFile(pd0);
    ASSERT_EQ(ensembles.size(), 20U);
    EXPECT_EQ(TimeTag(ensembles.front()), 36'039'000U);
    EXPECT_EQ(TimeTag(ensembles.back()), 36'058'000U);

    const std::string kq2 = Read(folder_ / "reach/nav1/reach_002_1000.kq2");
    const auto records =
        SplitEditedFile({reinterpret_cast<const std::uint8_t*>(kq2.data()), kq2.size()});
    const auto truth = nlohmann::json::parse(Read(folder_ / "reach/reach_002.truth.json"));
    EXPECT_EQ(truth["file"], "raw/reach_002.000");
    EXPECT_EQ(truth["suite"]["line_file"], "reach/nav1/reach_002_1000.kq2");
    EXPECT_EQ(truth["suite"]["raw_file"], "reach/raw/reach_002.000");

    // The planned line runs back from the end of line 1 (19 s at 0.25 m/s) to the start.
    ASSERT_EQ(records.size(), 1U + 58U) << "records from 36037.37 s every 0.4 s to 36060.17 s";
    const Bytes plan = records[0].payload;
    EXPECT_EQ(records[0].type, 0x38);
    ASSERT_EQ(plan.size(), 4744U);
    EXPECT_EQ(U16(plan, 0), 2);
    EXPECT_EQ(F64(plan, 8), 1000.5 + 4.75);
    EXPECT_EQ(F64(plan, 16), 1000.5);
    EXPECT_EQ(F64(plan, 1032), 2000.0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&plan[3080])), "reach 002");
    EXPECT_EQ(truth["suite"]["planned_line"]["points"][0][0], 1000.5 + 4.75);

    for (std::size_t i = 1; i < records.size(); ++i) {
        const Bytes r = records[i].payload;
        ASSERT_EQ(records[i].type, 0x70);
        ASSERT_EQ(r.size(), 128U);
        EXPECT_EQ(U32(r, 0), i % 2 == 1 ? 1U : 5U) << "kinds alternate from kind 1";
        EXPECT_NEAR(F64(r, 8), 36'037.37 + 0.4 * static_cast<double>(i - 1), 1e-9);
        EXPECT_EQ(U32(r, 4), i % 5 == 0 ? 1U : 0U) << "record " << i;
        EXPECT_EQ(std::abs(F64(r, 16) - 1002.0) > 1000.0, i % 5 == 0) << "wild when unusable";
        EXPECT_NEAR(RecordDepth(r, 64) - RecordDepth(r, 32), 0.10, 1e-12);
        EXPECT_EQ(F64(r, 96), 273.0) << "the boat's heading: the way back plus the mounting yaw";
    }
    // Usable records bracketing each ensemble interpolate to its truth (the track is straight).
    for (const auto& e : truth["ensembles"]) {
        const double t = e["time_tag_ms"].get<double>() / 1000.0;
        std::size_t after = 1;
        while (after < records.size() &&
               (F64(records[after].payload, 8) < t || U32(records[after].payload, 4) != 0))
            ++after;
        std::size_t before = after - 1;
        while (before > 1 && U32(records[before].payload, 4) != 0)
            --before;
        ASSERT_LT(after, records.size());
        const Bytes a = records[before].payload, b = records[after].payload;
        const double w = (F64(b, 8) - t) / (F64(b, 8) - F64(a, 8));
        EXPECT_NEAR(w * F64(a, 16) + (1 - w) * F64(b, 16), e["grid_x"].get<double>(), 1e-6);
        EXPECT_NEAR(e["grid_x"].get<double>(), 1000.5 + e["east_m"].get<double>(), 1e-9);
        EXPECT_NEAR(e["sounder_depth1_m"].get<double>(), e["depth_m"].get<double>(), 1e-12);
    }
}

TEST_F(SynthFiles, SuiteRawLineFilesHoldThePlanAndMarkUnusableRecords) {
    const auto d = ParseSurveyDescription(std::string(kSuiteSurvey) +
                                          "[Suite]\nLineFiles = raw\nBadRecordEvery = 4\n");
    WriteSurvey(d, folder_);
    EXPECT_EQ(Read(folder_ / "reach/edit/reach.log"),
              "reach_001_0959.RAW\r\nreach_002_1000.RAW\r\n");
    const std::string text = Read(folder_ / "reach/edit/reach_001_0959.RAW");
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 4U + 4U * 47U) << "records from 35988.37 s every 0.5 s to 36011.37 s";
    EXPECT_EQ(lines[0], "RAWLINE 1");
    EXPECT_EQ(lines[1], "NAME reach 001");
    EXPECT_EQ(lines[2], "PLAN 500000.000 5000000.000");
    EXPECT_EQ(lines[3], "PLAN 500004.750 5000000.000");
    EXPECT_EQ(lines[4], "35988.370 POS 499999.593 5000000.000");
    EXPECT_EQ(lines[5], "35988.370 DEPTH 1.014 1.114");
    EXPECT_EQ(lines[6], "35988.370 HPR 93.000 0.000 0.000");
    EXPECT_EQ(lines[7], "35988.370 VERT 0.000");
    EXPECT_EQ(lines[16].substr(0, 17), "35989.870 BADPOS ") << "the fourth record";
    EXPECT_EQ(lines.back().substr(0, 10), "36011.370 ");
}

TEST(SynthSuite, PlannedLineRecordIsTheOneAskedFor) {
    const auto d = ParseSurveyDescription(std::string(kSuiteSurvey) +
                                          "[Suite]\nLineFiles = kq2\nGridX = -0.5\n");
    const SyntheticLine line = GenerateLine(d, 0);
    const SuiteLine suiteLine = MakeSuiteLine(d, line);
    const auto first = [&](PlannedLineRecord type) {
        const auto bytes = EncodeEditedFile(suiteLine, type);
        return SplitEditedFile(bytes).front();
    };
    EXPECT_EQ(first(PlannedLineRecord::None).type, 0x70);
    const auto bytes = EncodeEditedFile(suiteLine, PlannedLineRecord::Points32);
    const auto records = SplitEditedFile(bytes);
    EXPECT_EQ(records[0].type, 0x0E);
    const Bytes plan = records[0].payload;
    ASSERT_EQ(plan.size(), 260U + 10U) << "the name and its zero byte";
    EXPECT_EQ(U16(plan, 0), 2);
    EXPECT_EQ(static_cast<std::int32_t>(U32(plan, 4)), -1) << "-0.5 rounds away from 0";
    EXPECT_EQ(static_cast<std::int32_t>(U32(plan, 4 + 4)), 4) << "4.25 rounds to 4";
    EXPECT_EQ(static_cast<std::int32_t>(U32(plan, 132)), 5'000'000);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&plan[260])), "reach 001");
}

TEST(SynthSuite, RefusesNavigationThatCrossesMidnight) {
    for (const char* start : {"2024-05-14T23:59:50.00", "2024-05-14T00:00:01.00"}) {
        const auto d =
            ParseSurveyDescription("[Survey]\nStart = " + std::string(start) +
                                   "\n[Track]\nEnsembles = 10\n[Suite]\nLineFiles = raw\n");
        EXPECT_NE(Message([&] { MakeSuiteLine(d, GenerateLine(d, 0)); }).find("within one day"),
                  std::string::npos)
            << start;
    }
}

}  // namespace
}  // namespace fluvex::synth
