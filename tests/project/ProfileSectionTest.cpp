#include "project/ProfileSection.h"
#include "project/SettingsOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "TestEnvironment.h"
#include "model/DirectionColourTable.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::size_t kPings = 30;
constexpr int kBadPing = 10;
constexpr int kBadCell = 2;

std::uint32_t Argb(ColourRef colour) {
    return kBlack | static_cast<std::uint32_t>(RedOf(colour)) << 16 |
           static_cast<std::uint32_t>(GreenOf(colour)) << 8 |
           static_cast<std::uint32_t>(BlueOf(colour));
}

double NumberIn(const std::string& text) {
    double value = 0;
    std::from_chars(text.data() + text.find(": ") + 2, text.data() + text.size(), value);
    return value;
}

void SetDepthRange(ProfileLayout& layout, double minimum, double maximum) {
    layout.yMinimum = minimum;
    layout.yMaximum = maximum;
    layout.yScale = layout.plot.Height() / (maximum - minimum);
}

// A crossing at 1 m/s over a flat bed 3 m deep under a uniform stream of 0.5 m/s to the north,
// with GGA positions and one bad cell, drawn by distance with the colours spread over 0-1 m/s.
class ProfileSection : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
        ASSERT_TRUE(LoadColourTable(Root() / "ADCP.hcf"));
        RescaleVelocityTable(0, 1);
        geodesy_ = Geodesy::Create("EPSG:32632", 1.0).geodesy;
        database.SetGeodesy(geodesy_.get());
        AppSettings().SetVelocity(kNorthVelocity);
        AppSettings().UseTime = false;
    }

    // `edit` changes pings before they are written.
    void OpenLine(const std::function<void(std::vector<synth::Pd0Ensemble>&)>& edit = {}) {
        synth::SyntheticLine line = synth::GenerateLine(
            synth::ParseSurveyDescription(
                "[Section]\nProfile = rectangular\nWidth = 60\nDepth = 3\n"
                "[Water]\nSpeed = 0.5\n[Track]\nEnsembles = 30\nStartStation = 10\nSpeed = 1\n"
                "[Instrument]\nCells = 14\n"
                "[Navigation]\nBlocks = 104\nLatitude = 47\nLongitude = 8\n"),
            0);
        line.ensembles[kBadPing].velocity[kBadCell].fill(synth::kBadVelocity);
        if (edit) edit(line.ensembles);
        ASSERT_TRUE(
            database.AddLine(test::WriteLineFile(Root() / "section.PD0", line), {}, prompt));
    }

    ProfileLayout Layout() {
        return ComputeProfileLayout(database, 0, {0, 0, 640, 400}, false, {8, 40, 14});
    }
    const Ensemble& Ping(int index) {
        return database.Ensembles(0)[static_cast<std::size_t>(index)];
    }
    double X(int ping) {
        return AppSettings().UseTime ? EnsembleTimeOf(Ping(ping), AppSettings().Time_Type())
                                     : Ping(ping).navigation.distance;
    }
    // The middle of the column drawn from ping `from` to ping `to`, and of cell `cell`.
    int Column(const ProfileLayout& layout, int from, int to) {
        return (layout.MapX(X(from)) + layout.MapX(X(to))) / 2;
    }
    int Row(const ProfileLayout& layout, int cell) {
        return (layout.MapY(CellDepth(Ping(0), cell, Units())) +
                layout.MapY(CellDepth(Ping(0), cell + 1, Units()))) /
               2;
    }
    std::uint32_t CellPixel(const SectionImage& image, const ProfileLayout& layout, int ping,
                            int cell) {
        return image.PixelAt(Column(layout, ping - 1, ping), Row(layout, cell));
    }

    void BorderAroundFirstHalf() {
        const NavRecord& first = Ping(0).navigation;
        const double middle = (first.x + Ping(kPings - 1).navigation.x) / 2;
        database.SetBorderQuad({BorderPoint{first.x - 50, first.y - 50},
                                {middle, first.y - 50},
                                {middle, first.y + 50},
                                {first.x - 50, first.y + 50}});
    }

    Database& database = AppDatabase();
    RecordingPrompt prompt;
    std::unique_ptr<Geodesy> geodesy_;
};

