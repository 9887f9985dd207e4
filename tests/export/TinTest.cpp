// The TIN and its contours against fields whose isolines are known: every contour vertex lies on
// the analytic isoline of its level, lines are joined (one open line per level across a plane,
// one closed loop per level around a cone), the largest leg keeps separate clouds apart, and the
// drawing reads back in ezdxf without audit errors.

#include "export/Tin.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <set>
#include <string>

#include "TestEnvironment.h"

namespace fluvex {
namespace {

using nlohmann::json;
using Field = std::function<double(double, double)>;

std::vector<TinPoint> Grid(int columns, int rows, double dx, double dy, const Field& field,
                           double x0 = 0.0) {
    std::vector<TinPoint> points;
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j) {
            const double x = x0 + i * dx;
            const double y = j * dy;
            points.push_back({x, y, field(x, y)});
        }
    return points;
}

struct FieldCase {
    const char* name;
    Field field;
    double dx, dy;       // grid spacing
    double tolerance;    // of the field's value at a contour vertex
    double closedBelow;  // levels below: one loop; above: one open line (cone: not checked)
};

class TinContours : public ::testing::TestWithParam<FieldCase> {};

TEST_P(TinContours, VerticesLieOnTheIsolines) {
    const FieldCase& c = GetParam();
    Tin tin;
    ASSERT_TRUE(tin.Load(Grid(41, 21, c.dx, c.dy, c.field, -20 * c.dx), 0.0));
    const std::vector<ContourLevel> levels = tin.Contours(0.25);
    ASSERT_FALSE(levels.empty());
    for (const ContourLevel& level : levels) {
        EXPECT_NEAR(std::remainder(level.value, 0.25), 0.0, 1e-12);
        const bool loop = level.value < c.closedBelow;
        if (loop || std::isinf(c.closedBelow)) {
            ASSERT_EQ(level.lines.size(), 1u) << c.name << " level " << level.value;
            EXPECT_EQ(level.lines[0].closed, loop) << level.value;
        }
        for (const ContourLevel::Line& line : level.lines)
            for (const DxfPoint& p : line.points) {
                EXPECT_NEAR(c.field(p.x, p.y), level.value, c.tolerance) << p.x << "," << p.y;
                EXPECT_EQ(p.z, level.value);
            }
    }
}

// A plane is contoured exactly; the cone (distance from a point, 0.5 spacing) is bent: its loops
// stay within half a cell. A vertical profile's cells are ContourRunTest's.
constexpr double kNoLoops = -std::numeric_limits<double>::infinity();
INSTANTIATE_TEST_SUITE_P(
    Fields, TinContours,
    ::testing::Values(FieldCase{"plane",
                                [](double x, double y) { return 0.03 * x + 0.07 * y + 0.01; }, 1.0,
                                1.0, 1e-9, kNoLoops},
                      FieldCase{"cone",
                                [](double x, double y) { return std::hypot(x, y - 5.0) / 4.0; },
                                0.5, 0.5, 0.25 * 0.5 / 4.0, 1.2}),
    [](const auto& param) { return std::string(param.param.name); });

// Two clouds 30 apart: without a largest leg triangles bridge them; with 5 none does.
TEST(Tin, LargestLegDropsTrianglesBetweenClouds) {
    std::vector<TinPoint> points = Grid(5, 5, 1.0, 1.0, [](double x, double) { return x; });
    const std::vector<TinPoint> far = Grid(
        5, 5, 1.0, 1.0, [](double x, double) { return x; }, 34);
    points.insert(points.end(), far.begin(), far.end());
    const auto bridging = [](const Tin& tin) {
        int count = 0;
        for (const TinTriangle& t : tin.Triangles()) {
            std::set<bool> sides;
            for (int i : t)
                sides.insert(tin.Points()[static_cast<std::size_t>(i)].x > 10);
            count += sides.size() > 1;
        }
        return count;
    };
    Tin open;
    ASSERT_TRUE(open.Load(points, 0.0));
    EXPECT_GT(bridging(open), 0);
    Tin limited;
    ASSERT_TRUE(limited.Load(points, 5.0));
    EXPECT_EQ(bridging(limited), 0);
    EXPECT_EQ(limited.TriangleCount(), 2u * 32u);
}

TEST(Tin, TooFewPointsOrRemovedTrianglesGiveNoContours) {
    Tin tin;
    EXPECT_FALSE(tin.Load({{0, 0, 1}, {1, 0, 2}}, 0.0));
    EXPECT_FALSE(tin.Load({{0, 0, 1}, {1, 1, 2}, {2, 2, 3}}, 0.0));  // in a line
    EXPECT_TRUE(tin.Contours(0.25).empty());
    ASSERT_TRUE(tin.Load(Grid(3, 3, 1, 1, [](double x, double) { return x; }), 0.0));
    EXPECT_FALSE(tin.Contours(0.25).empty());
    EXPECT_TRUE(tin.Contours(0.0).empty());
    EXPECT_TRUE(tin.Contours(1e-9).empty());  // more levels than anyone can want
    for (std::size_t t = 0; t < tin.TriangleCount(); ++t)
        tin.RemoveTriangle(t);
    tin.FinishEdits();
    EXPECT_EQ(tin.TriangleCount(), 0u);
    EXPECT_TRUE(tin.Contours(0.25).empty());
}

class TinFiles : public test::TemporaryHostFolders {};

TEST_F(TinFiles, PointFileIsReadAndBadLinesNamed) {
    WriteText(Root() / "p.xyz", "0.00,0.00,1.000\r\n1.00,0.00,-32768\r\n0.00,1.00,2.500\r\n");
    Tin tin;
    std::string error;
    ASSERT_TRUE(tin.LoadFile(Root() / "p.xyz", 0.0, &error)) << error;
    EXPECT_EQ(tin.Points()[1].value, -32768.0);
    WriteText(Root() / "bad.xyz", "0,0,1\n1,0\n");
    EXPECT_FALSE(tin.LoadFile(Root() / "bad.xyz", 0.0, &error));
    EXPECT_NE(error.find("bad.xyz line 2"), std::string::npos) << error;
}

TEST_F(TinFiles, DrawingReadsBackWithLayersPerLevelAndLegend) {
    if (std::system((std::string(test::kPython) + " -c 'import ezdxf' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs " << test::kPython << " with ezdxf";
    Tin tin;
    ASSERT_TRUE(tin.Load(Grid(11, 11, 1, 1, [](double x, double y) { return 0.1 * (x + y); }), 0));
    const ContourColour colours[] = {{0.0, MakeColour(0, 0, 255)}, {1.0, MakeColour(255, 0, 0)}};
    DxfWriter writer(DxfUnits::Metres);
    ASSERT_TRUE(tin.DrawContours(writer, 0.5, colours));
    DrawContourLegend(writer, colours, "m/s", tin.Bounds());
    ASSERT_TRUE(writer.SaveAs(Root() / "c.dxf"));
    int status = -1;
    const json drawing = json::parse(test::RunPython(
        std::string(FLUVEX_TEST_DATA) + "/../export/dump_dxf.py " + (Root() / "c.dxf").string(),
        status));
    ASSERT_EQ(status, 0);
    EXPECT_EQ(drawing["audit_errors"], json::array());
    const std::set<std::string> layers = drawing["layers"];
    for (const char* name : {"Contour_0.50", "Contour_1.00", "Contour_1.50", "Legend"})
        EXPECT_TRUE(layers.count(name)) << name;
    EXPECT_FALSE(layers.count("Contour_0.00"));  // touches one corner only: no line
    EXPECT_EQ(drawing["hatches"], 2);
    std::set<std::string> texts;
    for (const json& text : drawing["texts"])
        texts.insert(text["text"].get<std::string>());
    EXPECT_EQ(texts, (std::set<std::string>{" 0.00 m/s", " 1.00 m/s"}));
}

TEST(Tin, LevelColourIsTheEntryAtOrBelow) {
    const ContourColour colours[] = {{0.0, 1}, {0.5, 2}, {1.0, 3}};
    EXPECT_EQ(ContourLevelColour(colours, -1.0), 1u);
    EXPECT_EQ(ContourLevelColour(colours, 0.5), 2u);
    EXPECT_EQ(ContourLevelColour(colours, 0.99), 2u);
    EXPECT_EQ(ContourLevelColour(colours, 7.0), 3u);
    EXPECT_EQ(ContourLevelColour({}, 7.0), 0u);
}

}  // namespace
}  // namespace fluvex
