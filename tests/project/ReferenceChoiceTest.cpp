// The references offered and used, decided from every loaded line: a later line's bottom track
// or navigation counts, and a reference that no line can give is replaced and said.

#include "project/ReferenceChoice.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;

// Instrument files: without bottom track, with it, with it and navigation of its own.
const std::map<char, std::string> kKinds{
    {'A', "[Instrument]\nBottomTrack = 0\n"},
    {'B', ""},
    {'C', "[Navigation]\nBlocks = 104, 105\nLatitude = 47.3769\nLongitude = 8.5417\n"}};

class ReferenceChoice : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        geodesy_ = std::move(Geodesy::Create("auto", 1).geodesy);
        database.SetGeodesy(geodesy_.get());
        for (const auto& [kind, extra] : kKinds) {
            const auto line = synth::GenerateLine(
                synth::ParseSurveyDescription("[Track]\nEnsembles = 6\n" + extra), 0);
            files_[kind] = test::WriteLineFile(Root() / (std::string(1, kind) + ".PD0"), line);
        }
    }

    OpenFilesOutcome Open(std::string_view kinds) {
        std::vector<fs::path> files;
        for (const char kind : kinds)
            files.push_back(files_.at(kind));
        return OpenSurveyFiles(database, files, prompt);
    }

    Database& database = AppDatabase();
    RecordingPrompt prompt;

private:
    std::unique_ptr<Geodesy> geodesy_;
    std::map<char, fs::path> files_;
};

TEST_F(ReferenceChoice, EveryLineCountsAndOnlyWhatNoLineGivesIsReplacedOrOffered) {
    struct Case {
        const char* files;
        int velocity;
        int depth;
        int velocityUsed;
        int depthUsed;
        const char* notice;  // "" when nothing changes
    };
    const Case cases[] = {
        {"AB", 1, 2, 1, 2, ""},  // the first line alone has no bottom track
        {"A", 1, 3, 0, 3, "Velocity reference set to None: this survey has no bottom track"},
        {"B", 2, 2, 1, 2, "Velocity reference set to Bottom Track: this survey has no navigation"},
        {"A", 2, 2, 0, 2, "Velocity reference set to None: this survey has no navigation"},
        {"BC", 2, 2, 2, 2, ""},  // navigation in a later line
        {"B", 1, 0, 1, 2, "Depth reference set to Bottom Track: this survey has no sounder depths"},
    };
    for (const Case& c : cases) {
        AppSettings().SetVelReference(c.velocity);
        AppSettings().SetBottomTrack(c.depth);
        const OpenFilesOutcome outcome = Open(c.files);
        EXPECT_EQ(outcome.failedFiles, 0);
        EXPECT_EQ(AppSettings().VelReference(), c.velocityUsed) << c.files << c.velocity;
        EXPECT_EQ(AppSettings().BottomTrack(), c.depthUsed) << c.files << c.depth;
        const std::vector<std::string> expected =
            *c.notice ? std::vector<std::string>{c.notice} : std::vector<std::string>{};
        EXPECT_EQ(outcome.notices, expected) << c.files << c.velocity;
    }
    // Navigation is offered when any line has it.
    Open("BC");
    EXPECT_EQ(OfferedReferencesOf(database).velocity, (std::vector<int>{0, 1, 2}));
    Open("B");
    EXPECT_EQ(OfferedReferencesOf(database).velocity, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace fluvex