TEST_F(ProfileSection, KnownVelocitiesFillTheirCellsEdgeToEdgeDownToTheBed) {
    OpenLine();
    ProfileLayout layout = Layout();
    SetDepthRange(layout, 0, 5);
    const SectionImage image = RenderSection(database, 0, layout);
    for (const int ping : {3, 15, 29}) {
        for (const int cell : {0, 3, 6}) {
            const std::int16_t value =
                VelocityComponent(Ping(ping), cell, AppSettings().Velocity());
            EXPECT_NEAR(value, 500, 8);
            EXPECT_EQ(CellPixel(image, layout, ping, cell), Argb(VelocityColour(value, -1)));
        }
    }
    // The bad cell's column runs from the previous ping's pixel up to its own, excluded.
    const int row = Row(layout, kBadCell);
    const int from = layout.MapX(X(kBadPing - 1));
    const int to = layout.MapX(X(kBadPing));
    for (const int x : {from - 1, from, to - 1, to})
        EXPECT_EQ(image.PixelAt(x, row) == kBlack, x == from || x == to - 1) << x;

    // Rows from the first cell's top to the bottom of the cell that reaches the bed; columns
    // from the first ping to the last, which the range puts on the plot's edges.
    int lastCell = 0;
    while (CellDepth(Ping(15), lastCell + 1, Units()) < Depth(Ping(15), CurrentQuantityOptions()))
        ++lastCell;
    const int top = layout.MapY(CellDepth(Ping(15), 0, Units()));
    const int bottom = layout.MapY(CellDepth(Ping(15), lastCell + 1, Units()));
    for (int y = layout.plot.top; y < layout.plot.bottom; ++y)
        EXPECT_EQ(image.PixelAt(Column(layout, 14, 15), y) != kWhite, y >= top && y < bottom) << y;
    for (int x = layout.plot.left; x < layout.plot.right; ++x)
        EXPECT_NE(image.PixelAt(x, Row(layout, 1)), kWhite) << x;

    // Directions take the hue wheel, where a bad value is red rather than black.
    AppSettings().SetVelocity(kDirection);
    const SectionImage directions = RenderSection(database, 0, layout);
    const std::int16_t north = VelocityComponent(Ping(5), 1, AppSettings().Velocity());
    EXPECT_TRUE(north < 2 || north > 358) << north;
    EXPECT_EQ(CellPixel(directions, layout, 5, 1), Argb(DirectionColourTable().Colour(north)));
    EXPECT_EQ(CellPixel(directions, layout, kBadPing, kBadCell), 0xFFFF0000);
}

TEST_F(ProfileSection, BedPointsLieOnTheBedInOrderInTheReferenceColour) {
    Settings& settings = AppSettings();
    settings.DepthColor[kBottomTrackDepth] = 0xFF0000;  // blue
    OpenLine();
    const ProfileLayout layout = Layout();
    const SectionImage image = RenderSection(database, 0, layout);
    ASSERT_EQ(image.bed.size(), kPings);
    for (int k = 0; k < static_cast<int>(kPings); ++k) {
        const double depth = Depth(Ping(k), CurrentQuantityOptions());
        EXPECT_NEAR(depth, 3.0, 0.01);  // the flat bed, from the surface
        EXPECT_EQ(
            image.bed[static_cast<std::size_t>(k)],
            (PixelPoint{layout.MapX(X(k)), std::min(layout.MapY(depth), layout.plot.bottom)}));
    }
    EXPECT_EQ(std::tuple(image.bedVisible, image.bedColour), std::tuple(true, 0xFF0000FFu));
    // Without line files the sounder depths are 0: no bed line.
    settings.SetBottomTrack(kEchoSounderHighDepth);
    EXPECT_FALSE(RenderSection(database, 0, layout).bedVisible);
}

// Ping 20 lost the bottom: it adds no bed point.
TEST_F(ProfileSection, PingsWithoutPositionOrBottomAreSkippedByDistanceAndDrawnByTime) {
    OpenLine([](std::vector<synth::Pd0Ensemble>& pings) {
        for (std::size_t k = 5; k < kBadPing; ++k)
            pings[k].navigation.clear();
        pings[20].bottomTrack->rangeCm.fill(0);
    });
    ProfileLayout layout = Layout();
    SectionImage image = RenderSection(database, 0, layout);
    EXPECT_EQ(image.bed.size(), kPings - 6);
    // The bad ping's cells span the gap back to the last positioned ping.
    EXPECT_EQ(image.PixelAt(Column(layout, 4, kBadPing), Row(layout, kBadCell)), kBlack);

    AppSettings().UseTime = true;
    layout = Layout();
    image = RenderSection(database, 0, layout);
    EXPECT_EQ(image.bed.size(), kPings - 1);
    EXPECT_TRUE(std::ranges::none_of(
        image.bed, [&](const PixelPoint& point) { return point.y == layout.plot.top; }));
    EXPECT_NE(CellPixel(image, layout, 6, kBadCell), kBlack);
    EXPECT_NE(CellPixel(image, layout, 6, kBadCell), kWhite);
}

