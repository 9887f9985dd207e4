#include "model/EnsembleQuantities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "TestEnvironment.h"
#include "model/BadValue.h"
#include "model/Units.h"
#include "project/SettingsOptions.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kCells = 10;
const CellVelocity kBadCell{kBadVelocity, kBadVelocity, kBadVelocity, 40};

double Radians(double degrees) {
    return degrees * kPi / 180;
}

// A loaded 20-degree PD0 ping in metres: cell 1 starts 1 m down (bin 1 at 75 cm, 50 cm cells,
// transducer 0.5 m deep), every processed cell flowing (100, 200, 10) mm/s.
Ensemble Ping() {
    Ensemble ping = test::MakePing({.velocity = {100, 200, 10, 55}});
    ping.fixedLeader.SetSystemConfiguration(0x0100);
    return ping;
}

Ensemble PingWithBottomTrack(std::uint16_t r0, std::uint16_t r1, std::uint16_t r2,
                             std::uint16_t r3) {
    Ensemble ping = Ping();
    ping.MarkPresent(PresentBit::BottomTrack);
    // The blank and the pulse lie between the transducer and the first cell; they move the bed
    // nowhere.
    ping.fixedLeader.SetBlankAfterTransmitCm(25);
    ping.fixedLeader.SetTransmitPulseLengthCm(50);
    ping.variableLeader.SetTransducerDepthDm(4);
    for (int beam = 0; const std::uint16_t range : {r0, r1, r2, r3})
        ping.bottomTrack.SetRangeCm(beam++, range);
    return ping;
}

// The options as the settings give them: the one place this file reads them.
QuantityOptions Options() {
    return CurrentQuantityOptions();
}

VelocityInfo CellInfo(CellVelocity velocity) {
    Ensemble ping = Ping();
    ping.cells[0] = velocity;
    VelocityInfo info;
    EXPECT_EQ(CellVelocityInfo(ping, 0, info), !velocity.IsBad());
    return info;
}

class EnsembleQuantities : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
    }
};

TEST_F(EnsembleQuantities, PingNotLoadedGivesNeutralValuesButEditedFileValues) {
    Ensemble ping = PingWithBottomTrack(1000, 1000, 1000, 1000);
    ping.variableLeader.SetHeading(4500);
    ping.loaded = false;
    EXPECT_EQ(Depth(ping, Options()), 0);
    EXPECT_EQ(CellCount(ping), 0);
    EXPECT_EQ(Heading(ping, Options().attitude), 0);
    EXPECT_EQ(VelocityComponent(ping, 0, kEastVelocity), kBadVelocity);
    EXPECT_FALSE(HasBottomTrack(ping));

    ping.navigation = {.positionValid = true, .x = 5, .y = 6, .heading = 123};
    AppSettings().SetUseEdtHead(true);
    EXPECT_EQ(Heading(ping, Options().attitude), 123);
    double x = 0, y = 0;
    EXPECT_TRUE(GetPosition(ping, x, y));
    EXPECT_EQ(y, 6);
}

TEST_F(EnsembleQuantities, InstrumentClockCountsFromTheYearWithLeapFebruaryOrUnloads) {
    Ensemble ping = Ping();
    ping.variableLeader.SetRtcYear(24);
    ping.variableLeader.SetRtcMonth(2);  // March
    ping.variableLeader.SetRtcDay(1);
    ping.variableLeader.SetRtcMinute(2);
    ping.variableLeader.SetRtcHundredths(45);
    ping.fixedLeader.SetTimeTagMs(7500);
    const double expected = (31 + 29 + 1) * 86400.0 + 120.45;
    EXPECT_DOUBLE_EQ(EnsembleTime(ping, 1), expected);
    EXPECT_DOUBLE_EQ(EnsembleTime(ping, 0), 7.5);  // 0 is not the instrument clock

    EXPECT_EQ(EnsembleDate::Of(ping, AppSettings().Time_Type())->year, 2024);

    // An impossible date unloads the ping.
    for (const auto& [month, day] : {std::pair{12, 1}, std::pair{0, 32}}) {
        ping.loaded = true;
        ping.variableLeader.SetRtcMonth(static_cast<std::uint8_t>(month));
        ping.variableLeader.SetRtcDay(static_cast<std::uint8_t>(day));
        EXPECT_FALSE(EnsembleDate::Of(ping, AppSettings().Time_Type()).has_value());
        EXPECT_TRUE(ping.loaded);
        EXPECT_EQ(EnsembleTime(ping, 1), 0);
        EXPECT_FALSE(ping.loaded);
    }
}

