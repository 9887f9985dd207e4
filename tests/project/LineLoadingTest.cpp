#include "project/LineLoading.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "project/Database.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;

TEST(ArchiveCopyName, NamesTheEntrysFolderAndRefusesEscapes) {
    struct Case {
        const char* entry;
        const char* name;  // nullptr: refused
    };
    for (const Case c :
         {Case{"Survey/Line 4/data.ydff", "Line 4"}, Case{"Survey\\Line 5\\data.ydff", "Line 5"},
          Case{"top.ydff", "top"}, Case{"a/b/c/d.ydff", "c"}, Case{"../evil.ydff", nullptr},
          Case{"ok/../../evil.ydff", nullptr}, Case{"/etc/x/y.ydff", nullptr},
          Case{"C:\\x\\y.ydff", nullptr}}) {
        const auto name = ArchiveCopyName(c.entry);
        if (c.name == nullptr)
            EXPECT_FALSE(name) << c.entry;
        else
            EXPECT_EQ(name.value_or("(refused)"), c.name) << c.entry;
    }
}

class LineLoadingTest : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        raw_ = Root() / "job" / "raw";
        logFolder_ = Root() / "job" / "edit";
        pd0_ = test::WriteLineFile(
            Root() / "tiny.PD0",
            synth::GenerateLine(
                synth::ParseSurveyDescription("[Track]\nEnsembles = 3\n[Instrument]\nCells = 4\n"),
                0));
        fs::create_directories(raw_);
        fs::create_directories(logFolder_);
    }

    void AddRaw(const std::string& name) const { fs::copy_file(pd0_, raw_ / name); }

    fs::path WriteLog(std::string_view text) const {
        const fs::path log = logFolder_ / "job.log";
        WriteText(log, text);
        return log;
    }

    std::vector<std::string> LineNames() const {
        std::vector<std::string> names;
        for (int line = 0; line < database.LineCount(); ++line)
            names.push_back(database.LineName(line));
        return names;
    }

    Database& database = AppDatabase();
    fs::path pd0_;
    fs::path raw_;
    fs::path logFolder_;
};

TEST_F(LineLoadingTest, FindsRawFilesByCuttingAtUnderscoresAndReadsUpperCaseKq2AsEdited) {
    AddRaw("L012.000");
    AddRaw("l013_1403.ADP");
    RawFileFinder finder(raw_);
    EXPECT_EQ(finder.Find("L012_1403_0001.RAW"), raw_ / "L012.000");
    EXPECT_EQ(finder.Find("L013_1403_0001.kq2"), raw_ / "l013_1403.ADP");
    EXPECT_FALSE(finder.Find("L014_1403.kq2"));
    EXPECT_FALSE(finder.Find(""));
    EXPECT_EQ(RawFolderOfLog(logFolder_ / "job.log"), raw_);

    // An upper-case kq2 entry is an edited file.
    AddRaw("A.000");
    fs::copy_file(fs::path(FLUVEX_TEST_DATA) / "line-files" / "seed.kq2", logFolder_ / "A_1.KQ2");
    RecordingPrompt prompt;
    ASSERT_TRUE(database.LoadLog(WriteLog("A_1.KQ2\n"), prompt));
    EXPECT_TRUE(database.LineFileFlag());  // read as a raw line file it would have no line
    ASSERT_NE(database.PlannedLine(0), nullptr);
    EXPECT_EQ(database.PlannedLine(0)->name, "seed 001");
}

TEST_F(LineLoadingTest, LoadsEveryEntryWithOrWithoutAFinalLineBreakAndAsksWhenOneIsMissing) {
    for (const char* name : {"A.000", "B.000", "C.000"})
        AddRaw(name);
    for (const std::string_view log : {"A_1.kq2\r\nB_1.RAW\r\n\r\nC_1.kq2\r\n", "A.x\nB.x\nC.x"}) {
        database.Clear();
        RecordingPrompt prompt;
        ASSERT_TRUE(database.LoadLog(WriteLog(log), prompt));
        EXPECT_EQ(LineNames(), (std::vector<std::string>{"A.000", "B.000", "C.000"}));
        EXPECT_TRUE(prompt.Messages().empty());  // missing line files: loaded without navigation
    }
    EXPECT_FALSE(database.LoadLog(logFolder_ / "none.log", *std::make_unique<RecordingPrompt>()));

    // A missing raw file asks whether to go on.
    database.Clear();
    const fs::path log = WriteLog("A.kq2\nD.kq2\nC.kq2\n");
    RecordingPrompt yes(true);
    ASSERT_TRUE(database.LoadLog(log, yes));
    EXPECT_EQ(LineNames(), (std::vector<std::string>{"A.000", "C.000"}));
    ASSERT_EQ(yes.Messages().size(), 1U);
    EXPECT_EQ(yes.Messages()[0].text,
              "Failed to load ADCP file matching :" + (logFolder_ / "D.kq2").string() +
                  " in RAW folder.\nContinue loading files?");

    database.Clear();
    RecordingPrompt no(false);
    ASSERT_TRUE(database.LoadLog(log, no));
    EXPECT_EQ(LineNames(), std::vector<std::string>{"A.000"});

    database.Clear();
    EXPECT_FALSE(database.LoadLog(WriteLog("D.kq2\nA.kq2\n"), no));  // nothing loaded
}

