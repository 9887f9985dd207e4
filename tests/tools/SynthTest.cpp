#include <gtest/gtest.h>
#include <unistd.h>

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

#include "TestEnvironment.h"
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

// ---------------------------------------------------------------------------------------------

TEST(SynthNavigation, CompactBlockRefusesLongitudesBeyondASignedByte) {
    const auto d = ParseSurveyDescription(
        "[Track]\nEnsembles = 2\n[Navigation]\nBlocks = 5410\nLongitude = 151.2\n");
    EXPECT_NE(Message([&] { GenerateSurvey(d); }).find("0x5410"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------

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

class SynthFiles : public test::TemporaryHostFolders {};

TEST_F(SynthFiles, WritesEachLineWithItsTruthAndTheLineList) {
    const auto d = ParseSurveyDescription(
        "[Survey]\nName = reach-2\nLines = 2\n[Track]\n"
        "Ensembles = 12\n");
    const auto written = WriteSurvey(d, Root() / "out");
    EXPECT_EQ(written.size(), 5U);
    EXPECT_EQ(ReadText(Root() / "out" / "reach-2.lines.txt"),
              "reach-2_001.PD0\r\nreach-2_002.PD0\r\n");
    const std::string pd0 = ReadText(Root() / "out" / "reach-2_002.PD0");
    EXPECT_EQ(pd0.size(), EncodeLine(GenerateSurvey(d)[1]).size());
    const auto truth = nlohmann::json::parse(ReadText(Root() / "out" / "reach-2_002.truth.json"));
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
    std::ofstream(Root() / "file") << "x";
    EXPECT_NE(Message([&] { WriteSurvey(d, Root() / "file" / "out"); }).find("cannot create"),
              std::string::npos);
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
