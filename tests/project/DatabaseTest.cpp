#include "project/Database.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "TestEnvironment.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/DatabaseLine.h"
#include "project/SettingsOptions.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

class BorderTest : public test::TemporaryHostFolders {};

TEST_F(BorderTest, TheLastPointOfTheFileMarksTheInsideEvenOdd) {
    Database& database = AppDatabase();
    const auto file = Root() / "border.txt";
    // Any one separator; junk and out-of-range lines are skipped; the reference lies outside.
    WriteText(file, "0,0\r\n100\t0\r\nnot a point\r\n100;100\r\n1e31,5\r\n0 100\r\n150,50\r\n");
    ASSERT_TRUE(database.LoadBorderFile(file));
    EXPECT_EQ(database.Border().size(), 4U);
    EXPECT_FALSE(database.InsideBorder(50, 50));
    EXPECT_TRUE(database.InsideBorder(200, 50));

    WriteText(file, "0,0\n1,0\n1,1\n");
    EXPECT_FALSE(database.LoadBorderFile(file));
    EXPECT_TRUE(database.Border().empty());
    EXPECT_TRUE(database.InsideBorder(1e6, 1e6));  // no border: everything counts
    EXPECT_FALSE(database.LoadBorderFile(Root() / "none.txt"));

    // Even-odd, with vertices nudged up: level with the bottom edge is inside, with the top
    // edge outside.
    const std::vector<BorderPoint> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    const std::tuple<double, double, int> cases[] = {{5, 5, 1},  {-1, 5, 0}, {11, 5, 0},
                                                     {5, 11, 0}, {5, 0, 1},  {5, 10, 0}};
    for (const auto& [x, y, inside] : cases)
        EXPECT_EQ(PointInPolygon(square, x, y), inside) << x << ", " << y;
    const std::vector<BorderPoint> notch{{0, 0}, {10, 0}, {10, 10}, {5, 2}, {0, 10}};
    EXPECT_EQ(PointInPolygon(notch, 5, 6), 0);
    EXPECT_EQ(PointInPolygon(notch, 2, 3), 1);
}

// Two crossings of a synthetic river with GGA positions, loaded as single instrument files.
class DatabaseLines : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = db\nLines = 2\n[Section]\nWidth = 40\nDepth = 3\n"
            "[Track]\nEnsembles = 30\nStartStation = 4\nSpeed = 1\n"
            "[Navigation]\nBlocks = 104\nLatitude = 47\nLongitude = 8\n");
        geodesy_ = Geodesy::Create("EPSG:32632", 1.0).geodesy;
        database.SetGeodesy(geodesy_.get());
        for (const char* name : {"db_001.PD0", "db_002.PD0"}) {
            const auto line = synth::GenerateLine(description, database.LineCount());
            ASSERT_TRUE(database.AddLine(test::WriteLineFile(Root() / name, line), {}, prompt));
        }
    }

    std::vector<double> Distances(int line) {
        std::vector<double> distances;
        for (const Ensemble& ping : database.Ensembles(line))
            distances.push_back(ping.navigation.distance);
        return distances;
    }

    Database& database = AppDatabase();
    RecordingPrompt prompt;
    std::unique_ptr<Geodesy> geodesy_;
};

TEST_F(DatabaseLines, HoldsTheLinesAndTheirRangesRefusesOtherIndicesKeepsOneLine) {
    ASSERT_EQ(database.LineCount(), 2);
    EXPECT_EQ(std::tuple(database.LineName(1), database.LineName(600), database.EnsembleCount(0),
                         database.EnsembleCount(2)),
              std::tuple("db_002.PD0", "", 30, 0));
    EXPECT_TRUE(prompt.Messages().empty());

    const auto distances = database.DistanceRange(0);
    ASSERT_TRUE(distances);
    EXPECT_EQ(distances->minimum, 0);
    EXPECT_NEAR(distances->maximum, 29, 0.5);  // 29 s at 1 m/s
    const auto velocities = database.VelocityRange(0, kNorthVelocity);
    ASSERT_TRUE(velocities);
    EXPECT_NEAR(velocities->maximum, 0.5, 0.002);  // the uniform stream, in m/s
    Database empty;
    EXPECT_FALSE(empty.ExtentsAll());
    EXPECT_FALSE(empty.VelocityRangeAll());

    // Removing a line keeps at least one.
    AppSettings().CurrentLine = 1;
    database.RemoveLine(0);
    ASSERT_EQ(database.LineName(0), "db_002.PD0");
    EXPECT_EQ(AppSettings().CurrentLine, 0);
    database.RemoveLine(-1);
    EXPECT_EQ(database.LineCount(), 1);
}

