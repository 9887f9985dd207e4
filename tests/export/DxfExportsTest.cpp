// The 2-D and 3-D drawings read back by ezdxf (Debian's python): the audit finds no error, the
// layers and the drawing unit are the ones named, and on a survey with a known uniform current
// every arrow and every vector points the current's way with the length it should have.

#include "export/DxfExports.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <set>
#include <string>
#include <utility>

#include "TestEnvironment.h"
#include "export/DxfWriter.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr double kCurrentDirection = 60.0;  // degrees, towards
constexpr double kArrowLength = 15.0;

double Bearing(const json& from, const json& to) {
    const double degrees = std::atan2(to[0].get<double>() - from[0].get<double>(),
                                      to[1].get<double>() - from[1].get<double>()) *
                           180 / std::numbers::pi;
    return degrees < 0 ? degrees + 360 : degrees;
}

double HorizontalLength(const json& from, const json& to) {
    return std::hypot(to[0].get<double>() - from[0].get<double>(),
                      to[1].get<double>() - from[1].get<double>());
}

class DxfExports : public test::GridSurvey {
protected:
    void SetUp() override {
        GridSurvey::SetUp();
        if (std::system((std::string(test::kPython) + " -c 'import ezdxf' 2>/dev/null").c_str()) !=
            0)
            GTEST_SKIP() << "needs " << test::kPython << " with ezdxf";
        Units().SetVelocityUnit(2);
        ASSERT_TRUE(LoadColourTable(Root() / "ADCP.hcf"));
        options.arrowLength = kArrowLength;
        options.arrowInterval = 10.0;
    }

    // `navigation` false leaves the second line without positions.
    void LoadUniformSurvey(bool navigation = true) {
        for (const fs::path& file : test::WriteUniformCrossings(Root(), navigation))
            ASSERT_TRUE(database.AddLine(file, {}, prompt));
    }

    LineRange AllLines() const { return {0, database.LineCount()}; }

    json Dump(const fs::path& drawing) {
        int status = -1;
        const std::string output = test::RunPython(
            std::string(FLUVEX_TEST_DATA) + "/../export/dump_dxf.py " + drawing.string(), status);
        EXPECT_EQ(status, 0) << drawing;
        return status == 0 ? json::parse(output) : json();
    }

    // The grid positions of every positioned ping.
    std::set<std::pair<double, double>> Positions() {
        std::set<std::pair<double, double>> positions;
        for (int line = 0; line < database.LineCount(); ++line)
            for (const Ensemble& ping : database.Ensembles(line))
                if (ping.navigation.positionValid)
                    positions.emplace(ping.navigation.x, ping.navigation.y);
        return positions;
    }

    PlanOptions options;
};

// Every arrow shaft (the polylines as long as an arrow) starts at a ping's position and points
// towards 60 degrees; each arrow has its label, turned to read along it.
TEST_F(DxfExports, PlanArrowsFollowTheCurrent) {
    LoadUniformSurvey();
    const fs::path file = Root() / "plan.dxf";
    ASSERT_TRUE(ExportPlanDxf(database, options, CurrentQuantityOptions(), CurrentVelocityTable(),
                              AllLines(), file, prompt));
    const json drawing = Dump(file);
    ASSERT_TRUE(drawing.is_object());
    const auto positions = Positions();
    int shafts = 0;
    int planned = 0;
    for (const json& line : drawing["lines"]) {
        const std::string layer = line["layer"];
        if (layer == "PlannedLines") ++planned;
        const json& p = line["points"];
        if (layer == "PlannedLines" || p.size() != 2) continue;
        if (std::abs(HorizontalLength(p[0], p[1]) - kArrowLength) > 1e-6) continue;
        ++shafts;
        EXPECT_NEAR(Bearing(p[0], p[1]), kCurrentDirection, 1.0);  // whole degrees
        EXPECT_TRUE(positions.contains({p[0][0].get<double>(), p[0][1].get<double>()}));
        EXPECT_LT(p[0][2].get<double>(), 0.0);  // at the cell's depth
    }
    EXPECT_EQ(planned, 2);
    EXPECT_GT(shafts, 8);
    ASSERT_EQ(drawing["texts"].size(), static_cast<std::size_t>(shafts));
    for (const json& text : drawing["texts"]) {
        EXPECT_NEAR(text["rotation"].get<double>(), 90 - kCurrentDirection, 1.0);
        EXPECT_EQ(text["text"], "0.800 m/s");
    }
}

