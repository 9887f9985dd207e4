// Real RiverSurveyor M9 transects (tests/data/sontek) read from their MATLAB exports, against
// the acquisition software's own per-sample summary (.sum) and its measured discharge.

#include <gtest/gtest.h>
#include <matio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/VelocityProcessing.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "project/SettingsOptions.h"
#include "readers/YDFFReader.h"
#include "services/Geodesy.h"
#include "services/MatFileLayout.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/MatlabExportWriter.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;

fs::path Data(const std::string& name) {
    return fs::path(FLUVEX_TEST_DATA) / "sontek" / name;
}

// "52° 20' 23.26"" (Latin-1 degree sign) as degrees.
double DmsDegrees(const std::string& text) {
    double degrees = 0, minutes = 0, seconds = 0;
    std::string digits;
    for (const char c : text)
        digits += (std::isdigit(static_cast<unsigned char>(c)) || c == '.') ? c : ' ';
    std::istringstream(digits) >> degrees >> minutes >> seconds;
    return degrees + minutes / 60 + seconds / 3600;
}

// The summary's rows (CR line ends), each split at commas.
std::vector<std::vector<std::string>> SummaryRows(const std::string& name) {
    std::ifstream in(Data(name), std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line, '\r');  // heading
    while (std::getline(in, line, '\r')) {
        if (!line.empty() && line.front() == '\n') line.erase(0, 1);
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');)
            fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

// A MATLAB file of one variable that is no transect.
void WriteOtherMatFile(const fs::path& file) {
    mat_t* mat = Mat_CreateVer(file.c_str(), nullptr, MAT_FT_MAT5);
    ASSERT_NE(mat, nullptr);
    double values[3] = {1, 2, 3};
    size_t dims[2] = {3, 1};
    matvar_t* x = Mat_VarCreate("x", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, values, 0);
    Mat_VarWrite(mat, x, MAT_COMPRESSION_NONE);
    Mat_VarFree(x);
    Mat_Close(mat);
}

class SonTekExportTest : public test::TemporaryHostFolders,
                         public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
    }
};

// Each column equals the software's to the decimals it prints. Summary columns (index): 7
// heading, 8 pitch, 9 roll, 10 bottom-track depth, 11 vertical-beam depth, 5 and 6 latitude and
// longitude (hundredths of an arc second), 19 boat speed. The bottom-track depth is the mean of
// four slant ranges the record holds in whole centimetres: it may also be off by their rounding,
// half a centimetre times cos 25 degrees.
TEST_P(SonTekExportTest, EverySampleMatchesTheSoftwaresSummary) {
    auto geodesy = Geodesy::Create("auto", 1.0).geodesy;
    YDFFReader reader(geodesy.get());
    ASSERT_EQ(reader.Open(Data(GetParam() + ".mat")), OpenStatus::Ok) << reader.OpenError();
    const auto rows = SummaryRows(GetParam() + ".sum");
    ASSERT_EQ(reader.Count(), static_cast<int>(rows.size()));
    for (int i = 0; i < reader.Count(); ++i) {
        Ensemble e;
        ASSERT_TRUE(reader.GetEnsemble(i, e));
        const auto& row = rows[static_cast<std::size_t>(i)];
        ASSERT_GE(row.size(), 20U);
        SCOPED_TRACE("sample " + row[0]);
        EXPECT_EQ(e.variableLeader.EnsembleNumber(), std::stoi(row[0]));
        const QuantityOptions options = CurrentQuantityOptions();
        const struct {
            double value;
            std::size_t column;
            double half;  // of the last printed decimal, and for latitude and longitude in "
        } columns[] = {
            {Heading(e, options.attitude), 7, 0.05}, {Pitch(e, options.attitude), 8, 0.05},
            {Roll(e, options.attitude), 9, 0.05},    {Depth(e, options, 2), 10, 0.005 + 0.0046},
            {Depth(e, options, 3), 11, 0.005},       {e.navigation.speed / 1000, 19, 0.0005}};
        for (const auto& c : columns)
            EXPECT_NEAR(c.value, std::stod(row[c.column]), c.half * 1.0001)
                << "column " << c.column;
        ASSERT_TRUE(e.navigation.positionValid);
        const GeographicPoint position = geodesy->ToGeographic(e.navigation.x, e.navigation.y);
        EXPECT_NEAR(position.latitude * 3600, DmsDegrees(row[5]) * 3600, 0.005 * 1.01);
        EXPECT_NEAR(position.longitude * 3600, DmsDegrees(row[6]) * 3600, 0.005 * 1.01);
    }
}

INSTANTIATE_TEST_SUITE_P(RealTransects, SonTekExportTest,
                         ::testing::Values("20250117164416", "20250130113805"));

// The measured discharge with the default settings against the software's Summary.Middle_Q of
// the last sample (m³/s), the edge samples left out of it as the software leaves them.
TEST_F(SonTekExportTest, MeasuredDischargeIsTheSoftwares) {
    Database& database = AppDatabase();
    RecordingPrompt prompt;
    const struct {
        const char* name;
        double middleQ;
    } transects[] = {{"20250117164416", 0.4383}, {"20250130113805", 1.4054}};
    for (const auto& transect : transects) {
        database.Clear();
        ASSERT_TRUE(database.AddLine(Data(std::string(transect.name) + ".mat"), {}, prompt));
        const LineDischarge q = database.ComputeLineDischarge(0);
        EXPECT_NEAR(q.measured, transect.middleQ, 0.02 * transect.middleQ) << transect.name;
    }
}