TEST_F(DatabaseLines, FindsPingsByTimeAndDistanceWhichReversesWithThePlannedLine) {
    const auto pings = database.Ensembles(0);
    const auto time = [](const Ensemble& ping) {
        return EnsembleTimeOf(ping, AppSettings().Time_Type());
    };
    Ensemble found;
    ASSERT_TRUE(database.EnsembleAtTime(0, time(pings[7]) + 0.01, found));
    EXPECT_EQ(found.variableLeader.EnsembleNumber(), pings[8].variableLeader.EnsembleNumber());
    EXPECT_FALSE(database.EnsembleAtTime(0, time(pings.back()) + 1, found));
    EXPECT_FALSE(database.EnsembleAtTime(5, 0, found));

    ASSERT_TRUE(database.NearestEnsembleByDistance(0, pings[12].navigation.distance + 0.1, found));
    EXPECT_EQ(found.variableLeader.EnsembleNumber(), pings[12].variableLeader.EnsembleNumber());
    ASSERT_TRUE(database.LastPositionedEnsemble(1, found));
    EXPECT_EQ(found.variableLeader.EnsembleNumber(),
              database.Ensembles(1).back().variableLeader.EnsembleNumber());

    // Reversing the planned line reverses distance along line.
    const PlannedLine* planned = database.PlannedLine(0);
    ASSERT_NE(planned, nullptr);
    EXPECT_EQ(planned->points.size(), 30U);  // fewer pings than 128: every one
    database.ComputeDistanceAlongLine(0);
    const std::vector<double> forward = Distances(0);
    const double length = std::hypot(planned->points.back().x - planned->points.front().x,
                                     planned->points.back().y - planned->points.front().y);
    database.ReversePlannedLine(0);
    const std::vector<double> backward = Distances(0);
    for (std::size_t k = 0; k < forward.size(); ++k)
        EXPECT_NEAR(forward[k] + backward[k], length, 1e-6) << "ping " << k;
    EXPECT_NEAR(planned->points.back().cumulativeDistance, length, 0.5);
}

// Each bound of the extents is that of the line's positions. The way back retraces the way
// there, so the line cut shorter at both ends lies inside the other, which holds every bound of
// all lines: first the first line, then the second.
TEST_F(DatabaseLines, ExtentsAreTheBoundsOfThePositions) {
    const auto positions = [this](int line) {
        PlanRect box{1e300, 1e300, -1e300, -1e300};
        for (const Ensemble& ping : database.Ensembles(line)) {
            box.minX = std::min(box.minX, ping.navigation.x);
            box.maxX = std::max(box.maxX, ping.navigation.x);
            box.minY = std::min(box.minY, ping.navigation.y);
            box.maxY = std::max(box.maxY, ping.navigation.y);
        }
        return box;
    };
    const auto expectExtents = [this](int line, const PlanRect& expected) {
        EXPECT_EQ(line < 0 ? database.ExtentsAll() : database.Extents(line), expected) << line;
    };
    for (const auto& [shorter, cut] : {std::pair{1, 3}, std::pair{0, 6}}) {
        for (int ping = 0; ping < cut; ++ping) {
            database.RemoveEnsemble(shorter, 0);
            database.RemoveEnsemble(shorter, database.EnsembleCount(shorter) - 1);
        }
        const PlanRect inside = positions(shorter);
        const PlanRect outside = positions(1 - shorter);
        ASSERT_TRUE(outside.minX < inside.minX && outside.maxX > inside.maxX &&
                    outside.minY < inside.minY && outside.maxY > inside.maxY);
        expectExtents(shorter, inside);
        expectExtents(1 - shorter, outside);
        expectExtents(-1, outside);
    }
}

