// One ping's discharge, worked by hand on pings built cell by cell, and the volume units.

#include "processing/Discharge.h"

#include <gtest/gtest.h>

#include <cmath>

#include "TestEnvironment.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/ChartQuantities.h"
#include "project/SettingsOptions.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

constexpr int kCells = 10;
constexpr double kDepth = 2.0;  // m, the echo sounder's
// Bin 1 at 37 cm less half a 25 cm cell in whole centimetres, plus a 30 cm draft: cell tops at
// 0.55, 0.80 ... 1.80, then 2.05 below the bed.
constexpr double kFirstTop = 0.55;
constexpr double kCellSize = 0.25;
constexpr int kCellsAboveBed = 6;

// Every recorded cell valid, every processed cell `water`, the ground passing at `bottom`, mm/s.
Ensemble Ping(CellVelocity water = {0, 1000, 0, 0}, CellVelocity bottom = {500, 0, 0, 0}) {
    Ensemble ping = test::MakePing(
        {.cells = kCells, .cellCm = 25, .bin1Cm = 37, .draftDm = 3, .velocity = water});
    ping.MarkPresent(PresentBit::BottomTrack);
    ping.bottomTrackVelocity = bottom;
    ping.navigation.depth1 = kDepth;
    return ping;
}

// (ve × bn − vn × be) / 10⁶, m²/s².
double Crossing(double ve, double vn, double be = 500, double bn = 0) {
    return (ve * bn - vn * be) / 1e6;
}

class Discharge : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
        AppSettings().SetBottomTrack(kEchoSounderHighDepth);
    }
};

// The last cell reaches 5 cm below the bed; the bottom layer takes that back.
TEST_F(Discharge, UniformProfileIntegratesToTheBed) {
    const EnsembleDischarge e = ComputeEnsembleDischarge(Ping(), CurrentProcessingOptions());
    const double c = Crossing(0, 1000);
    EXPECT_EQ(e.goodCells, kCellsAboveBed);
    EXPECT_DOUBLE_EQ(e.top, kFirstTop * c);
    EXPECT_DOUBLE_EQ(e.measured, kCellsAboveBed * kCellSize * c);
    EXPECT_NEAR(e.bottom, -0.05 * c, 1e-12);
    EXPECT_NEAR(e.total, kDepth * c, 1e-12);
    EXPECT_DOUBLE_EQ(e.depth, kDepth);
    EXPECT_DOUBLE_EQ(e.meanWaterSpeed, 1.0);  // over ground: the cells are processed so
    // Without a reference the cells hold the water against the boat: the bottom track is taken
    // off once.
    AppSettings().SetVelReference(0);
    EXPECT_DOUBLE_EQ(ComputeEnsembleDischarge(Ping(), CurrentProcessingOptions()).meanWaterSpeed,
                     std::hypot(-500, 1000) / 1000);
    EXPECT_EQ(ChartValue(Ping(), kChartDischarge3, CurrentProcessingOptions()), e.bottom);
}