// After the mend, every 3-D vector of a 0.8 m/s current has the full length 0.9 L (the largest
// speed is the same 0.8 m/s); truncating in m/s would have made them all points.
TEST_F(DxfExports, VectorsHaveTheirLengthAlongTheCurrent) {
    LoadUniformSurvey();
    const fs::path file = Root() / "vectors.dxf";
    ASSERT_TRUE(
        ExportVectorDxf(database, options, CurrentQuantityOptions(), AllLines(), file, prompt));
    const json drawing = Dump(file);
    ASSERT_TRUE(drawing.is_object());
    EXPECT_EQ(drawing["audit_errors"], json::array());
    int vectors = 0;
    int markers = 0;
    for (const json& line : drawing["lines"]) {
        const json& p = line["points"];
        if (line["layer"] == "0") {
            markers += line["closed"].get<bool>() ? 1 : 0;
            continue;
        }
        ++vectors;
        EXPECT_EQ(line["kind"], "3d");
        EXPECT_NEAR(HorizontalLength(p[0], p[1]), 0.9 * kArrowLength, 1e-6);
        EXPECT_NEAR(Bearing(p[0], p[1]), kCurrentDirection, 1.0);
    }
    EXPECT_GT(markers, 8);
    EXPECT_GT(vectors, markers);
}

// The drawing unit follows the display distance unit; without track lines there is no
// "PlannedLines" layer; solid arrows are hatches. Every drawing passes ezdxf's audit. The depth
// layers' names are PlanDrawingTest's.
TEST_F(DxfExports, UnitsTrackLinesAndArrowStyles) {
    LoadUniformSurvey();
    struct Case {
        int distanceUnit;
        bool trackLines, solidAverage;
        int insunits;
    };
    for (const Case c :
         {Case{0, true, false, 6}, Case{1, false, true, 2}, Case{2, true, false, 2}}) {
        Units().SetDistanceUnit(c.distanceUnit);
        options.showTrackLines = c.trackLines;
        options.solidArrows = c.solidAverage;
        options.placement = c.solidAverage ? 1 : 0;
        const fs::path plan = Root() / "plan.dxf";
        const fs::path vectors = Root() / "vectors.dxf";
        ASSERT_TRUE(ExportPlanDxf(database, options, CurrentQuantityOptions(),
                                  CurrentVelocityTable(), AllLines(), plan, prompt));
        ASSERT_TRUE(ExportVectorDxf(database, options, CurrentQuantityOptions(), AllLines(),
                                    vectors, prompt));
        const json drawing = Dump(plan);
        ASSERT_TRUE(drawing.is_object());
        EXPECT_EQ(drawing["audit_errors"], json::array());
        EXPECT_EQ(drawing["insunits"], c.insunits);
        EXPECT_EQ(Dump(vectors)["insunits"], c.insunits);
        EXPECT_EQ(drawing["hatches"].get<int>() > 8, c.solidAverage);
        const std::set<std::string> layers = drawing["layers"];
        EXPECT_EQ(layers.contains("PlannedLines"), c.trackLines) << c.distanceUnit;
    }
}

// A line shorter than one interval gets no arrow at the closest pings and one position of
// arrows in the average placement.
TEST_F(DxfExports, LineShorterThanOneInterval) {
    LoadUniformSurvey();
    options.arrowInterval = 100.0;  // the lines are about 54 m long
    for (const int placement : {0, 1}) {
        options.placement = placement;
        const fs::path file = Root() / "short.dxf";
        ASSERT_TRUE(ExportPlanDxf(database, options, CurrentQuantityOptions(),
                                  CurrentVelocityTable(), {0, 1}, file, prompt));
        const json texts = Dump(file)["texts"];
        std::set<std::pair<double, double>> places;
        for (const json& text : texts)
            places.emplace(text["at"][0], text["at"][1]);
        EXPECT_EQ(places.size(), placement == 0 ? 0U : 1U);
    }
}

// A line without any position stops the 3-D drawing with the message, and no file is written.
TEST_F(DxfExports, VectorDrawingNeedsPositionsOnEveryLine) {
    LoadUniformSurvey(false);
    const fs::path file = Root() / "vectors.dxf";
    EXPECT_FALSE(
        ExportVectorDxf(database, options, CurrentQuantityOptions(), AllLines(), file, prompt));
    EXPECT_FALSE(fs::exists(file));
    ASSERT_EQ(prompt.Messages().size(), 1U);
    EXPECT_EQ(prompt.Messages()[0].text, "No Position data for this line found");
}

// The writer's texts: beyond ASCII as \U+XXXX, broken bytes and control characters replaced.
TEST(DxfText, KeepsTheFileReadable) {
    EXPECT_EQ(DxfText("0.8 m/s"), "0.8 m/s");
    EXPECT_EQ(DxfText("15°"), "15\\U+00B0");
    EXPECT_EQ(DxfText("a\r\nb\xFF"), "a  b?");
}

}  // namespace
}  // namespace fluvex