// Declination corrects the compass only; the tilt sensor's pitch depends on roll for PD0 only.
TEST_F(EnsembleQuantities, HeadingAndPitchOfCompassTiltSensorAndEditedFile) {
    Ensemble ping = Ping();
    ping.variableLeader.SetHeading(35000);
    AppSettings().SetMagDec(12.5);
    EXPECT_DOUBLE_EQ(Heading(ping, Options().attitude), 362.5);
    AppSettings().SetUseEdtHead(true);
    EXPECT_DOUBLE_EQ(Heading(ping, Options().attitude),
                     362.5);  // no position: the edited file has nothing
    ping.navigation.positionValid = true;
    ping.navigation.heading = 10;
    EXPECT_EQ(Heading(ping, Options().attitude), 10);

    ping.variableLeader.SetPitch(4500);
    ping.variableLeader.SetRoll(-6000);
    EXPECT_DOUBLE_EQ(Pitch(ping, Options().attitude), 45);
    ping.fixedLeader.SetSensorSource(0x08);
    EXPECT_NEAR(Pitch(ping, Options().attitude), 26.56505117707799,
                1e-12);  // atan(tan 45 * cos 60)
    ping.sonTekFlag2 = 1;
    EXPECT_DOUBLE_EQ(Pitch(ping, Options().attitude), 45);
    AppSettings().SetUseEdtPR(true);
    ping.navigation = {.positionValid = true, .pitch = 1.5};
    EXPECT_EQ(Pitch(ping, Options().attitude), 1.5);
}

// PD0: the shortest vertical range below the transducer.
TEST_F(EnsembleQuantities, BottomTrackDepthOfEachFamilyAndDepthsInTheDisplayUnit) {
    // The ranges are vertical already: the beam angle (here 30 degrees) plays no part.
    Ensemble ping = PingWithBottomTrack(1000, 0, 1020, 990);
    ping.fixedLeader.SetSystemConfiguration(0x0200);
    EXPECT_NEAR(Depth(ping, Options(), kBottomTrackDepth), (990 + 40) / 100.0, 1e-12);
    EXPECT_EQ(Depth(PingWithBottomTrack(0, 0, 0, 0), Options(), kBottomTrackDepth), 0);

    // SonTek pings average the detecting beams' slant ranges.
    Ensemble sonTek = PingWithBottomTrack(1000, 0, 1020, 0);
    sonTek.sonTekFlag1 = 1;
    EXPECT_NEAR(Depth(sonTek, Options(), kBottomTrackDepth), 1010 * 0.9063087645496659 / 100,
                1e-12);
    sonTek.bottomTrack.SetRangeCm(0, 0);
    sonTek.bottomTrack.SetRangeCm(2, 0);
    EXPECT_EQ(Depth(sonTek, Options(), kBottomTrackDepth), 0);

    // Depths and cells in the display unit.
    ping = Ping();
    ping.verticalBeam.SetRangeMm(12345);
    AppSettings().AutoScaleDepth = false;
    EXPECT_EQ(Depth(ping, Options()), 10);  // bottom track without a block: MaxDepth
    EXPECT_EQ(Depth(ping, Options(), 4), 0);
    EXPECT_DOUBLE_EQ(CellDepth(ping, 3, Units()), 2.5);
    EXPECT_EQ(CellDepth(ping, kCells, Units()), 0);
    Units().SetDistanceUnit(2);
    EXPECT_DOUBLE_EQ(Depth(ping, Options(), kVerticalBeamDepth), 1234.5 / 30.48);
}

// Last cell; cell 1 starts at 1 m, cells are 0.5 m, depths by echo sounder 1.

int LastCellAt(double depth, std::optional<int> rule, Ensemble ping = Ping()) {
    ping.navigation.depth1 = depth;
    AppSettings().SetBottomTrack(kEchoSounderHighDepth);
    return LastCell(ping, Options(), rule);
}

