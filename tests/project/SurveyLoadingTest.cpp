// Whole surveys loaded as the acquisition suite leaves them, against the generator's truth. (A real
// file's positions are read by the reader's tests, its grid zone chosen in LineLoadingTest.)

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>

#include "TestEnvironment.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct SuiteCase {
    const char* name;
    const char* lineFiles;
    // Raw line files hold millimetres and thousandths of a degree.
    double positionTolerance;
};

// Attitude swings of 2-4 degrees with periods of 7-9 s: records 0.5 s apart (1 s where a bad one
// is skipped) follow them to within A (1 - cos(pi gap / T)) < 0.25 degrees, and the depth under a
// parabolic bed to a few millimetres.
constexpr double kAttitudeTolerance = 0.3;
constexpr double kDepthTolerance = 0.005;

class SuiteSurvey : public test::TemporaryHostFolders,
                    public ::testing::WithParamInterface<SuiteCase> {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        Units().SetDistanceUnit(0);
        AppSettings().SetTime_Type(2);
        const SuiteCase& c = GetParam();
        const auto description = synth::ParseSurveyDescription(
            std::string("[Survey]\nName = job\nLines = 3\nStart = 2024-05-14T09:30:00.00\n"
                        "[Section]\nWidth = 60\nDepth = 4\n"
                        "[Track]\nEnsembles = 40\nStartStation = 5\nSpeed = 0.9\n"
                        "[Attitude]\nHeading = 88\nHeadingAmplitude = 4\nHeadingPeriod = 9\n"
                        "PitchAmplitude = 2\nPitchPeriod = 8\nRollAmplitude = 2\n"
                        "RollPeriod = 7\n"
                        "[Suite]\nBadRecordEvery = 7\nLineFiles = ") +
            c.lineFiles + "\nPlannedLine = 0x38\n");
        synth::WriteSurvey(description, Root());
        for (int line = 1; line <= 3; ++line) {
            std::ifstream in(Root() / "job" / ("job_00" + std::to_string(line) + ".truth.json"));
            truth_.push_back(json::parse(in));
        }
    }

    Database& database = AppDatabase();
    RecordingPrompt prompt;
    std::vector<json> truth_;
};

TEST_P(SuiteSurvey, MergesTheNavigationOfEveryPingAndReadsThePlannedLine) {
    const SuiteCase& c = GetParam();
    const std::vector<fs::path> log{Root() / truth_[0]["suite"]["log"].get<std::string>()};
    ASSERT_EQ(OpenSurveyFiles(database, log, prompt).failedFiles, 0);
    ASSERT_EQ(database.LineCount(), 3);
    EXPECT_TRUE(prompt.Messages().empty());
    EXPECT_FALSE(database.SuiteTimingUnavailable());
    EXPECT_EQ(AppSettings().Time_Type(), 2);

    for (int line = 0; line < 3; ++line) {
        const json& truth = truth_[static_cast<std::size_t>(line)];
        const auto pings = database.Ensembles(line);
        ASSERT_EQ(pings.size(), truth["ensembles"].size());
        for (std::size_t k = 0; k < pings.size(); ++k) {
            const NavRecord& nav = pings[k].navigation;
            const json& t = truth["ensembles"][k];
            ASSERT_TRUE(nav.positionValid) << "line " << line << " ping " << k;
            EXPECT_NEAR(nav.x, t["grid_x"].get<double>(), c.positionTolerance);
            EXPECT_NEAR(nav.y, t["grid_y"].get<double>(), c.positionTolerance);
            // The other sounder and attitude values share these records and their interpolation.
            EXPECT_NEAR(nav.depth1, t["sounder_depth1_m"].get<double>(), kDepthTolerance);
            EXPECT_NEAR(nav.heading, t["nav_heading"].get<double>(), kAttitudeTolerance);
        }

        const PlannedLine* planned = database.PlannedLine(line);
        ASSERT_NE(planned, nullptr);
        // The record's points are proven by the line-file readers' own tests.
        const json& expected = truth["suite"]["planned_line"];
        EXPECT_EQ(planned->name, expected["name"].get<std::string>());
        EXPECT_EQ(planned->points.size(), expected["points"].size());

        // Along a straight crossing, distance along line runs from about 0 to about its length.
        EXPECT_NEAR(pings.back().navigation.distance, planned->points.back().cumulativeDistance,
                    1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(LineFiles, SuiteSurvey,
                         ::testing::Values(SuiteCase{"EditedFiles", "kq2", 1e-6},
                                           SuiteCase{"RawLineFiles", "raw", 0.001}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace fluvex
