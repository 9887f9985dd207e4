#include "export/TextExports.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "TestEnvironment.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/BeamGeometry.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

// Pings a second apart from 01:02:05.50 (3725.5 s into the day), crossing east at 1 m/s, heading
// east unless told otherwise, through water flowing north at 0.5 m/s over a bed 3 m down; GGA
// positions. Cells of 25 cm from 0.58 m: the deepest ones lie below the bed.
std::string Crossing(int pings, const std::string& instrument = "",
                     const std::string& attitude = "") {
    return "[Survey]\nName = ex\nStart = 2024-05-14T01:02:05.50\n"
           "[Section]\nProfile = rectangular\nWidth = 40\nDepth = 3\n[Water]\nSpeed = 0.5\n"
           "[Track]\nEnsembles = " +
           std::to_string(pings) + "\nStartStation = 8\nSpeed = 1\n[Instrument]\nCells = 12\n" +
           instrument + "[Attitude]\n" + attitude +
           "[Navigation]\nBlocks = 104\nLatitude = 47\nLongitude = 8\n";
}

// Columns of a CSV row of that line: 10 leading, 4 bottom track, 12 cells of 5, then 12 of 4.
constexpr std::size_t kFirstCellColumn = 14;
constexpr std::size_t kFirstAmplitudeColumn = kFirstCellColumn + 12 * 5;
constexpr std::size_t kColumns = kFirstAmplitudeColumn + 12 * 4;

Row Split(std::string_view text, std::string_view separator) {
    Row parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) return parts;
        start = end + separator.size();
    }
}

// The fields [first, last) of a row are all `expected`.
void ExpectAll(const Row& row, std::size_t first, std::size_t last, const char* expected) {
    for (std::size_t column = first; column < last; ++column)
        EXPECT_EQ(row.at(column), expected) << "column " << column;
}

void KeepCells(synth::Pd0Ensemble& ping, std::size_t cells) {
    ping.velocity.resize(cells);
    ping.correlation.resize(cells);
    ping.intensity.resize(cells);
    ping.percentGood.resize(cells);
}

class TextExports : public test::GridSurvey {
protected:
    // The lines of a text export, each split at `separator`. Every line ends in CR LF.
    std::vector<Row> Lines(const fs::path& file, std::string_view separator) {
        const std::string text = ReadText(file);
        EXPECT_TRUE(text.ends_with("\r\n"));
        std::vector<Row> lines;
        for (const std::string& line : Split(text.substr(0, text.size() - 2), "\r\n")) {
            EXPECT_EQ(line.find('\n'), std::string::npos);
            lines.push_back(Split(line, separator));
        }
        return lines;
    }

    // The CSV of line 0, checking that every line ends with a comma.
    std::vector<Row> Csv() {
        const fs::path file = Root() / "out.csv";
        EXPECT_TRUE(ExportCsv(database, file, 0, CurrentQuantityOptions()));
        std::vector<Row> rows = Lines(file, ",");
        for (Row& row : rows) {
            EXPECT_EQ(row.back(), "");
            row.pop_back();
        }
        return rows;
    }
};

// Pings of 10, 12 and 8 cells, the last without a position: 12 cell groups, the shorter rows
// padded with zero groups, and four empty position fields.
TEST_F(TextExports, CsvPadsEveryRowToTheLongestPing) {
    synth::SyntheticLine line = test::FirstLine(Crossing(3));
    KeepCells(line.ensembles[0], 10);
    KeepCells(line.ensembles[2], 8);
    line.ensembles[2].navigation.clear();
    Load(line, "ex_001.PD0");

    const std::vector<Row> rows = Csv();
    ASSERT_EQ(rows.size(), 4U);
    // The headings' pattern is check_exports.py's; here every row, headings too, has 12 groups.
    for (std::size_t k = 0; k < rows.size(); ++k)
        ASSERT_EQ(rows[k].size(), kColumns);
    EXPECT_EQ(rows[3][0], "2");
    // The first ping: time (seconds padded to two characters only), attitude, then the bottom
    // track (the bed seen from the boat: 1 m/s west) and the first cell (water over ground).
    const Row& first = rows[1];
    EXPECT_EQ(Row(first.begin() + 1, first.begin() + 5),
              (Row{"01:02:5.500", "90.0", "0.00", "0.00"}));
    EXPECT_EQ(Row(first.begin() + 10, first.begin() + kFirstCellColumn + 5),
              (Row{"-1.00", "0.00", "1.00", "270.00", "0.00", "0.50", "0.00", "0.50", "0.00"}));
    // Latitude before longitude, each to six decimals; the grid position to two.
    EXPECT_TRUE(std::regex_match(first[6] + "," + first[8] + "," + first[9],
                                 std::regex("[0-9]+\\.[0-9]{2},47\\.[0-9]{6},8\\.[0-9]{6}")));
    ExpectAll(rows[3], 6, 10, "");  // no position

    // Padding: two groups after 10 cells, four after 8, in velocities and amplitudes.
    ExpectAll(rows[1], kFirstCellColumn + 50, kFirstAmplitudeColumn, "0");
    ExpectAll(rows[3], kFirstAmplitudeColumn + 32, kColumns, "0");
    // Cell 11 of the 12-cell ping lies below the bed: bad, and echoes at the noise floor.
    ExpectAll(rows[2], kFirstCellColumn + 55, kFirstAmplitudeColumn, "0");
    EXPECT_EQ(rows[2][kFirstAmplitudeColumn + 44], "040");
}