TEST_F(EnsembleQuantities, LastCellByEachRule) {
    // Rule one walks up to a valid cell.
    EXPECT_EQ(LastCellAt(3.75, kLastValidCell), 5);  // 5.5 cells to the bottom
    Ensemble ping = Ping();
    ping.cells[5] = ping.cells[4] = ping.cells[kCells - 1] = kBadCell;
    EXPECT_EQ(LastCellAt(3.75, kLastValidCell, ping), 3);
    EXPECT_EQ(LastCellAt(50, kLastValidCell, ping), kCells - 2);  // below the last cell
    EXPECT_EQ(LastCellAt(0, kLastValidCell, ping), kCells - 2);   // bottom above cell 1
    // Half a cell above cell 1 truncates toward zero to cell 0 rather than counting as above.
    EXPECT_EQ(LastCellAt(0.75, kLastValidCell, ping), 0);
    ping.cells.assign(3, kBadCell);
    EXPECT_EQ(LastCellAt(3.75, kLastValidCell, ping), 0);
    ping.cells.clear();
    EXPECT_EQ(LastCellAt(3.75, kLastValidCell, ping), 0);

    // Clear of the bottom.
    AppSettings().bottomClipVal = 1.5;
    EXPECT_EQ(LastCellAt(3.75, kCellsClearOfBottom), 4);
    AppSettings().bottomClipVal = 6;  // percent: 94 % of 10 m is 18.8 cells
    EXPECT_EQ(LastCellAt(11, kPercentOfRange), 18);
    AppSettings().bottomClipVal = 0;
    EXPECT_EQ(LastCellAt(11, kCellsClearOfBottom), 20);  // not limited to the cell count
    EXPECT_EQ(LastCellAt(1e12, kCellsClearOfBottom), kMaxCells);
    EXPECT_EQ(LastCellAt(0, kPercentOfRange), 0);
    EXPECT_EQ(LastCellAt(3.75, 9), kCells);
    AppSettings().bottomClipping = kCellsClearOfBottom;
    EXPECT_EQ(LastCellAt(3.75, std::nullopt), 5);
    Ensemble noCellLength = Ping();
    noCellLength.fixedLeader.SetDepthCellLengthCm(0);
    EXPECT_EQ(LastCellAt(3.75, kCellsClearOfBottom, noCellLength), kCells);
}

TEST_F(EnsembleQuantities, VelocityInfoDirectionsAndBadOrMissingValues) {
    const std::tuple<std::int16_t, std::int16_t, double> cases[] = {
        {0, -5, 180}, {-3, 0, 270},  {0, 0, 0},    {0, 5, 0},
        {4, 0, 90},   {-1, -1, 225}, {-1, 1, 315}, {1, 2, 26.56505117707799}};
    for (const auto& [east, north, degrees] : cases)
        EXPECT_NEAR(CellInfo({east, north, 0, 0}).direction, degrees, 1e-12) << east << north;

    // Bad or missing values.
    const VelocityInfo bad = CellInfo(kBadCell);
    EXPECT_EQ(bad.echoIntensity, kBadVelocity);
    EXPECT_EQ(bad.direction, kBadValue);  // a defined value, not the NaN of 0xFF bytes

    Ensemble ping = Ping();
    ping.cells.resize(3);
    VelocityInfo untouched{.east = 99};
    EXPECT_FALSE(CellVelocityInfo(ping, 3, untouched));    // below the processed cells
    EXPECT_FALSE(ReferenceVelocityInfo(ping, untouched));  // no bottom-track block
    EXPECT_EQ(untouched.east, 99);

    ping.MarkPresent(PresentBit::BottomTrack);
    ping.referenceVelocity = {kBadVelocity, 0, 0, 0};
    EXPECT_FALSE(ReferenceVelocityInfo(ping, untouched));
    EXPECT_EQ(untouched.north, kBadVelocity);
}

TEST_F(EnsembleQuantities, VelocityComponentsTruncateTowardZero) {
    Ensemble ping = Ping();
    ping.cells[0] = {1, 2, 2, 55};
    const std::pair<int, std::int16_t> cases[] = {
        {kEastVelocity, 1}, {kNorthVelocity, 2}, {kVerticalVelocity, 2}, {kErrorVelocity, 55},
        {kMagnitude2D, 2},  {kMagnitude3D, 3},   {kDirection, 26},       {11, kBadVelocity}};
    for (const auto& [component, value] : cases)
        EXPECT_EQ(VelocityComponent(ping, 0, component), value) << component;

    ping.cells[1] = {-32767, -32767, 0, 0};  // beyond 16 bits: held at the limit
    EXPECT_EQ(VelocityComponent(ping, 1, kMagnitude2D), 32767);
    ping.cells[2] = kBadCell;
    EXPECT_EQ(VelocityComponent(ping, 2, kErrorVelocity), kBadVelocity);

    // The reference's components need bottom track but no processed cell.
    ping.referenceVelocity = {-3, 4, 1, 0};
    EXPECT_EQ(VelocityComponent(ping, 0, kReferenceEast), kBadVelocity);
    ping.MarkPresent(PresentBit::BottomTrack);
    ping.cells.clear();
    EXPECT_EQ(VelocityComponent(ping, 0, kReferenceEast), -3);
    EXPECT_EQ(VelocityComponent(ping, 0, kReferenceMagnitude2D), 5);
    EXPECT_EQ(VelocityComponent(ping, 0, kReferenceDirection), 323);  // 323.13
    EXPECT_EQ(VelocityComponent(ping, kCells, kReferenceEast), kBadVelocity);
}