// Good: both recorded horizontal components valid. A good cell that processing marked bad
// counts but adds nothing; top and bottom come from the first and last cells that added.
TEST_F(Discharge, CellsMarkedBadCountButAddNothingAndWithoutBoatVelocityNothingCrosses) {
    Ensemble ping = Ping();
    for (std::size_t cell = 0; cell < kCells; ++cell)
        ping.cells[cell].north = static_cast<std::int16_t>(1000 + 100 * cell);
    ping.cellBlocks.SetVelocity(2, 1, kBadVelocity);
    ping.cells[0] = {kBadVelocity, kBadVelocity, kBadVelocity, 0};
    ping.cells[5].up = kBadVelocity;
    const EnsembleDischarge e = ComputeEnsembleDischarge(ping, CurrentProcessingOptions());
    const auto c = [](int cell) { return Crossing(0, 1000 + 100 * cell); };
    const auto speed = [](int cell) { return (1000.0 + 100 * cell) / 1000; };
    EXPECT_EQ(e.goodCells, 5);
    EXPECT_DOUBLE_EQ(e.top, kFirstTop * c(1));
    EXPECT_DOUBLE_EQ(e.measured, kCellSize * (c(1) + c(3) + c(4)));
    EXPECT_NEAR(e.bottom, c(4) * (kDepth - 1.80), 1e-12);  // cell 4 ends 1.80 m down
    EXPECT_NEAR(e.meanWaterSpeed, (speed(1) + speed(3) + speed(4)) / 3, 1e-12);

    ping.cells.clear();  // nothing adds: no sum, no speed, but the cells and the depth count
    EXPECT_EQ(ComputeEnsembleDischarge(ping, CurrentProcessingOptions()),
              (EnsembleDischarge{.goodCells = 5, .depth = kDepth}));

    // Without boat velocity nothing crosses; without bottom track nothing counts.
    const EnsembleDischarge still = ComputeEnsembleDischarge(
        Ping({0, 1000, 0, 0}, {500, 0, kBadVelocity, 0}), CurrentProcessingOptions());
    EXPECT_EQ(still.goodCells, kCellsAboveBed);
    EXPECT_EQ(still.total, 0);
    EXPECT_DOUBLE_EQ(still.meanWaterSpeed, 1.0);

    ping = Ping();
    ping.MarkAbsent(PresentBit::Velocity);
    EXPECT_EQ(ComputeEnsembleDischarge(ping, CurrentProcessingOptions()),
              (EnsembleDischarge{.depth = kDepth}));
    ping.MarkAbsent(PresentBit::BottomTrack);
    EXPECT_EQ(ComputeEnsembleDischarge(ping, CurrentProcessingOptions()), EnsembleDischarge{});
}

// The other family's pings: the cells above the bottom cut-off, their mean velocity taken with its
// signs, the bottom layer from the top of the first cell below the cut-off.
TEST_F(Discharge, SonTekPingsAverageSignedComponentsAboveTheCutOff) {
    AppSettings().bottomClipping = kCellsClearOfBottom;
    AppSettings().bottomClipVal = 1;  // (2.0 - 0.55) / 0.25 - 1 = 4.8: cells 0-3
    Ensemble ping = Ping({0, 0, 0, 0}, {500, 200, 0, 0});
    ping.sonTekFlag2 = 1;
    for (std::size_t cell = 0; cell < kCells; ++cell)
        ping.cells[cell] = {static_cast<std::int16_t>(cell % 2 == 0 ? 300 : -300), 800, 0, 0};
    ping.cells[4] = {9000, 9000, 0, 0};  // below the cut-off
    const EnsembleDischarge e = ComputeEnsembleDischarge(ping, CurrentProcessingOptions());
    EXPECT_EQ(e.goodCells, 4);
    EXPECT_NEAR(e.measured, kCellSize * 4 * Crossing(0, 800, 500, 200), 1e-12);
    EXPECT_NEAR(e.top, kFirstTop * Crossing(300, 800, 500, 200), 1e-12);
    EXPECT_NEAR(e.bottom, (kDepth - 1.55) * Crossing(-300, 800, 500, 200), 1e-12);
    EXPECT_DOUBLE_EQ(e.meanWaterSpeed, 0.8);

    for (int cell = 0; cell < kCells; ++cell)
        ping.cellBlocks.SetVelocity(cell, 0, kBadVelocity);
    EXPECT_EQ(ComputeEnsembleDischarge(ping, CurrentProcessingOptions()),
              EnsembleDischarge{});  // not even the depth
}

TEST(VolumeUnit, CubicFeetAndUnknownUnits) {
    EXPECT_NEAR(VolumeUnitOf(4).factor, 35.3147, 1e-4);  // cubic feet in a cubic metre
    EXPECT_EQ(VolumeUnitOf(4).text, "ft³/s");
    EXPECT_EQ(VolumeUnitOf(-1).text, "");
}

}  // namespace
}  // namespace fluvex
