#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "readers/CRDIReader.h"
#include "synth/SuiteLineFiles.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"
#include "synth/SynthError.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::synth {
namespace {

namespace fs = std::filesystem;


std::string Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const SynthError& error) {
        return error.what();
    }
    return "(no error)";
}

// ---------------------------------------------------------------------------------------------

// ---------------------------------------------------------------------------------------------

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

// Frames past 4095 bytes are taken only with a right checksum: the reader refuses any other.
TEST_F(SynthFiles, ManyCellsWithNavigationExceed4095BytesAndReadBack) {
    const auto d = ParseSurveyDescription(
        "[Section]\nProfile = rectangular\nDepth = 60\n[Track]\nEnsembles = 5\n"
        "[Instrument]\nCells = 200\n[Navigation]\nBlocks = 104 105 2000\n");
    CRDIReader reader;
    const fs::path file = test::WriteLineFile(Root() / "big.PD0", GenerateSurvey(d).front());
    EXPECT_GT(fs::file_size(file) / 5, 4097U);
    ASSERT_EQ(reader.Open(file), OpenStatus::Ok);
    EXPECT_EQ(reader.Count(), 5);
    EXPECT_TRUE(reader.Warnings().empty());
    EXPECT_EQ(reader.Ensembles()[4].fixedLeader.CellCount(), 200);
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