TEST_F(TextExports, CsvBottomTrackColumnsFollowTheSecondPing) {
    synth::SyntheticLine firstWithout = test::FirstLine(Crossing(3));
    firstWithout.ensembles[0].bottomTrack.reset();
    Load(firstWithout, "first.PD0");
    const std::vector<Row> rows = Csv();
    EXPECT_EQ(rows[0][10], "BT E(m/s)");
    ExpectAll(rows[1], 10, 14, "0");

    database.Clear();
    synth::SyntheticLine secondWithout = test::FirstLine(Crossing(3));
    secondWithout.ensembles[1].bottomTrack.reset();
    Load(secondWithout, "second.PD0");
    EXPECT_EQ(Csv()[0][10], "Cell0 E(m/s)");

    database.Clear();
    Load(test::FirstLine(Crossing(1)), "single.PD0");
    const std::vector<Row> one = Csv();
    ASSERT_EQ(one.size(), 2U);
    EXPECT_EQ(one[0][10], "Cell0 E(m/s)");
    EXPECT_EQ(one[1].size(), kColumns - 4);
}

// Without a geodesy the grid position stays and latitude and longitude are empty; the XYZ file
// holds the positioned pings with the CSV's values.
TEST_F(TextExports, XyzHoldsThePositionedPingsAsTheCsvDoes) {
    synth::SyntheticLine line = test::FirstLine(Crossing(3));
    line.ensembles[1].navigation.clear();
    Load(line, "ex_001.PD0");
    database.SetGeodesy(nullptr);
    const std::vector<Row> rows = Csv();
    ExpectAll(rows[1], 8, 10, "");
    ExpectAll(rows[2], 6, 10, "");

    const fs::path file = Root() / "out.xyz";
    ASSERT_TRUE(ExportXyz(database, 0, file, CurrentQuantityOptions()));
    const std::vector<Row> points = Lines(file, " ");
    ASSERT_EQ(points.size(), 2U);
    for (std::size_t k = 0; k < 2; ++k) {
        const Row& row = rows[k == 0 ? 1 : 3];
        EXPECT_EQ(points[k], (Row{row[6], row[7], row[5]}));
    }
}

TEST(ExportFileName, KeepsTheNameUpToItsLastDot) {
    const fs::path folder = "/data/out";
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\survey\\raw\\ex_001.000", "/data/out/ex_001.csv"},
        {"line.v2.PD0", "/data/out/line.v2.csv"},
        {"line7", "/data/out/line7.csv"}};
    for (const auto& [lineName, expected] : cases)
        EXPECT_EQ(ExportFileName(folder, lineName, ".csv"), expected) << lineName;
    // Cut to 259 characters, never inside a character: "é" is two bytes from byte 258.
    const std::string longName = std::string(248, 'a') + "\xC3\xA9" + "b.PD0";
    const std::string cut = ExportFileName(folder, longName, ".xyz").string();
    EXPECT_EQ(cut, "/data/out/" + std::string(248, 'a'));
}

