// The workbook export read back by openpyxl (Debian's python) and compared with the CSV by the
// check script that the command-line test runs on exported folders; the sheet-name rules.

#include "export/WorkbookExport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "export/TextExports.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using test::kPython;
using test::RunPython;

TEST(SafeSheetName, KeepsWhatTheFormatAllowsAndMakesNamesUnique) {
    const std::vector<std::string> none;
    const std::vector<std::string> taken{"Line", "line (2)", std::string(31, 'x'), "Überfahrt"};
    struct Case {
        std::string wanted;
        const std::vector<std::string>& taken;
        std::string expected;
    };
    const Case cases[] = {
        {"ex_001.PD0", none, "ex_001.PD0"},
        {"a[b]c:d*e?f/g\\h", none, "a_b_c_d_e_f_g_h"},
        {"'quoted'", none, "_quoted_"},
        {"it's", none, "it's"},
        {"tab\there\x01", none, "tab_here_"},
        {"\xFF\xC3(ok", none, "__(ok"},  // broken UTF-8
        {std::string(40, 'a'), none, std::string(31, 'a')},
        {std::string(30, 'a') + "\xF0\x9F\x98\x80", none, std::string(30, 'a')},  // 2 units
        {"", none, "Line"},
        {"History", none, "History (2)"},  // reserved by the format's readers
        {"LINE", taken, "LINE (3)"},
        {"", taken, "Line (3)"},
        {std::string(35, 'X'), taken, std::string(27, 'X') + " (2)"},
        {"überfahrt", taken, "überfahrt (2)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SafeSheetName(c.wanted, c.taken), c.expected) << c.wanted;
}

// The sheet names of a workbook and the rows of its first sheet as openpyxl reads them (null for
// an empty cell), with each cell's number format.
constexpr const char* kDumpWorkbook = R"(import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
print(json.dumps({"names": book.sheetnames,
                  "rows": [[c.value for c in r] for r in sheet.iter_rows()],
                  "formats": [[c.number_format for c in r] for r in sheet.iter_rows()]}))
)";

class WorkbookExport : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        if (std::system((std::string(kPython) + " -c 'import openpyxl' 2>/dev/null").c_str()) != 0)
            GTEST_SKIP() << "needs " << kPython << " with openpyxl";
        Units().SetDistanceUnit(0);
        geodesy_ = Geodesy::Create("EPSG:32632", 1.0).geodesy;
        database.SetGeodesy(geodesy_.get());
    }

    // Two lines of three pings from 01:02:05.50, heading east: the first with GGA positions, no
    // bottom track in its first ping and a bad one in its last; the second without positions.
    // Their CSVs and the workbook go to out/.
    void ExportTwoLines() {
        synth::SyntheticLine first = Generate("[Navigation]\nBlocks = 104\nLatitude = 47\n");
        first.ensembles[0].bottomTrack.reset();
        first.ensembles[2].bottomTrack->velocity.fill(synth::kBadVelocity);
        Load(first, "wb_001.PD0");
        Load(Generate(""), "wb_002.PD0");
        fs::create_directories(Folder());
        for (int line = 0; line < 2; ++line)
            ASSERT_TRUE(ExportCsv(database,
                                  ExportFileName(Folder(), database.LineName(line), ".csv"), line,
                                  CurrentQuantityOptions()));
        std::string error;
        ASSERT_TRUE(
            ExportWorkbook(database, Folder() / "survey.xlsx", CurrentQuantityOptions(), &error))
            << error;
    }

    fs::path Folder() const { return Root() / "out"; }

    int CheckFolder() {
        int status = -1;
        RunPython(std::string(FLUVEX_TEST_DATA) + "/../export/check_exports.py " +
                      Folder().string() + " 2>&1",
                  status);
        return status;
    }

    json Dump(const fs::path& workbook) {
        const fs::path script = Root() / "dump.py";
        WriteText(script, kDumpWorkbook);
        int status = -1;
        const std::string output = RunPython(script.string() + " " + workbook.string(), status);
        return status == 0 ? json::parse(output) : json();
    }

    Database& database = AppDatabase();
    RecordingPrompt prompt;
    std::unique_ptr<Geodesy> geodesy_;

private:
    static synth::SyntheticLine Generate(const std::string& navigation) {
        return synth::GenerateLine(
            synth::ParseSurveyDescription("[Survey]\nName = wb\nStart = 2024-05-14T01:02:05.50\n"
                                          "[Section]\nProfile = rectangular\nDepth = 3\n"
                                          "[Track]\nEnsembles = 3\nSpeed = 1\n"
                                          "[Instrument]\nCells = 12\n" +
                                          navigation),
            0);
    }

    void Load(const synth::SyntheticLine& line, const std::string& name) {
        ASSERT_TRUE(database.AddLine(test::WriteLineFile(Root() / name, line), {}, prompt));
    }
};

// The check script compares every sheet with its line's CSV (numbering from 1, empty positions,
// numbers as numbers, the same numbers within the decimals); what it cannot know is checked here.
TEST_F(WorkbookExport, TheSheetsHoldTheCsvTablesAsFormattedNumbers) {
    ExportTwoLines();
    EXPECT_EQ(CheckFolder(), 0);

    const json book = Dump(Folder() / "survey.xlsx");
    ASSERT_TRUE(book.is_object());
    EXPECT_EQ(book["names"], json({"wb_001.PD0", "wb_002.PD0"}));
    const json& rows = book["rows"];
    ASSERT_EQ(rows.size(), 4U);
    EXPECT_EQ(rows[0].size(), 14U + 12 * 5);  // no amplitude columns
    const json& formats = book["formats"];
    EXPECT_EQ(rows[1][0], 1);
    EXPECT_EQ(formats[1][0], "0");
    EXPECT_EQ(rows[1][1], "01:02:5.500");  // times stay text
    EXPECT_EQ(rows[1][2], 90.0);
    EXPECT_EQ(formats[1][2], "0.000");  // three decimals where the CSV has one
    EXPECT_EQ(rows[2][12], 1.0);
    EXPECT_EQ(formats[2][12], "0.000");
    EXPECT_EQ(formats[1][8], "0.000000");  // latitude
    // A bottom track missing or bad leaves its cells empty, where the CSV writes zeros.
    for (std::size_t column = 10; column < 14; ++column) {
        EXPECT_TRUE(rows[1][column].is_null());
        EXPECT_TRUE(rows[3][column].is_null());
    }
}

TEST_F(WorkbookExport, AFileThatCannotBeWrittenIsReported) {
    ExportTwoLines();
    std::string error;
    EXPECT_FALSE(ExportWorkbook(database, Root() / "no-folder" / "out.xlsx",
                                CurrentQuantityOptions(), &error));
    EXPECT_NE(error.find("no-folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(Root() / "no-folder"));
}

}  // namespace
}  // namespace fluvex
