#include "processing/ProfileFilters.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "model/Units.h"

namespace fluvex {
namespace {

class ProfileAveraging : public test::TemporaryHostFolders {
protected:
    // A loaded ping of 25 cm cells whose processed east values are given; the bottom lies far
    // below, so every cell is in use.
    static Ensemble PingWithEast(std::initializer_list<int16_t> east, int cellCm = 25) {
        Ensemble ping = test::MakePing(
            {.cells = static_cast<int>(east.size()), .cellCm = cellCm, .bin1Cm = 0, .draftDm = 0});
        ping.cells.clear();
        for (int16_t value : east)
            ping.cells.push_back(value == kBadVelocity
                                     ? CellVelocity{kBadVelocity, kBadVelocity, kBadVelocity, 0}
                                     : CellVelocity{value, 0, 0, 0});
        return ping;
    }

    static std::vector<int16_t> East(const Ensemble& ping) {
        std::vector<int16_t> values;
        for (const CellVelocity& cell : ping.cells)
            values.push_back(cell.east);
        return values;
    }
};

// Metres, so that distances read in whole cells of 25 cm.
QuantityOptions MetricOptions() {
    QuantityOptions options;
    options.units.SetDistanceUnit(0);
    return options;
}

TEST_F(ProfileAveraging, AverageAllRoundsHalvesAwayFromZeroAndKeepsBadCells) {
    Ensemble ping = PingWithEast({10, -15, kBadVelocity});
    AverageVertically(ping, {.mode = 0}, MetricOptions());
    EXPECT_EQ(East(ping), (std::vector<int16_t>{-3, -3, kBadVelocity}));
}

TEST_F(ProfileAveraging, BySamplesSeesTheUnaveragedValues) {
    Ensemble ping = PingWithEast({10, 20, 30, 40});
    AverageVertically(ping, {.mode = 2, .samples = 1}, MetricOptions());
    EXPECT_EQ(East(ping), (std::vector<int16_t>{15, 20, 30, 35}));
}

TEST_F(ProfileAveraging, ByDistanceHalfWidthInWholeCells) {
    const VerticalAveraging oneMetre{.mode = 1, .distance = 1};  // 2 cells of 25 cm each side
    Ensemble ping = PingWithEast({0, 0, 50, 0, 0, 0});
    AverageVertically(ping, oneMetre, MetricOptions());
    EXPECT_EQ(East(ping), (std::vector<int16_t>{17, 13, 10, 10, 13, 0}));

    Ensemble coarse = PingWithEast({0, 0, 50, 0, 0, 0}, 30);  // 1.67 cells: 1 each side
    AverageVertically(coarse, oneMetre, MetricOptions());
    EXPECT_EQ(East(coarse), (std::vector<int16_t>{0, 17, 17, 17, 0, 0}));
}

}  // namespace
}  // namespace fluvex
