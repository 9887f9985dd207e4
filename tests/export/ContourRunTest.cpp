// Contour runs over a synthetic survey: a ping without a position is left out of the slices,
// slices below every bed say "No data" and the run goes on, no slice at all is still a success,
// and each line's profile drawing is written.

#include "export/ContourRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "TestEnvironment.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/BeamGeometry.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;

// Metres and m/s on a UTM grid; a run writes into Root()/out and its status texts are kept.
class ContourSurvey : public test::GridSurvey {
protected:
    void SetUp() override {
        GridSurvey::SetUp();
        Units().SetVelocityUnit(2);
        options.autoScaleDepth = false;
        fs::create_directories(Root() / "out");
    }

    int Run() {
        const ContourProgress progress{[this](const std::string& text) { said.push_back(text); },
                                       {}};
        return RunContours(database, options, CurrentQuantityOptions(), Root(), Root() / "out",
                           progress, &written);
    }

    ContourOptions options;
    std::vector<std::string> said;
    std::vector<fs::path> written;
};

class ContourRun : public ContourSurvey {
protected:
    // Two crossings 3 m deep; the second without positions.
    void SetUp() override {
        ContourSurvey::SetUp();
        for (const fs::path& file : test::WriteUniformCrossings(Root(), false))
            ASSERT_TRUE(database.AddLine(file, {}, prompt));
        options.colours = {{0.0, MakeColour(0, 0, 255)}, {0.5, MakeColour(0, 255, 0)}};
    }
};

TEST_F(ContourRun, PingsWithoutPositionAreLeftOutOfSlices) {
    const std::vector<TinPoint> points =
        HorizontalSlicePoints(database, 1.0, options, CurrentQuantityOptions(), {});
    EXPECT_EQ(points.size(), database.Ensembles(0).size());
    for (const TinPoint& p : points)
        EXPECT_FALSE(p.x == 0 && p.y == 0);
}

TEST_F(ContourRun, NoSliceAboveTheDeepestIsSuccess) {
    options.sliceInterval = 5.0;
    options.maxDepth = 5.0;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(said, std::vector<std::string>{"Success"});
    options.sliceInterval = 0.0;
    EXPECT_EQ(Run(), 1);
}

// Along time both lines are drawn; along distance the line without positions has no extent
// and is said to have no data.
TEST_F(ContourRun, ProfilesWriteOneDrawingPerLine) {
    options.verticalProfiles = true;
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].filename(), "uni_001.dxf");
    EXPECT_EQ(written[1].filename(), "uni_002.dxf");
    EXPECT_EQ(said.back(), "Success");
    options.useTime = false;
    written.clear();
    said.clear();
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(said, (std::vector<std::string>{"Contouring uni_001.PD0", "Contouring uni_002.PD0",
                                              "No data in uni_002.PD0", "Success"}));
}

// A reach of four crossings 5 m apart over a parabolic channel with a power-law current: at a
// fixed depth the speed depends on the bed depth under the ping only, so each isoline of a
// horizontal slice runs along the banks at a known station. Every contour vertex lies within
// half the ping spacing of it, as recorded and with the running mean along the lines.
class ContourReach : public ContourSurvey {
protected:
    static constexpr double kSpacing = 0.25;  // metres between pings
    static constexpr double kSlice = 1.0;     // metres below the surface

    void SetUp() override {
        ContourSurvey::SetUp();
        // Longitude 9 is the zone's central meridian: grid east is true east there.
        survey_ = synth::ParseSurveyDescription(
            "[Survey]\nLines = 4\n[Section]\nProfile = parabolic\nWidth = 60\nDepth = 4\n"
            "[Water]\nProfile = powerlaw\nSpeed = 0.8\nDirection = 20\nExponent = 1\n"
            "[Track]\nEnsembles = 217\nSpeed = 0.25\nStartStation = 3\nLineShift = 5\n"
            "[Instrument]\nCells = 20\n"
            "[Navigation]\nBlocks = 104\nLatitude = 47.3\nLongitude = 9\n");
        for (int line = 0; line < survey_.lines; ++line)
            Load(synth::GenerateLine(survey_, line), "reach_" + std::to_string(line) + ".PD0");
    }

