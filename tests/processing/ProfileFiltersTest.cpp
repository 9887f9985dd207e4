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
    static Ensemble PingWithEast(const std::vector<int16_t>& east, int cellCm) {
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

// By all cells (halves away from zero, bad cells kept), by samples (seeing the unaveraged
// values) and by a distance whose half width counts whole cells (1 m: 2 cells of 25 cm or 1 of 30).
TEST_F(ProfileAveraging, EachModeAveragesTheCellsItShould) {
    const VerticalAveraging oneMetre{.mode = 1, .distance = 1};
    const struct {
        std::vector<int16_t> east;
        int cellCm;
        VerticalAveraging averaging;
        std::vector<int16_t> expected;
    } cases[] = {
        {{10, -15, kBadVelocity}, 25, {.mode = 0}, {-3, -3, kBadVelocity}},
        {{10, 20, 30, 40}, 25, {.mode = 2, .samples = 1}, {15, 20, 30, 35}},
        {{0, 0, 50, 0, 0, 0}, 25, oneMetre, {17, 13, 10, 10, 13, 0}},
        {{0, 0, 50, 0, 0, 0}, 30, oneMetre, {0, 17, 17, 17, 0, 0}},
    };
    for (const auto& c : cases) {
        Ensemble ping = PingWithEast(c.east, c.cellCm);
        AverageVertically(ping, c.averaging, MetricOptions());
        EXPECT_EQ(East(ping), c.expected) << c.averaging.mode << ", " << c.cellCm << " cm";
    }
}

}  // namespace
}  // namespace fluvex
