// The per-ping quantities of the spreadsheet and the charts: which pings give which values, how
// they are written, and the boat-to-water speed ratio.

#include "processing/ChartQuantities.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "export/QuantityTable.h"
#include "model/BadValue.h"
#include "model/Units.h"
#include "processing/BoatWaterSpeed.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

// A loaded ping in metres and m/s with a position, a bottom track and a processed profile.
Ensemble Ping() {
    Ensemble ping = test::MakePing({.cells = 4, .velocity = {300, 400, 0, 50}});
    ping.MarkPresent(PresentBit::BottomTrack);
    ping.variableLeader.SetEnsembleNumber(77);
    ping.navigation = {.positionValid = true, .x = 1234.567, .y = 20, .speed = 1500};
    ping.bottomTrackVelocity = {-300, -400, 0, 0};  // the boat goes north-east at 0.5 m/s
    return ping;
}

// Metres and the given velocity unit (m/s unless said), every cell in use.
ProcessingOptions Options(int velocityUnit = 2) {
    ProcessingOptions options;
    options.quantities.units.SetDistanceUnit(0);
    options.quantities.units.SetVelocityUnit(velocityUnit);
    return options;
}

class ChartQuantities : public test::TemporaryHostFolders {};

TEST_F(ChartQuantities, ValuesAPingCannotGiveAreNoValue) {
    struct Case {
        const char* what;
        void (*change)(Ensemble&);
        std::vector<int> missing;  // every other kind has a value
    };
    const std::vector<Case> cases{
        {"complete", [](Ensemble&) {}, {kChartDepth}},  // no depth reference measured
        {"no position",
         [](Ensemble& p) { p.navigation.positionValid = false; },
         {kChartX, kChartY, kChartDistance, kChartDepth, kChartBoatSpeed, kChartCourse}},
        {"no bottom track",
         [](Ensemble& p) { p.present = PresentBit::FixedLeader | PresentBit::VariableLeader; },
         {kChartDepth, kChartBottomTrackSpeed, kChartBottomTrackDirection}},
        {"bad bottom track",
         [](Ensemble& p) { p.bottomTrackVelocity.east = kBadVelocity; },
         {kChartDepth, kChartBottomTrackSpeed, kChartBottomTrackDirection}},
        {"not processed",
         [](Ensemble& p) { p.cells.clear(); },
         {kChartDepth, kChartMeanSpeed, kChartMeanDirection}},
    };
    for (const Case& c : cases) {
        Ensemble ping = Ping();
        c.change(ping);
        for (int kind = 0; kind < kChartKindCount; ++kind) {
            const bool missing = std::ranges::find(c.missing, kind) != c.missing.end();
            EXPECT_EQ(ChartValue(ping, kind, Options()).has_value(), !missing)
                << c.what << " kind " << kind;
            EXPECT_EQ(ChartValueText(ping, kind, Options()) == kNoChartValue, missing)
                << c.what << kind;
        }
    }
    Ensemble unloaded = Ping();
    unloaded.loaded = false;
    for (int kind = -1; kind <= kChartKindCount; ++kind)
        EXPECT_EQ(ChartValueText(unloaded, kind, Options()), "-----") << kind;
}

TEST_F(ChartQuantities, SpeedsInTheDisplayUnitHowValuesAreWrittenTabledAndCompared) {
    const Ensemble ping = Ping();
    EXPECT_DOUBLE_EQ(*ChartValue(ping, kChartBoatSpeed, Options()), 1.5);
    EXPECT_DOUBLE_EQ(*ChartValue(ping, kChartBottomTrackSpeed, Options()), 0.5);
    EXPECT_EQ(ChartValueText(ping, kChartBottomTrackDirection, Options()), "36.9°");
    EXPECT_EQ(ChartValueText(ping, kChartBoatSpeed, Options(1)), "150.00");

    struct Written {
        int kind;
        double value;
        const char* text;
    };
    for (const Written& w : {Written{kChartTime, 86400 + 3723.46, "01:02:03.5"},
                             {kChartLastCell, 12, "12"},
                             {kChartHeading, 359.96, "360.0°"}})
        EXPECT_EQ(FormatChartValue(w.kind, w.value), w.text) << w.kind;
    EXPECT_EQ(ChartHeading(kChartKindCount), "");
    // Every kind has a heading of its own: a miss in the text table's search leaves one empty.
    std::set<std::string> headings;
    for (int kind = 0; kind < kChartKindCount; ++kind)
        headings.insert(ChartHeading(kind));
    EXPECT_EQ(headings.size(), static_cast<std::size_t>(kChartKindCount));
    EXPECT_FALSE(headings.contains(""));

    // The table text has one quoted heading per column and the grid's values.
    std::vector<Ensemble> pings{ping, ping};
    pings[1].navigation.positionValid = false;
    const std::vector<int> kinds{kChartX, kChartSalinity, kChartBoatSpeed};
    EXPECT_EQ(QuantityTableText(pings, kinds, Options(), "\r\n"),
              "\"Easting\",\"Salinity\",\"Boat Speed\"\r\n1234.57,0,1.50\r\n-----,0,-----\r\n");

    Settings settings;
    settings.NColumns = 4;
    settings.Column = {3, 25, -1, 19};
    EXPECT_EQ(SpreadsheetKinds(settings), (std::vector<int>{3, 19}));
    settings.NColumns = 99;  // an edited file's count stops at the layout's size
    EXPECT_EQ(SpreadsheetKinds(settings).size(), 18u);

    // The boat-to-water speed ratio and its bands.
    Ensemble water = Ping();
    water.cells = {{300, 400, 0, 0}, {kBadVelocity, 0, 0, 0}, {600, 800, 0, 0}, {0, 0, 0, 0}};
    // Boat 500 mm/s over (500 + 1000 + 0) / 3 mm/s of water; the bad cell is not counted.
    const auto point = BoatWaterPointOf(water, 5, Options().quantities);
    ASSERT_TRUE(point);
    EXPECT_DOUBLE_EQ(point->boatSpeedMms, 500);
    EXPECT_DOUBLE_EQ(point->ratioPercent, 100);

    water.cells = {{kBadVelocity, 0, 0, 0}, {0, 0, 0, 0}};
    EXPECT_FALSE(BoatWaterPointOf(water, 0, Options().quantities)) << "no water speed";
    water = Ping();
    water.bottomTrackVelocity.north = kBadVelocity;
    EXPECT_FALSE(BoatWaterPointOf(water, 0, Options().quantities)) << "no boat speed";

    for (const auto& [ratio, band] : {std::pair{99.999, SpeedBand::Slower},
                                      {100.0, SpeedBand::Faster},
                                      {199.999, SpeedBand::Faster},
                                      {200.0, SpeedBand::MuchFaster}})
        EXPECT_EQ(SpeedBandOf(ratio), band) << ratio;
}

}  // namespace
}  // namespace fluvex
