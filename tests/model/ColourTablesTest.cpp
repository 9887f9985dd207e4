#include "services/CurrentColourTable.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "model/BadValue.h"
#include "model/DirectionColourTable.h"
#include "model/Units.h"
#include "services/ColourTable.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

TEST(DirectionColourTable, HueWheel) {
    DirectionColourTable wheel;
    EXPECT_EQ(wheel.Colour(90), MakeColour(255, 255, 0));
    EXPECT_EQ(wheel.Colour(270), MakeColour(0, 0, 255));
    EXPECT_EQ(wheel.Colour(360), MakeColour(252, 0, 3));
    EXPECT_EQ(wheel.Colour(-5), MakeColour(255, 0, 0));
    EXPECT_EQ(wheel.Colour(1e40), MakeColour(255, 0, 0));
}

class VelocityColours : public test::TemporaryHostFolders {
protected:
    std::filesystem::path ColourFile() const { return Root() / "data" / "ADCP.hcf"; }
};

TEST_F(VelocityColours, MissingFileIsCreatedWithTheDefaultColoursMalformedOnesRefused) {
    ASSERT_TRUE(LoadColourTable(ColourFile()));
    ASSERT_TRUE(std::filesystem::exists(ColourFile()));
    ColourLookup* table = CurrentVelocityTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->Properties().maximum, 5);
    EXPECT_EQ(table->Colour(1.25), MakeColour(0, 0, 255));
    EXPECT_EQ(table->Colour(6), MakeColour(255, 0, 0));     // above range
    EXPECT_EQ(table->Colour(-1), MakeColour(255, 0, 255));  // below range

    // Every later start shows the default file alike; a user's own file keeps its range.
    ASSERT_TRUE(LoadColourTable(ColourFile()));
    EXPECT_EQ(CurrentVelocityTable()->Properties().maximum, 5);
    WriteText(ColourFile(), "2\n0.0\n0.2\n0.1\n0.0 16711935\n0.1 255\n0\n0\n16711935\n255\n");
    ASSERT_TRUE(LoadColourTable(ColourFile()));
    EXPECT_EQ(CurrentVelocityTable()->Properties().maximum, 0.2);

    // Malformed files are refused with their name.
    for (std::string_view text : {"", "2\n0\n1\n", "2\nx\n1\n0.1\n0 1\n0 1\n0\n0\n1\n2\n",
                                  "2\n0\n1\n0.1\n0 1\n0 1\n0\n0\n1\n-5\n"}) {
        WriteText(ColourFile(), text);
        std::string error;
        EXPECT_EQ(ColourTable::Read(ColourFile(), error), nullptr);
        EXPECT_NE(error.find("ADCP.hcf"), std::string::npos) << error;
    }
}

// Between stops the colours interpolate linearly: 50 of 100 is mid-grey.
TEST_F(VelocityColours, LookupDividesByTheUnitExceptErrorVelocityAndRescalesWithIt) {
    WriteText(ColourFile(), "2\n0\n100\n1\n0 0\n0 16777215\n0\n0\n0\n16777215\n");
    ASSERT_TRUE(LoadColourTable(ColourFile()));
    Units().SetVelocityUnit(1);                                                // cm/s
    EXPECT_EQ(VelocityColour(500, kEastVelocity), MakeColour(128, 128, 128));  // 50 cm/s
    EXPECT_EQ(VelocityColour(50, kErrorVelocity), MakeColour(128, 128, 128));  // 50 as it is
    EXPECT_EQ(VelocityColour(kBadVelocity, kEastVelocity), 0u);

    // A change of unit rescales the table when colours are scaled.
    RescaleVelocityTable(0, 1.5);
    Units().SetVelocityUnit(2);
    AppSettings().AutoScaleColors = 1;
    SelectVelocityUnit(1);
    EXPECT_DOUBLE_EQ(CurrentVelocityTable()->Properties().minimum, 0);
    EXPECT_DOUBLE_EQ(CurrentVelocityTable()->Properties().maximum, 150);
    EXPECT_DOUBLE_EQ(CurrentVelocityTable()->Properties().step, 0.15);

    AppSettings().AutoScaleColors = 0;
    SelectVelocityUnit(2);
    EXPECT_DOUBLE_EQ(CurrentVelocityTable()->Properties().maximum, 150);
}

}  // namespace
}  // namespace fluvex
