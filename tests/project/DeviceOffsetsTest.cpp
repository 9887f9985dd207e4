#include "project/DeviceOffsets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "TestEnvironment.h"

namespace fluvex {
namespace {

class DeviceOffsetsTest : public test::TemporaryHostFolders {
protected:
    DeviceOffsets ReadConfiguration(std::string_view text) {
        WriteText(Root() / "data" / "navq32.ini", text);
        return ReadInstalledDeviceOffsets();
    }
};

TEST_F(DeviceOffsetsTest, ProfilerHeadingOffsetTurnsAboutTheVerticalAndTheLastDeviceWins) {
    const DeviceOffsets offsets = ReadConfiguration(
        "[System]\r\nDevices=1\r\n[Device0]\r\nLibrary=sontek_m9.dll\r\nOffset=0.5,0.2,-1.0,3.0,0,"
        "0\r\n");
    // Its sense is proven end to end by SyntheticProcessingTest's misaligned head.
    EXPECT_EQ(offsets.headingDegrees, 3.0);
    EXPECT_NEAR(offsets.mounting[0][1], std::sin(3.0 * std::numbers::pi / 180), 1e-15);

    // Only matching devices count and the last wins.
    const DeviceOffsets last = ReadConfiguration(
        "[System]\r\nDevices=3\r\n"
        "[Device0]\r\nLibrary=GPS.dll\r\nOffset=0,0,0,9,9,9\r\n"
        "[Device1]\r\nLibrary=SonTek_M9x.dll\r\nOffset=0,0,0,1,2,3\r\n"
        "[Device2]\r\nLibrary=SONTEK_M9.dll\r\nOffset=0,0,0,4,oops,6\r\n");
    // Read up to the number that does not parse.
    EXPECT_EQ(std::tuple(last.headingDegrees, last.rollDegrees, last.pitchDegrees),
              std::tuple(4.0, 2.0, 3.0));
}

TEST_F(DeviceOffsetsTest, NothingConfiguredGivesTheIdentity) {
    for (std::string_view text : {"", "[System]\r\nDevices=0\r\n", "[System]\r\nDevices=-4\r\n",
                                  "[System]\r\nDevices=2000000000\r\n[Device0]\r\nLibrary=x\r\n"}) {
        const DeviceOffsets offsets = ReadConfiguration(text);
        EXPECT_EQ(offsets.mounting, kIdentity3) << text;
        EXPECT_EQ(offsets.headingDegrees, 0.0);
    }
    EXPECT_EQ(ReadDeviceOffsets(Root() / "missing.ini").mounting, kIdentity3);
}

}  // namespace
}  // namespace fluvex
