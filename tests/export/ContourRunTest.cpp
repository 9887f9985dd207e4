// Contour runs over a synthetic survey: a ping without a position is left out of the slices,
// slices below every bed say "No data" and the run goes on, no slice at all is still a success,
// and each line's profile drawing is written.

#include "export/ContourRun.h"

#include <gtest/gtest.h>

#include <string>

#include "TestEnvironment.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;

class ContourRun : public test::TemporaryHostFolders {
protected:
    // Two crossings 3 m deep; the second without positions.
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
        Units().SetVelocityUnit(2);
        geodesy_ = Geodesy::Create("EPSG:32632", 1.0).geodesy;
        database.SetGeodesy(geodesy_.get());
        // The second line has no positions.
        for (const fs::path& file : test::WriteUniformCrossings(Root(), false))
            ASSERT_TRUE(database.AddLine(file, {}, prompt));
        options.colours = {{0.0, MakeColour(0, 0, 255)}, {0.5, MakeColour(0, 255, 0)}};
        options.autoScaleDepth = false;
        fs::create_directories(Root() / "out");
    }

    int Run() {
        const ContourProgress progress{[this](const std::string& text) { said.push_back(text); },
                                       {}};
        return RunContours(database, options, Units(), Root(), Root() / "out", progress, &written);
    }

    Database& database = AppDatabase();
    RecordingPrompt prompt;
    ContourOptions options;
    std::vector<std::string> said;
    std::vector<fs::path> written;
    std::unique_ptr<Geodesy> geodesy_;
};

TEST_F(ContourRun, PingsWithoutPositionAreLeftOutOfSlices) {
    const std::vector<TinPoint> points = HorizontalSlicePoints(database, 1.0, -1, Units(), {});
    EXPECT_EQ(points.size(), database.Ensembles(0).size());
    for (const TinPoint& p : points)
        EXPECT_FALSE(p.x == 0 && p.y == 0);
}

TEST_F(ContourRun, SliceBelowEveryBedSaysNoDataAndTheRunGoesOn) {
    options.sliceInterval = 2.0;
    options.maxDepth = 6.5;  // slices at 2, 4 and 6 m; the bed is at 3 m
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(said, (std::vector<std::string>{"Slicing at 2.00 m", "Slicing at 4.00 m",
                                              "No data at 4.00 m", "Slicing at 6.00 m",
                                              "No data at 6.00 m", "Success"}));
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].filename(), "2.00_m.dxf");
    EXPECT_TRUE(fs::exists(Root() / "Fluvex.xyz"));
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

}  // namespace
}  // namespace fluvex