TEST_F(LineLoadingTest, OpeningPlainFilesFallsBackToTheInstrumentClockAndLogsStopAtTheLineLimit) {
    AppSettings().SetTime_Type(2);
    AppSettings().UseTime = false;
    RecordingPrompt prompt;
    const std::vector<fs::path> files{pd0_, Root() / "missing.000"};
    EXPECT_EQ(OpenSurveyFiles(database, files, prompt).failedFiles, 1);
    EXPECT_EQ(AppSettings().Time_Type(), 1);
    EXPECT_TRUE(AppSettings().UseTime);  // no positions

    // A log stops at the line limit.
    std::string log;
    for (int i = 0; i <= Database::kMaxLines; ++i) {
        const std::string name = "L" + std::to_string(i);
        AddRaw(name + ".000");
        log += name + ".kq2\n";
    }
    database.Clear();
    RecordingPrompt limited;
    ASSERT_TRUE(database.LoadLog(WriteLog(log), limited));
    EXPECT_EQ(database.LineCount(), Database::kMaxLines);
    ASSERT_EQ(limited.Messages().size(), 1U);
    EXPECT_EQ(limited.Messages()[0].text,
              "Line limit of 512 reached; the remaining files are not loaded.");
}

// Alaska, then Maine, on an "auto" grid the Alaska file fixes: the Maine file is named once,
// with the zone that fits it.
TEST_F(LineLoadingTest, AFileOutsideTheGridsAreaOfUseIsNamedWithTheZoneThatFits) {
    std::vector<fs::path> files;
    for (const char* place :
         {"Latitude = 61.2\nLongitude = -149.9", "Latitude = 44.9\nLongitude = -68.7"}) {
        const auto line = synth::GenerateLine(
            synth::ParseSurveyDescription("[Track]\nEnsembles = 3\n[Navigation]\nBlocks = 100\n" +
                                          std::string(place) + "\n"),
            0);
        files.push_back(
            test::WriteLineFile(Root() / (std::to_string(files.size()) + ".PD0"), line));
    }
    auto geodesy = Geodesy::Create("auto", 1.0).geodesy;
    database.SetGeodesy(geodesy.get());
    RecordingPrompt prompt;
    EXPECT_EQ(OpenSurveyFiles(database, files, prompt).failedFiles, 0);
    database.Clear();
    database.SetGeodesy(nullptr);
    ASSERT_EQ(prompt.Messages().size(), 1U);
    const std::string& text = prompt.Messages()[0].text;
    EXPECT_NE(text.find(files[1].string()), std::string::npos) << text;
    EXPECT_NE(text.find("UTM zone 6N"), std::string::npos) << text;
    EXPECT_NE(text.find("EPSG:32619"), std::string::npos) << text;
}

// Writes a zip archive holding `content` under each of `names`.
void WriteZip(const fs::path& archive, std::initializer_list<const char*> names,
              const char* content) {
    fs::create_directories(archive.parent_path());
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const char* name : names)
        zip_file_add(zip, name, zip_source_buffer(zip, content, std::strlen(content), 0), 0);
    ASSERT_EQ(zip_close(zip), 0);
}

TEST_F(LineLoadingTest, ArchivesAreTakenOutWithoutLeavingTheArchiveFolder) {
    const fs::path archive = Root() / "survey.zip";
    WriteZip(archive, {"Survey/Line 4/data.ydff", "../evil.ydff", "notes.txt"}, "sample");
    const fs::path destination = Root() / "data" / "archive";
    WriteText(destination / "Line 4.ydff", "kept");

    RecordingPrompt prompt;
    EXPECT_TRUE(database.OpenArchive(archive, prompt));
    EXPECT_EQ(ReadText(destination / "Line 4.ydff"), "kept");
    EXPECT_FALSE(fs::exists(Root() / "data" / "evil.ydff"));
    EXPECT_FALSE(fs::exists(Root() / "evil.ydff"));
    // The copied entry is no transect export, and the climbing one is not taken out.
    const auto told = [&prompt](std::string_view text) {
        return std::ranges::any_of(prompt.Messages(), [text](const auto& message) {
            return message.text.find(text) != std::string::npos;
        });
    };
    EXPECT_TRUE(told("open the transect's MATLAB export"));
    EXPECT_TRUE(told("../evil.ydff"));
    // A second archive with the same folder and name has its own copy, not the first one's.
    for (const char* content : {"first survey", "second survey"}) {
        WriteZip(Root() / content / "survey.zip", {"Survey/Line 4/data.ydff"}, content);
        EXPECT_TRUE(database.OpenArchive(Root() / content / "survey.zip", prompt));
    }
    std::vector<std::string> copies;
    for (const auto& item : fs::recursive_directory_iterator(destination))
        if (item.path().filename() == "Line 4.ydff" && item.path().parent_path() != destination)
            copies.push_back(ReadText(item.path()));
    std::ranges::sort(copies);
    EXPECT_EQ(copies, (std::vector<std::string>{"first survey", "sample", "second survey"}));

    WriteText(Root() / "broken.zip", "not a zip");
    EXPECT_FALSE(database.OpenArchive(Root() / "broken.zip", prompt));
    EXPECT_NE(prompt.Messages().back().text.find("broken.zip"), std::string::npos);
}

}  // namespace
}  // namespace fluvex
