#include "project/NavigationMerge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "TestEnvironment.h"
#include "model/Units.h"

namespace fluvex {
namespace {

class NavigationMergeTest : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);  // metres
    }

    static Ensemble PingAt(double secondsOfDay) {
        Ensemble ping;
        ping.loaded = true;
        ping.fixedLeader.SetTimeTagMs(static_cast<std::uint32_t>(std::lround(secondsOfDay * 1000)));
        return ping;
    }

    static NavigationFix Fix(double time, double x, double y, double heading = 0) {
        return {.timeOfDay = time, .x = x, .y = y, .depth1 = x / 10, .depth2 = y / 10,
                .heading = heading, .pitch = 1, .roll = -1, .vertical = 0.5};
    }

    static std::vector<NavRecord> Merge(const std::vector<double>& pingTimes,
                                        const std::vector<NavigationFix>& fixes,
                                        double headingOffset = 0) {
        std::vector<Ensemble> pings;
        for (const double t : pingTimes)
            pings.push_back(PingAt(t));
        return MergeFixes(pings, fixes, headingOffset);
    }
};

TEST_F(NavigationMergeTest, InterpolatesBetweenTheFixesAroundEachPing) {
    const auto records =
        Merge({1000.25}, {Fix(999.5, 0, 0, 10), Fix(1000.0, 3, 4, 20), Fix(1001.0, 3, 14, 30)});
    const NavRecord& r = records.at(0);
    ASSERT_TRUE(r.positionValid);
    EXPECT_DOUBLE_EQ(r.x, 3);
    EXPECT_DOUBLE_EQ(r.y, 6.5);
    EXPECT_DOUBLE_EQ(r.depth2, 0.65);
    EXPECT_DOUBLE_EQ(r.heading, 22.5);
    EXPECT_DOUBLE_EQ(r.vertical, 0.5);
    EXPECT_DOUBLE_EQ(r.distance, std::hypot(3, 6.5));  // from the first fix
    EXPECT_DOUBLE_EQ(r.course, 0);                     // due north between the two fixes
    EXPECT_DOUBLE_EQ(r.speed, 10000);                  // 10 m in 1 s, mm/s

    // The speed takes the whole step and its exact time: north-east at 5 m over half a second
    // is 10 m/s, which the easting alone would make 8.
    const NavRecord diagonal = Merge({100.2}, {Fix(100.0, 0, 0), Fix(100.5, 4, 3)}).at(0);
    EXPECT_DOUBLE_EQ(diagonal.speed, 10000);
    EXPECT_NEAR(diagonal.course, 53.13, 0.01);
}

TEST_F(NavigationMergeTest, HeadingsCrossNorthTheShortWayAndUncoveredPingsStayCleared) {
    const auto records = Merge({10.5}, {Fix(10, 0, 0, 350), Fix(11, 0, 0, 10)}, 3.0);
    EXPECT_NEAR(records.at(0).heading, 357, 1e-9);
    const auto wrapped = Merge({10.5}, {Fix(10, 0, 0, 1), Fix(11, 0, 0, 3)}, 5.0);
    EXPECT_NEAR(wrapped.at(0).heading, 357, 1e-9);

    // Pings the fixes do not cover stay cleared.
    const std::vector<NavigationFix> fixes{Fix(100, 0, 0), Fix(101, 1, 1), Fix(200, 9, 9),
                                           Fix(201, 9, 9)};
    // Midnight, before the first fix, more than 60 s after the fix before, after the last fix.
    const auto cleared = Merge({0.0, 99.0, 170.0, 202.0, 100.5, 160.0}, fixes);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(cleared[static_cast<std::size_t>(k)], NavRecord{}) << "ping " << k;
    EXPECT_TRUE(cleared[4].positionValid);
    EXPECT_TRUE(cleared[5].positionValid);  // 59 s after its fix: still inside the window
}

}  // namespace
}  // namespace fluvex
