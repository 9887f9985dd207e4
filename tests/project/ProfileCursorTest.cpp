#include "project/ProfileCursor.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "TestEnvironment.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"

namespace fluvex {
namespace {

constexpr int kCells = 10;

// A loaded ping in metres: cell tops at 1.0, 1.5 ... 5.5 m (bin 1 at 75 cm, 50 cm cells,
// transducer 0.5 m deep), every cell flowing east at 100 mm/s, the sounder's bed at 10 m.
Ensemble Ping(double distance, std::uint32_t timeTagMs = 0) {
    Ensemble ping = test::MakePing({.cells = kCells, .velocity = {100, 0, 0, 55}});
    ping.fixedLeader.SetTimeTagMs(timeTagMs);
    ping.navigation = {.positionValid = true, .x = 5, .y = 6, .distance = distance, .depth1 = 10};
    return ping;
}

class ProfileCursor : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
        Units().SetVelocityUnit(2);
        AppSettings().SetBottomTrack(kEchoSounderHighDepth);
        AppSettings().SetVelocity(kEastVelocity);
        AppSettings().SetTime_Type(2);
    }
};

TEST_F(ProfileCursor, FindsTheNearestPingAndThePingToDelete) {
    const std::vector pings{Ping(0, 100000), Ping(10, 50000), Ping(20, 200000), Ping(20, 300000)};
    EXPECT_EQ(NearestPing(pings, 14, false), 1);
    EXPECT_EQ(NearestPing(pings, 25, false), 2);  // the earliest of equals
    // Times need not increase; the nearest wins, not the first at or after the value.
    EXPECT_EQ(NearestPing(pings, 75, true), 0);
    EXPECT_EQ(NearestPing(pings, 240, true), 2);
    EXPECT_EQ(NearestPing({}, 1, false), std::nullopt);

    // Deleting takes the nearer of the found ping and the one before. Times of day far from any
    // distance: compared against a distance they would always pick the earlier ping.
    std::vector day{Ping(0, 36000000), Ping(10, 36001000), Ping(20, 36002000)};
    EXPECT_EQ(PingToDelete(day, 2, 12, false), 1);
    EXPECT_EQ(PingToDelete(day, 2, 15, false), 2);  // a tie keeps the found one
    EXPECT_EQ(PingToDelete(day, 0, -3, false), 0);
    EXPECT_EQ(PingToDelete(day, 2, 36001.2, true), 1);
    day[1].loaded = false;
    EXPECT_EQ(PingToDelete(day, 2, 12, false), 2);
}

TEST_F(ProfileCursor, FindsTheCellBetweenTheFirstCellAndTheBedAndDeletesOnlyDrawnCells) {
    const Ensemble ping = Ping(0);
    EXPECT_DOUBLE_EQ(FirstCellTop(ping), 1.0);
    struct Case {
        double depth, bed;
        std::optional<int> cell;
    };
    for (const Case c : {Case{0.9, 10, {}}, Case{1.0, 10, {}}, Case{1.2, 10, 0}, Case{1.5, 10, 1},
                         Case{5.7, 10, 9}, Case{6.2, 10, {}}, Case{2.2, 2.0, {}}})
        EXPECT_EQ(CellUnderDepth(ping, c.depth, c.bed), c.cell) << c.depth << " above " << c.bed;

    // Only cells the section draws are deleted.
    EXPECT_EQ(CellToDelete(ping, 5.9), 9);
    EXPECT_EQ(CellToDelete(ping, 6.1), std::nullopt);  // one past the last cell
    EXPECT_EQ(CellToDelete(ping, 0.8), std::nullopt);  // above the first cell
    // One cell kept clear above a bed at 4 m: cells 0-4 are drawn.
    Ensemble shallow = Ping(0);
    shallow.navigation.depth1 = 4;
    AppSettings().bottomClipping = kCellsClearOfBottom;
    AppSettings().bottomClipVal = 1;
    EXPECT_EQ(CellToDelete(shallow, 3.4), 4);
    EXPECT_EQ(CellToDelete(shallow, 3.6), std::nullopt);
}