TEST_F(ProfileSection, TheClipBorderAndTheRangeDecideWhereCellsAppearSmallPlotsShowNone) {
    OpenLine();
    const auto drawnSide = [this] {
        const ProfileLayout layout = Layout();
        const SectionImage image = RenderSection(database, 0, layout);
        const int quarter = layout.plot.Width() / 4;
        const bool left = image.PixelAt(layout.plot.left + quarter, Row(layout, 1)) != kWhite;
        const bool right = image.PixelAt(layout.plot.right - quarter, Row(layout, 1)) != kWhite;
        EXPECT_EQ(image.bed.size(), kPings);  // the bed is drawn whatever the border
        return left == right ? (left ? "both" : "neither") : (left ? "left" : "right");
    };
    EXPECT_STREQ(drawnSide(), "both");
    BorderAroundFirstHalf();
    EXPECT_STREQ(drawnSide(), "left");
    // A range typed backward runs the axis from right to left.
    const auto distances = database.DistanceRange(0);
    ASSERT_TRUE(distances);
    const auto [start, end] = *distances;
    Settings& settings = AppSettings();
    settings.AutoScaleDBL = false;
    settings.StartDBL = end;
    settings.EndDBL = start;
    EXPECT_STREQ(drawnSide(), "right");

    // Small plots and empty depth ranges draw nothing.
    ProfileLayout narrow = Layout();
    narrow.plot.right = narrow.plot.left + 1;
    const SectionImage nothing = RenderSection(database, 0, narrow);
    EXPECT_TRUE(nothing.pixels.empty() && nothing.bed.empty());
    // Automatic depths of a line without depths leave every cell without height.
    ProfileLayout noDepths = Layout();
    SetDepthRange(noDepths, 2e30, -2e30);
    const SectionImage image = RenderSection(database, 0, noDepths);
    EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width * image.height));
    EXPECT_TRUE(
        std::ranges::all_of(image.pixels, [](std::uint32_t pixel) { return pixel == kWhite; }));
}

TEST_F(ProfileSection, TheLayoutTakesItsTimesAndColoursFromTheLine) {
    Settings& settings = AppSettings();
    settings.AutoScaleColors = 1;
    settings.UseTime = true;
    OpenLine();
    ProfileLayout layout = Layout();
    EXPECT_EQ(layout.xMaximum, EnsembleTimeOf(Ping(kPings - 1), AppSettings().Time_Type()));
    EXPECT_EQ(CurrentVelocityTable()->Properties().maximum, database.VelocityRange(0)->maximum);

    // Pings whose time tag was never set do not end the axis; the instrument's clock keeps them
    // in order while they load.
    database.Clear();
    settings.SetTime_Type(1);
    OpenLine([](std::vector<synth::Pd0Ensemble>& pings) {
        for (std::size_t k = 1; k < pings.size(); ++k)
            pings[k].fixed.timeTagMs = 0;
    });
    settings.SetTime_Type(2);
    layout = Layout();
    EXPECT_EQ(layout.xMaximum, layout.xMinimum + 1000);
}

TEST_F(ProfileSection, HeaderAndFooterDescribeTheLine) {
    OpenLine();
    const ProfileHeaderText header = ProfileHeader(database, 0);
    EXPECT_EQ(header.lastNorthing,
              "Northing: " + Units().FormatDistance(Ping(kPings - 1).navigation.y));
    EXPECT_NEAR(NumberIn(header.length), 29, 0.1);   // 29 s at 1 m/s
    EXPECT_NEAR(NumberIn(header.azimuth), 90, 1.5);  // east, turned by the grid's convergence

    EXPECT_EQ(ProfileFooter(database, 0).front(),
              "Measured: " + FormatTwoDecimals(database.ComputeLineDischarge(0).measured));
    BorderAroundFirstHalf();  // the footer follows the clip border
    EXPECT_EQ(ProfileFooter(database, 0).back(),
              "Total: " + FormatTwoDecimals(database.ComputeLineDischargeClipped(0).total));
}

}  // namespace
}  // namespace fluvex