    // The speed the instrument records at the slice depth over the given station: the mean over
    // the cell holding the slice depth.
    double SpeedAt(double station) const {
        const double size = survey_.instrument.CellSizeM();
        const double top = survey_.instrument.FirstCellTopM() +
                           std::floor((kSlice - survey_.instrument.FirstCellTopM()) / size) * size;
        const synth::Vec3 v =
            survey_.water.MeanVelocity(top, top + size, survey_.section.DepthAt(station));
        return std::hypot(v.x, v.y);
    }

    synth::SurveyDescription survey_;
};

// Slices at 2, 4 and 6 m; the deepest bed is at 4 m.
TEST_F(ContourReach, SliceBelowEveryBedSaysNoDataAndTheRunGoesOn) {
    options.sliceInterval = 2.0;
    options.maxDepth = 6.5;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(said, (std::vector<std::string>{"Slicing at 2.00 m", "Slicing at 4.00 m",
                                              "No data at 4.00 m", "Slicing at 6.00 m",
                                              "No data at 6.00 m", "Success"}));
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].filename(), "2.00_m.dxf");
    EXPECT_TRUE(fs::exists(Root() / "Fluvex.xyz"));
}

// The first line's profile against the current's linear growth with height above the bed: the
// cells' means are the values at their centres, so a level's line lies within a quarter of a
// cell (in depth) of its isoline; placed at the cells' top edges it would be half a cell off.
TEST_F(ContourReach, ProfileVerticesLieOnTheIsolines) {
    options.component = kMagnitude2D;
    double largestLeg = 0.0;
    Tin tin;
    ASSERT_TRUE(LoadContourTin(
        tin, VerticalProfilePoints(database, 0, options, CurrentQuantityOptions(), largestLeg),
        largestLeg));
    const double t0 = EnsembleTimeOf(database.Ensembles(0)[0], AppSettings().Time_Type());
    const double quarter = survey_.instrument.CellSizeM() / 4;
    const std::vector<ContourLevel> levels = tin.Contours(0.25);
    ASSERT_EQ(levels.size(), 5u);  // 0.25 to 1.25 m/s
    for (const ContourLevel& level : levels)
        for (const ContourLevel::Line& line : level.lines)
            for (const DxfPoint& p : line.points) {
                const double bed = survey_.section.DepthAt(3.0 + 0.25 * (p.x - t0));  // 0.25 m/s
                const auto speed = [&](double depth) { return 1.6 * (1.0 - depth / bed); };
                EXPECT_LE(
                    (speed(-p.y - quarter) - level.value) * (speed(-p.y + quarter) - level.value),
                    0.0)
                    << "level " << level.value << " at " << p.x - t0 << " s, " << -p.y << " m";
            }
}

class ContourSliceField : public ContourReach, public ::testing::WithParamInterface<int> {};

TEST_P(ContourSliceField, VerticesLieOnTheIsolines) {
    options.component = kMagnitude2D;
    options.smoothing = GetParam();
    Tin tin;
    ASSERT_TRUE(LoadContourTin(
        tin, HorizontalSlicePoints(database, kSlice, options, CurrentQuantityOptions(), {}),
        options.largestLeg));
    const double x0 = database.Ensembles(0)[0].navigation.x;
    const std::vector<ContourLevel> levels = tin.Contours(0.25);
    // The water is 0.3 m/s where the bed reaches the slice and 1.22 m/s at the deepest.
    ASSERT_EQ(levels.size(), 3u);
    for (const ContourLevel& level : levels) {
        ASSERT_EQ(level.lines.size(), 2u) << level.value;  // one along each bank
        for (const ContourLevel::Line& line : level.lines)
            for (const DxfPoint& p : line.points) {
                // The station of the vertex (the grid's scale at the meridian is 0.9996).
                const double station = 3.0 + (p.x - x0) / 0.9996;
                const double below = SpeedAt(station - kSpacing / 2) - level.value;
                const double above = SpeedAt(station + kSpacing / 2) - level.value;
                EXPECT_LE(below * above, 0.0)
                    << "level " << level.value << " at station " << station;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Smoothing, ContourSliceField, ::testing::Values(0, 3));

}  // namespace
}  // namespace fluvex
