#include "project/ProfileScales.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <vector>

#include "TestEnvironment.h"
#include "project/Database.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

class ProfileLayoutStep : public test::TemporaryHostFolders {};

// An 800 x 600 target with "0" 8 wide, "00000" 40 wide and text 14 high; no line loaded.
TEST_F(ProfileLayoutStep, DividesTheTargetStartsEmptyRangesAndStepsTheAxes) {
    struct Case {
        bool printing;
        int autoScaleColors;
        bool showColourBar;
        bool labels;
        PixelRect colourBar;
        PixelRect plot;
    };
    for (const Case& c : {
             Case{false, 0, true, true, {732, 8, 792, 592}, {62, 44, 724, 542}},
             // On paper the unscaled bar is shared by the page, the scaled one drawn per line.
             Case{true, 0, true, true, {652, 8, 792, 592}, {62, 44, 792, 542}},
             Case{true, 1, true, false, {652, 8, 792, 592}, {8, 44, 644, 570}},
         }) {
        Settings& settings = AppSettings();
        settings.AutoScaleColors = c.autoScaleColors;
        settings.ShowColorBar = c.showColourBar;
        settings.DepthLabels = settings.DBLLabels = c.labels;
        const ProfileLayout layout =
            ComputeProfileLayout(AppDatabase(), -1, {0, 0, 800, 600}, c.printing, {8, 40, 14});
        SCOPED_TRACE(testing::Message() << "printing " << c.printing << " labels " << c.labels);
        EXPECT_EQ(layout.colourBar, c.colourBar);
        EXPECT_EQ(layout.plot, c.plot);
        // No time at all: a span of 1000 s from 0. No depth at all: an upside-down range.
        EXPECT_EQ(std::tuple(layout.xMinimum, layout.xMaximum, layout.yMinimum, layout.yMaximum),
                  std::tuple(0.0, 1000.0, 2e30, -2e30));
    }

    // Automatic labels write the increments back, and the axes step by them.
    ProfileLayout layout;
    layout.plot = {0, 0, 300, 200};
    layout.xMaximum = 120;
    layout.xScale = 2.5;
    layout.yMinimum = 0.3;
    layout.yMaximum = 4.3;
    layout.yScale = 50;
    Settings& settings = AppSettings();
    settings.UseTime = false;
    const AxisIncrements automatic = ApplyAxisIncrements(layout, 8);
    EXPECT_EQ(std::tuple(automatic.dblLabel, automatic.dblTick, automatic.depthLabel,
                         automatic.depthTick),
              std::tuple(50.0, 25.0, 1.0, 0.5));
    EXPECT_EQ(std::tuple(settings.DBLLabelInc, settings.DepthTicInc), std::tuple(50.0, 0.5));
    settings.AutoLabel = false;
    settings.DBLLabelInc = 7;
    EXPECT_EQ(ApplyAxisIncrements(layout, 8).dblLabel, 7);

    // From whole units (0 lies above the range), and by whole hundreds across while on the plot.
    EXPECT_EQ(DepthLabelValues(layout, 1), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(DepthTickValues(layout, 0.5), (std::vector<double>{0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4}));
    EXPECT_EQ(DblLabelValues(layout, 50), (std::vector<double>{0, 50, 100}));
    EXPECT_EQ(DblTickValues(layout, 50, 25), (std::vector<double>{25, 50, 75, 100}));
    // Increments typed as 0 must not stall the drawing.
    EXPECT_TRUE(DepthLabelValues(layout, 0).empty());
    EXPECT_EQ(DblTickValues(layout, 50, 0), DblTickValues(layout, 50, 25));
}

TEST(ProfileLayout, MapsThePlotCornersTruncatingTowardZeroAndStepsByTheSpan) {
    ProfileLayout layout;
    layout.plot = {0, 0, 100, 200};
    layout.xMaximum = 50;
    layout.xScale = 2;
    layout.yMinimum = 1;
    layout.yMaximum = 5;
    layout.yScale = 50;
    EXPECT_EQ(layout.MapY(5), 200);
    EXPECT_EQ(layout.MapX(-0.2), 0);  // -0.4
    EXPECT_EQ(layout.MapX(0.7), 1);   // 1.4
    EXPECT_EQ(layout.MapY(0.99), 0);  // -0.5
    EXPECT_EQ(layout.ValueAtX(100), 50);
    EXPECT_EQ(layout.DepthAtY(200), 5);
    // An empty range scales infinitely: its value sits on the edge, any other far off the plot.
    layout.xScale = std::numeric_limits<double>::infinity();
    EXPECT_EQ(layout.MapX(0), 0);
    EXPECT_GT(layout.MapX(1), 100'000);
    EXPECT_LT(layout.MapX(-1), -100'000);

    // Automatic increments follow the span and the text size.
    struct Case {
        double span;
        bool useTime;
        double increment;
    };
    for (const Case c :
         {Case{3, false, 1}, Case{7, false, 2}, Case{15, false, 5}, Case{30, false, 1},
          Case{120, false, 50}, Case{300, false, 10}, Case{-120, false, 50}, Case{1800, true, 60},
          Case{7200, true, 3600}, Case{std::numeric_limits<double>::infinity(), false, 1}})
        EXPECT_EQ(AutoDblLabelIncrement(c.span, c.useTime), c.increment) << c.span;
    EXPECT_EQ(AutoDepthLabelIncrement(8, 4), 5);  // labels at least 4 units apart
    EXPECT_EQ(AutoDepthLabelIncrement(8, 16), 1);
    EXPECT_EQ(AutoDepthLabelIncrement(8, 0.5), 50);
}

}  // namespace
}  // namespace fluvex