TEST_F(ProfileCursor, StatusTextsForAPingItsCellAndTheBed) {
    std::vector pings{Ping(0), Ping(12.5)};
    pings[1].cells[2] = {kBadVelocity, kBadVelocity, kBadVelocity, 40};
    CursorReading reading = ReadCursor(pings, 12.4, 1.2, false, kNormalCursor, 0);
    using Panels = decltype(reading.panels);
    EXPECT_EQ(reading.panels, (Panels{"DBL: 12.40", "Depth: 1.20", "Easting: 5.00",
                                      "Northing: 6.00", "East Velocity: 0.100"}));
    EXPECT_EQ(std::tuple(reading.ping, reading.cell), std::tuple(1, 0));

    EXPECT_EQ(ReadCursor(pings, 12.4, 2.2, false, kNormalCursor, 0).panels[4],
              "East Velocity: No Data");
    reading = ReadCursor(pings, 12.4, 11, false, kNormalCursor, 0);  // below the bed
    EXPECT_EQ(reading.panels[4], "");
    EXPECT_EQ(reading.cell, -1);

    AppSettings().SetVelocity(kDirection);  // degrees, whatever the velocity unit
    EXPECT_EQ(ReadCursor(pings, 0, 1.2, false, kNormalCursor, 0).panels[4], "Direction: 90°");
    pings[0].navigation.positionValid = false;
    EXPECT_EQ(ReadCursor(pings, 0, 1.2, false, kNormalCursor, 0).panels[2], "Easting: No Data");
    EXPECT_EQ(ReadCursor(pings, 5400.5, 1.2, true, kNormalCursor, 0).panels[0], "Time: 01:30:00.5");

    // The bed cursor shows the bed, and keeps the last one without a ping.
    reading = ReadCursor(pings, 0, 1.2, false, kBedCursor, 3);
    EXPECT_EQ(reading.panels[1], "Depth: 10.00 m");
    EXPECT_EQ(reading.bedDepth, 10);
    reading = ReadCursor({}, 0, 1.2, false, kBedCursor, 3);
    EXPECT_EQ(reading.panels[1], "Depth: 3.00 m");
    EXPECT_EQ(reading.bedDepth, 3);
    EXPECT_FALSE(reading.panels[2] || reading.panels[3] || reading.panels[4] || reading.ping);
}

TEST_F(ProfileCursor, ADeletedCellStaysDeletedWhenTheLineIsProcessedAgain) {
    const auto files =
        synth::WriteSurvey(synth::ParseSurveyDescription(
                               "[Survey]\nName = cut\n[Track]\nEnsembles = 8\nStartStation = 30\n"),
                           Root() / "survey");
    RecordingPrompt prompt;
    Database& database = AppDatabase();
    ASSERT_TRUE(database.AddLine(files.front(), {}, prompt));
    const auto ping = [&](int index) {
        return database.Ensembles(0)[static_cast<std::size_t>(index)];
    };
    const std::int16_t intensity = ping(3).cells[2].echoIntensity;
    ASSERT_NE(VelocityComponent(ping(3), 2, kEastVelocity), kBadVelocity);

    database.DeleteCell(0, 3, 2);
    for (const int pass : {0, 1}) {
        if (pass == 1) AppSettings().Invalidate();
        EXPECT_EQ(VelocityComponent(ping(3), 2, kEastVelocity), kBadVelocity) << pass;
        EXPECT_EQ(ping(3).cells[2].echoIntensity, intensity) << "echo intensity is not a velocity";
        EXPECT_NE(VelocityComponent(ping(3), 1, kEastVelocity), kBadVelocity);
        EXPECT_NE(VelocityComponent(ping(4), 2, kEastVelocity), kBadVelocity);
    }
    struct OutOfRange {
        int line, index, cell;
    };
    for (const OutOfRange c : {OutOfRange{0, 8, 0}, {0, -1, 0}, {0, 3, 200}, {1, 0, 0}})
        database.DeleteCell(c.line, c.index, c.cell);
    EXPECT_NE(VelocityComponent(ping(7), 0, kEastVelocity), kBadVelocity);
}

}  // namespace
}  // namespace fluvex