// A line whose every cell was deleted has no velocity range; nor has a survey of such lines.
TEST_F(DatabaseLines, VelocityRangeAllSpansTheLinesWithValues) {
    const auto deleteEveryCell = [this](int line) {
        const auto pings = database.Ensembles(line);
        for (int ping = 0; ping < static_cast<int>(pings.size()); ++ping)
            for (int cell = 0; cell < CellCount(pings[static_cast<std::size_t>(ping)]); ++cell)
                database.DeleteCell(line, ping, cell);
    };
    deleteEveryCell(0);
    EXPECT_FALSE(database.VelocityRange(0));
    const auto line = database.VelocityRange(1, kEastVelocity);
    ASSERT_TRUE(line);
    EXPECT_EQ(database.VelocityRangeAll(kEastVelocity), line);
    deleteEveryCell(1);
    EXPECT_FALSE(database.VelocityRangeAll());
}

// The shallowest cell is the blanking of the pings that have a depth: pings without one (here
// the first file's, recorded without bottom track) do not count.
TEST_F(DatabaseLines, DepthRangeStartsAtTheBlankingOfPingsWithADepth) {
    const auto bytes = [](const char* instrument) {
        const auto encoded = synth::EncodeLine(
            synth::GenerateLine(synth::ParseSurveyDescription(
                                    "[Section]\nWidth = 40\nDepth = 3\n[Track]\nEnsembles = 10\n"
                                    "StartStation = 4\nSpeed = 1\n[Instrument]\n" +
                                    std::string(instrument)),
                                0));
        return std::string(encoded.begin(), encoded.end());
    };
    const auto joined = Root() / "joined.PD0";
    WriteText(joined,
              bytes("Blank = 1.0\nBottomTrack = 0\n") + bytes("Blank = 0.5\nBottomTrack = 1\n"));
    ASSERT_TRUE(database.AddLine(joined, {}, prompt));
    const auto depths = database.DepthRange(2);
    ASSERT_TRUE(depths);
    EXPECT_NEAR(depths->minimum, 0.5, 1e-9);
    EXPECT_GT(depths->maximum, 2.0);
}

// Distance along line is the orthogonal projection on the line from the first to the last
// planned point: exact for a boat off a north-south line far from the grid's origin.
TEST_F(DatabaseLines, DistanceAlongLineProjectsOntoTheLine) {
    PlannedLine planned;
    planned.AppendMeasured(500000, 5200000);
    planned.AppendMeasured(500000, 5200100);
    CRDIReader reader;
    ASSERT_EQ(reader.Open(database.LinePath(0)), OpenStatus::Ok);
    std::vector<NavRecord> records(static_cast<std::size_t>(reader.Count()));
    records[1] = {.positionValid = true, .x = 500005, .y = 5200050};  // 5 m east of the line
    records[2] = {.positionValid = true, .x = 499990, .y = 5199990};  // behind the start
    reader.ApplyNavigation(records);
    MeasureDistanceAlongLine(reader, planned);
    const auto pings = reader.Ensembles();
    EXPECT_DOUBLE_EQ(pings[0].navigation.distance, 50);  // before the first fix: that fix
    EXPECT_DOUBLE_EQ(pings[1].navigation.distance, 50);
    EXPECT_DOUBLE_EQ(pings[2].navigation.distance, -10);
    EXPECT_DOUBLE_EQ(pings[3].navigation.distance, -10);  // no fix: the last one before

    PlannedLine point;
    point.AppendMeasured(1, 1);
    point.AppendMeasured(1, 1);
    MeasureDistanceAlongLine(reader, point);
    EXPECT_EQ(reader.Ensembles()[1].navigation.distance, 0);
}

}  // namespace
}  // namespace fluvex