TEST_F(EnsembleQuantities, MeanVelocityDividesByAllCells) {
    Ensemble ping = Ping();
    ping.cells = {{-7, 20, 30, 9}, kBadCell, {2, -7, 1, 9}};
    CellVelocity mean;
    ASSERT_TRUE(MeanVelocity(ping, mean));
    EXPECT_EQ(mean, (CellVelocity{-1, 4, 10, 0}));  // -5/3 truncates to -1
    EXPECT_NEAR(ChartQuantity(ping, kChartMeanSpeed, Options()), std::sqrt(17.0), 1e-12);
    EXPECT_NEAR(ChartQuantity(ping, kChartMeanDirection, Options()), 360 - 14.036243467926479,
                1e-9);
    ping.cells.clear();
    EXPECT_FALSE(MeanVelocity(ping, mean));
    EXPECT_EQ(ChartQuantity(ping, kChartMeanDirection, Options()), 0);
}

// Beam cell position of a SonTek beam given by azimuth and elevation (PD0 heads are proven against
// the generator's beams by the XYZI export test). A ping at (1000, 2000); cell 2 is 2 m down,
// 1.5 m below the transducer. Worked by hand: with pitch and roll in the plane of the beam the
// tilts add, so a 5-degree pitch or roll turns a 25-degree beam to 30 or 20 degrees from vertical,
// and the beam runs 1.5 m times the tangent of that sideways. Tolerance 1e-6 m: the arc cosines
// near 1 keep only half the digits.
struct BeamCase {
    const char* name;
    double azimuthDegrees;
    std::uint16_t heading;     // hundredths of a degree, before the declination of 10
    std::int16_t pitch, roll;  // hundredths of a degree
    double dx, dy;
};

TEST_F(EnsembleQuantities, BeamCellPositionByHandOrRefusedWithoutWriting) {
    const double run30 = 1.5 * std::tan(Radians(30)), run20 = 1.5 * std::tan(Radians(20));
    const BeamCase cases[] = {
        {"forward beam, bow up, north", 0, 35000, 500, 0, 0, run30},
        {"aft beam, bow up", 180, 35000, 500, 0, 0, -run20},
        {"starboard beam, rolled", 90, 35000, 0, 500, run20, 0},
        {"the same azimuth, negative", -270, 35000, 0, 500, run20, 0},
        {"starboard beam, heading east", 90, 8000, 0, 500, 0, -run20},
    };
    AppSettings().SetMagDec(10);
    for (const BeamCase& beam : cases) {
        SCOPED_TRACE(beam.name);
        Ensemble ping = Ping();
        ping.navigation = {.positionValid = true, .x = 1000, .y = 2000};
        ping.sonTekFlag1 = 1;
        BeamAngles angles;
        angles.elevation[1] = Radians(25);
        angles.azimuth[1] = Radians(beam.azimuthDegrees);
        ping.beamAngles = SharedBeamAngles(angles);
        ping.variableLeader.SetHeading(beam.heading);
        ping.variableLeader.SetPitch(beam.pitch);
        ping.variableLeader.SetRoll(beam.roll);
        double x = 0, y = 0, z = 0;
        ASSERT_TRUE(BeamCellPosition(ping, 1, 2, Options(), x, y, z));
        EXPECT_NEAR(x, 1000 + beam.dx, 1e-6);
        EXPECT_NEAR(y, 2000 + beam.dy, 1e-6);
        EXPECT_DOUBLE_EQ(z, 2);
    }

    // Refusals write nothing.
    Ensemble ping = Ping();
    double x = -1, y = -1, z = -1;
    EXPECT_FALSE(BeamCellPosition(ping, 0, 2, Options(), x, y, z));  // no position
    ping.navigation.positionValid = true;
    EXPECT_FALSE(BeamCellPosition(ping, 4, 2, Options(), x, y, z));
    EXPECT_FALSE(BeamCellPosition(ping, 0, kCells, Options(), x, y, z));
    ping.variableLeader.SetPitch(9000);  // no roll fits a vertical pitch
    ping.variableLeader.SetRoll(100);
    EXPECT_FALSE(BeamCellPosition(ping, 0, 2, Options(), x, y, z));
    ping.variableLeader.SetPitch(0);
    ping.sonTekFlag1 = 1;
    BeamAngles unknown;
    unknown.azimuth[0] = std::nan("");
    ping.beamAngles = SharedBeamAngles(unknown);
    EXPECT_FALSE(BeamCellPosition(ping, 0, 2, Options(), x, y, z));
    EXPECT_EQ(x, -1);
    EXPECT_EQ(z, -1);
}

}  // namespace
}  // namespace fluvex