// Nothing is left under the target's name or beside it when an export cannot be made, and a
// file already there keeps its content.
TEST_F(TextExports, AFailedExportLeavesNoFileBehind) {
    Load(test::FirstLine(Crossing(3)), "ex_001.PD0");
    const fs::path kept = Root() / "kept.csv";
    WriteText(kept, "old");
    EXPECT_FALSE(ExportCsv(database, kept, 4, CurrentQuantityOptions()));  // no such line
    EXPECT_FALSE(ExportCsv(database, Root() / "no-folder" / "a.csv", 0, CurrentQuantityOptions()));
    EXPECT_FALSE(ExportXyz(database, 0, Root() / "no-folder" / "a.xyz", CurrentQuantityOptions()));
    EXPECT_FALSE(ExportXyzi(database, 0, Root() / "no-folder" / "a.xyz", CurrentQuantityOptions()));
    fs::create_directories(Root() / "a-folder.csv");
    EXPECT_FALSE(ExportCsv(database, Root() / "a-folder.csv", 0, CurrentQuantityOptions()));
    EXPECT_EQ(ReadText(kept), "old");
    for (const auto& entry : fs::directory_iterator(Root()))
        EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();

    AppSettings().CurrentLine = 0;  // -1: the current line
    EXPECT_TRUE(ExportCsv(database, kept, -1, CurrentQuantityOptions()));
    EXPECT_TRUE(ReadText(kept).starts_with("Number,"));
}

// The beam cells of a crossing with the heading swinging through 300 degrees and pitch and roll
// through +-4, against the generator's rotation of its own beams: each cell lies where its beam
// reaches the cell's depth below the transducer, at that depth. Heading and pitch are exact; the
// roll is applied to the beam's tilt as a whole, which for the fore and aft beams is a second-
// order error of sin(roll) (1 - cos(beam angle)) of the slant range (at most 3.3 cm here, on the
// 30-degree head). Two decimals add up to 7 mm to a horizontal distance. This is the only check
// of the PD0 heads' beam directions, convex and concave.
constexpr int kRollAmplitudeDegrees = 4;
constexpr double kRadian = std::numbers::pi / 180;  // per degree
constexpr double kTwoDecimalsHorizontal = 0.0071;

struct HeadCase {
    const char* name;
    int beamAngle;
    bool convex;
};

class XyziGeometry : public TextExports, public testing::WithParamInterface<HeadCase> {};

TEST_P(XyziGeometry, BeamCellsLieAlongTheirBeams) {
    const HeadCase head = GetParam();
    const synth::SyntheticLine line = test::FirstLine(
        Crossing(12,
                 "BeamAngle = " + std::to_string(head.beamAngle) +
                     "\nConvex = " + (head.convex ? "1" : "0") + "\n",
                 "Heading = 40\nHeadingAmplitude = 150\nHeadingPeriod = 11\n"
                 "PitchAmplitude = 4\nPitchPeriod = 5\nRollPeriod = 3\nRollAmplitude = " +
                     std::to_string(kRollAmplitudeDegrees) + "\n"));
    Load(line, "ex_001.PD0");
    const fs::path file = Root() / "out.xyz";
    ASSERT_TRUE(ExportXyzi(database, 0, file, CurrentQuantityOptions()));
    const std::vector<Row> points = Lines(file, " ");

    constexpr std::size_t kCells = 12;
    // Cell tops halve the 25 cm cell in whole centimetres: 0.2 + 0.5 - 0.12 m.
    const double draft = 0.2, firstCellTop = 0.58, cellSize = 0.25;
    const synth::JanusHead beams(head.beamAngle, head.convex);
    const auto pings = database.Ensembles(0);
    ASSERT_EQ(points.size(), pings.size() * kCells * 4);
    const double rollSplit =
        std::sin(kRollAmplitudeDegrees * kRadian) * (1 - std::cos(head.beamAngle * kRadian));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::size_t k = i / (kCells * 4), cell = i / 4 % kCells, beam = i % 4;
        const synth::EnsembleTruth& truth = line.truth[k];
        const synth::Vec3 direction =
            synth::InstrumentToEarth(truth.headingDeg, truth.pitchDeg, truth.rollDeg) *
            beams.BeamDirection(beam);
        const double depth = firstCellTop + static_cast<double>(cell) * cellSize;
        const double along = (depth - draft) / -direction.z;
        const double x = pings[k].navigation.x + along * direction.x;
        const double y = pings[k].navigation.y + along * direction.y;
        SCOPED_TRACE(testing::Message() << "ping " << k << " cell " << cell << " beam " << beam);
        ASSERT_EQ(points[i].size(), 4U);
        EXPECT_NEAR(std::stod(points[i][2]), depth, 0.005);
        EXPECT_EQ(points[i][3], std::to_string(line.ensembles[k].intensity[cell][beam]));
        EXPECT_LE(std::hypot(std::stod(points[i][0]) - x, std::stod(points[i][1]) - y),
                  kTwoDecimalsHorizontal + rollSplit * along);
    }
}

INSTANTIATE_TEST_SUITE_P(Heads, XyziGeometry,
                         testing::Values(HeadCase{"Concave25", 25, false},
                                         HeadCase{"Convex30", 30, true}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace fluvex
