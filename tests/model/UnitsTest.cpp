#include "model/Units.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "model/BadValue.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

class UnitsTest : public test::TemporaryHostFolders {};

TEST_F(UnitsTest, FootPerSecondFollowsTheDistanceUnitAndDistancesTheirUnit) {
    UnitSystem& units = Units();
    units.SetDistanceUnit(2);
    units.SetVelocityUnit(3);
    EXPECT_EQ(units.VelocityScale(), 304.8);
    units.SetDistanceUnit(1);
    units.SetVelocityUnit(3);
    EXPECT_EQ(units.VelocityScale(), 304.8006);
    units.SetVelocityUnit(9);  // not a unit: nothing changes
    EXPECT_EQ(units.VelocityScale(), 304.8006);
    EXPECT_EQ(units.VelocityLabel(), "ft/s");

    units.SetDistanceUnit(7);  // not a unit: metres
    EXPECT_EQ(units.DistanceUnit(), 0);
    EXPECT_EQ(units.DistanceDivisor(), 100);
    EXPECT_EQ(units.FormatDistance(12.345), "12.35");
    units.SetDistanceUnit(1);
    EXPECT_DOUBLE_EQ(units.CelsiusToDisplay(10), 50);
    EXPECT_DOUBLE_EQ(units.CmToDisplay(30.48006), 1);
    EXPECT_DOUBLE_EQ(units.MetresToDisplay(0.3048006), 1);
    EXPECT_DOUBLE_EQ(units.DisplayToCm(units.CmToDisplay(123.4)), 123.4);
    EXPECT_EQ(units.FormatDistance(12.345), "12.3");
}

TEST_F(UnitsTest, VelocityTextByUnitAndQuantity) {
    UnitSystem& units = Units();
    const std::pair<int, std::string_view> cases[] = {
        {0, "1235 mm/s"}, {1, "1234.6 cm/s"}, {4, "1234.567 kt"}};
    for (const auto& [unit, text] : cases) {
        units.SetVelocityUnit(unit);
        EXPECT_EQ(units.FormatVelocityWithUnit(1234.5671, kEastVelocity), text);
        EXPECT_EQ(units.FormatVelocity(kBadValue, kEastVelocity), "N/A");
    }
    EXPECT_EQ(units.FormatVelocityWithUnit(123.4, kDirection), "123°");  // whatever the unit
    EXPECT_EQ(units.FormatVelocity(123.4, kAngleViewQuantity), "123°");
    EXPECT_EQ(QuantityName(7), "UNKNOWN");
    EXPECT_EQ(UnitSystem::VelocityLongLabel(5), "");
}

TEST(UnitHelpers, TimeOfDayDirectionInterpolationAndFileNames) {
    EXPECT_EQ(FormatTimeOfDay(90000), "01:00:00.0");
    EXPECT_EQ(FormatTimeOfDay(86399.94), "23:59:59.9");
    EXPECT_EQ(FormatTimeOfDay(119.6), "00:01:59.6");  // minutes and seconds agree
    EXPECT_EQ(FormatTimeOfDay(59.96), "00:01:00.0");
    EXPECT_EQ(DirectionBetween(0, 0, 0, 0), 0);
    EXPECT_DOUBLE_EQ(DirectionBetween(0, 0, 1, 0), 90);
    EXPECT_DOUBLE_EQ(DirectionBetween(0, 0, -1, 0), 270);
    EXPECT_EQ(Interpolate(2, 4, 5, 5, 100), 3);
    EXPECT_DOUBLE_EQ(Interpolate(2, 4, 0, 10, 2.5), 2.5);
    EXPECT_EQ(FileNameOfPath("C:\\Survey\\Raw/line 3.PD0\n"), "line 3.PD0");
    EXPECT_EQ(FileNameOfPath("plain"), "plain");
}

}  // namespace
}  // namespace fluvex
