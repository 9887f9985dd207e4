// The plan view's pieces that a picture would hide: the nearest-ping search against the plain
// scan it replaces, the depth-layer names, the arrow shapes and their labels, and the view's
// pixel mapping.

#include "export/PlanDrawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "model/Ensemble.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"

namespace fluvex {
namespace {

// Remembers what was drawn.
class RecordingTarget final : public DrawingTarget {
public:
    struct Text {
        WorldPoint at;
        double angle = 0.0;
        std::string text;
    };
    bool IsDrawingFile() const override { return false; }
    void BeginPicture() override {}
    void SetTextColour(ColourRef) override {}
    void SetFillColour(ColourRef) override {}
    void SetPen(int, int, ColourRef) override {}
    void DrawLine(const WorldPoint& from, const WorldPoint& to) override {
        lines.push_back({from, to});
    }
    void SetFont(double, double angleDegrees, int) override { angle_ = angleDegrees; }
    void DrawPolyline(std::span<const WorldPoint>) override {}
    void DrawPolygon(std::span<const WorldPoint> points) override {
        polygons.emplace_back(points.begin(), points.end());
    }
    void DrawText(const WorldPoint& at, std::string_view text) override {
        texts.push_back({at, angle_, std::string(text)});
    }

    std::vector<std::pair<WorldPoint, WorldPoint>> lines;
    std::vector<std::vector<WorldPoint>> polygons;
    std::vector<Text> texts;

private:
    double angle_ = 0.0;
};

// The scan the index replaces: the first ping of the smallest gap.
std::optional<std::size_t> ScanNearest(const std::vector<Ensemble>& pings, double distance) {
    std::optional<std::size_t> nearest;
    double closest = 1.7e308;
    for (std::size_t i = 0; i < pings.size(); ++i) {
        const double gap = std::abs(pings[i].navigation.distance - distance);
        if (gap < closest) {
            closest = gap;
            nearest = i;
        }
    }
    return nearest;
}

TEST(NearestDistanceIndex, FindsWhatTheScanFinds) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        // Whole and half metres, so that ties between equal and equally near distances abound.
        std::vector<Ensemble> pings(static_cast<std::size_t>(1 + round * 7));
        std::uniform_int_distribution<int> halves(-10, 40);
        for (Ensemble& ping : pings)
            ping.navigation.distance = halves(random) / 2.0;
        const NearestDistanceIndex index(pings);
        for (double d = -8; d <= 24; d += 0.25)
            ASSERT_EQ(index.Nearest(d), ScanNearest(pings, d)) << round << " " << d;
    }
    EXPECT_FALSE(NearestDistanceIndex({}).Nearest(3.0));
}

TEST(PlanDrawing, DepthLayerNames) {
    EXPECT_EQ(ClosestDepthLayer(2.5, 0.125, "m"), "Depth_01_02m");
    EXPECT_EQ(ClosestDepthLayer(12.9, 1.5, "ft"), "Depth_10_14ft");
    EXPECT_EQ(ClosestDepthLayer(0.0, 1.5, "m"), "Depth_-1_01m");
    EXPECT_EQ(AverageDepthLayer(2.375, 2.625, "m"), "Depth_02.4_02.6m");
    EXPECT_EQ(AverageDepthLayer(-0.25, 10.25, "ft"), "Depth_-0.2_10.2ft");
}

// Every vector type and the solid arrow point the current's way and carry their label, turned
// to read along the arrow; the shapes' strokes are the drawing's own business.
TEST(PlanDrawing, ArrowsPointTheCurrentsWayWithTheirLabel) {
    Units().SetVelocityUnit(2);
    const double pi = std::numbers::pi;
    const struct {
        int style;
        bool solid;
        double theta, labelAngle;
    } cases[] = {
        {0, false, 0.0, 90},            // flood, north
        {1, false, pi / 2, 0},          // ebb, east
        {2, false, pi, 270},            // restricted, south
        {0, true, 3 * pi / 2, 180},     // solid, west
        {1, false, 60 * pi / 180, 30},  // the uniform current of the DXF tests
    };
    for (const auto& c : cases) {
        PlanOptions options;
        options.arrowStyle = c.style;
        options.solidArrows = c.solid;
        RecordingTarget target;
        const PlanDrawing drawing(AppDatabase(), options, CurrentQuantityOptions(), nullptr);
        drawing.DrawArrow(target, "", 800, {10, 20, -1}, c.theta);
        ASSERT_EQ(target.texts.size(), 1U);
        EXPECT_EQ(target.texts[0].angle, c.labelAngle);
        EXPECT_EQ(target.texts[0].text, "0.800 m/s");
        // The shaft, or the solid arrow's point, lies the arrow's length along the current.
        const auto [base, tip] =
            c.solid ? std::pair{WorldPoint{10, 20, -1}, target.polygons.at(0).at(4)}
                    : target.lines.at(0);
        const double length = c.solid ? 15 + 4 * 0.35 : 15;
        EXPECT_NEAR(tip.x - base.x, length * std::sin(c.theta), 1e-9) << c.style;
        EXPECT_NEAR(tip.y - base.y, length * std::cos(c.theta), 1e-9) << c.style;
        if (!c.solid) {
            EXPECT_EQ(tip.z, -1);  // at the cell's depth
        }
    }
}

TEST(ViewMapping, KeepsTheAspectRatioAndMapsBack) {
    ViewMapping view;
    view.SetViewport({0, 0, 200, 100});
    view.ZoomTo({0, 0, 10, 10});  // square: fits the height, 10 pixels per unit
    EXPECT_DOUBLE_EQ(view.Scale(), 10.0);
    const PixelPoint centre = view.WorldToPixel(5, 5);
    EXPECT_DOUBLE_EQ(centre.x, 100);
    EXPECT_DOUBLE_EQ(centre.y, 50);
    EXPECT_DOUBLE_EQ(view.WorldToPixel(5, 10).y, 0);  // north is up
    const WorldPoint back = view.PixelToWorld({37, 81});
    const PixelPoint again = view.WorldToPixel(back.x, back.y);
    EXPECT_NEAR(again.x, 37, 1e-9);
    EXPECT_NEAR(again.y, 81, 1e-9);
    // Nothing to show (the empty bounds of zoom extents) still maps without dividing by zero.
    view.ZoomTo({2e30, 2e30, -2e30, -2e30});
    EXPECT_TRUE(std::isfinite(view.PixelToWorld({3, 4}).x));
}

}  // namespace
}  // namespace fluvex