// Which files open, and what a surveyor is told about those that do not. matio allocates what a
// file declares: forged sizes must be refused before it sees them.
TEST_F(SonTekExportTest, RecordingsOpenFromTheirExportAndDamagedExportsAreRefused) {
    const fs::path folder = Root() / "survey";
    fs::create_directories(folder);
    fs::copy_file(Data("20250117164416.riv"), folder / "20250117164416.RIV");
    fs::copy_file(Data("20250117164416.mat"), folder / "20250117164416.mat");
    WriteOtherMatFile(folder / "other.mat");
    const std::string plain = ReadText(folder / "other.mat");
    ASSERT_GT(plain.size(), 168U);
    std::string forgedDims = plain;  // first dimension at 128 + 8 + 16 + 8
    forgedDims.replace(160, 4, "\xFF\xFF\xFF\x7F");
    std::string forgedSize = plain;  // the variable's byte count
    forgedSize[134] = '\xFF';
    WriteText(folder / "dims.mat", forgedDims);
    WriteText(folder / "size.mat", forgedSize);
    WriteText(folder / "notes.mat", "not a MATLAB file at all");
    const struct {
        const char* file;
        const char* message;  // empty: opens
    } cases[] = {
        {"20250117164416.RIV", ""},
        {"notes.mat", ": not a MATLAB 5 MAT-file"},
        {"other.mat", ": not a SonTek transect export"},
        {"dims.mat", ": one of its variables is damaged"},
        {"size.mat", ": its variables are cut short"},
    };
    for (const auto& c : cases) {
        RecordingPrompt prompt;
        const fs::path file = folder / c.file;
        const OpenFilesOutcome outcome =
            OpenSurveyFiles(AppDatabase(), std::span(&file, 1), prompt);
        SCOPED_TRACE(c.file);
        if (*c.message == '\0') {
            EXPECT_EQ(outcome.failedFiles, 0);
            EXPECT_EQ(AppDatabase().EnsembleCount(0), 34);
            EXPECT_TRUE(prompt.Messages().empty());
            continue;
        }
        ASSERT_EQ(prompt.Messages().size(), 1U);
        EXPECT_EQ(prompt.Messages()[0].text.rfind("Cannot read " + file.string() + c.message, 0),
                  0U)
            << prompt.Messages()[0].text;
    }
}

// A generated transect written as the software exports it: every processed cell is the water
// velocity the generator put there (the export's east-north-up frame), and the line's discharge
// its analytic one. The attitude swings, so that the conversion to instrument axes and back
// through the family's attitude matrix is exercised on every ping.
TEST_F(SonTekExportTest, GeneratedExportProcessesToItsTruth) {
    const auto description = synth::ParseSurveyDescription(
        "[Section]\nDepth = 4\n[Water]\nProfile = uniform\nSpeed = 0.7\nDirection = 20\n"
        "[Track]\nEnsembles = 60\nInterval = 1\nStartStation = 8\nSpeed = 0.5\n"
        "[Attitude]\nHeading = 80\nHeadingAmplitude = 30\nHeadingPeriod = 17\n"
        "PitchAmplitude = 5\nPitchPeriod = 4.3\nRollAmplitude = 7\nRollPeriod = 3.1\n"
        "[Instrument]\nCells = 30\nCellSize = 0.2\n");
    const synth::SyntheticLine line = synth::GenerateLine(description, 0);
    const fs::path file = Root() / (line.stem + ".mat");
    synth::WriteMatlabExport(description, line, file);
    RecordingPrompt prompt;
    Database& database = AppDatabase();
    ASSERT_TRUE(database.AddLine(file, {}, prompt)) << database.LastOpenError();
    const auto pings = database.Ensembles(0);
    ASSERT_EQ(pings.size(), line.truth.size());
    double largest = 0;
    int badMismatches = 0;
    for (std::size_t k = 0; k < pings.size(); ++k) {
        const synth::EnsembleTruth& truth = line.truth[k];
        EXPECT_NEAR(Depth(pings[k], CurrentQuantityOptions(), 2), truth.depthM, 0.006);
        for (std::size_t cell = 0; cell < pings[k].cells.size(); ++cell) {
            const CellVelocity& processed = pings[k].cells[cell];
            const bool expectedBad = static_cast<int>(cell) >= truth.goodCells;
            if (processed.IsBad() != expectedBad) ++badMismatches;
            if (processed.IsBad() || expectedBad) continue;
            const synth::Vec3 water = 1000.0 * *truth.water[cell];
            largest =
                std::max({largest, std::abs(processed.east - water.x),
                          std::abs(processed.north - water.y), std::abs(processed.up - water.z)});
        }
    }
    EXPECT_EQ(badMismatches, 0);
    // Rounding to the stored millimetre, then the processing's truncated partial sums.
    EXPECT_LE(largest, 6.0);
    const LineDischarge q = database.ComputeLineDischarge(0);
    const double ratio = (q.measured + q.top + q.bottom) / line.line.discharge.Total();
    EXPECT_NEAR(ratio, 1.0, 0.01);
    RecordProperty("discharge_percent", std::to_string(100 * (ratio - 1)));
}

}  // namespace
}  // namespace fluvex
