// The workbook export read back by openpyxl (Debian's python) and compared with the CSV by the
// check script that the command-line test runs on exported folders; the sheet-name rules; the
// workbook writer's escaping, long sheets and 64-bit zip form; a write that fails.

#include "export/WorkbookExport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "export/TextExports.h"
#include "export/XlsxWriter.h"
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
        {std::string(35, 'X'), taken, std::string(27, 'X') + " (2)"},
        {"überfahrt", taken, "überfahrt (2)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SafeSheetName(c.wanted, c.taken), c.expected) << c.wanted;
}

// The sheet names of a workbook and the rows of its first sheet as openpyxl reads them (null for
// an empty cell), with each cell's number format; "bad": the first entry whose checksum or size
// is wrong.
constexpr const char* kDumpWorkbook = R"(import json, sys, openpyxl, zipfile
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
print(json.dumps({"names": book.sheetnames, "bad": zipfile.ZipFile(sys.argv[1]).testzip(),
                  "rows": [[c.value for c in r] for r in sheet.iter_rows()],
                  "formats": [[c.number_format for c in r] for r in sheet.iter_rows()]}))
)";

class WorkbookExport : public test::GridSurvey {
protected:
    void SetUp() override {
        GridSurvey::SetUp();
        if (std::system((std::string(kPython) + " -c 'import openpyxl' 2>/dev/null").c_str()) != 0)
            GTEST_SKIP() << "needs " << kPython << " with openpyxl";
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

    // A workbook written by `fill` through the writer, with numbers shown as "0", "0.0" or
    // "0.000"; false when Finish fails.
    static bool WriteBook(const fs::path& path, std::uint64_t zipLarge,
                          const std::function<void(XlsxWriter&)>& fill) {
        const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool finished = false;
        {
            XlsxWriter writer(descriptor, {"0", "0.0", "0.000"}, zipLarge);
            fill(writer);
            finished = writer.Finish();
        }
        ::close(descriptor);
        return finished;
    }

private:
    static synth::SyntheticLine Generate(const std::string& navigation) {
        return test::FirstLine(
            "[Survey]\nName = wb\nStart = 2024-05-14T01:02:05.50\n"
            "[Section]\nProfile = rectangular\nDepth = 3\n[Track]\nEnsembles = 3\nSpeed = 1\n"
            "[Instrument]\nCells = 12\n" +
            navigation);
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

// A folder that is not there is named; a write that fails leaves the target as it was.
TEST_F(WorkbookExport, AWriteThatFailsIsReportedAndLeavesTheTargetAsItWas) {
    ExportTwoLines();
    std::string error;
    EXPECT_FALSE(ExportWorkbook(database, Root() / "no-folder" / "out.xlsx",
                                CurrentQuantityOptions(), &error));
    EXPECT_NE(error.find("no-folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(Root() / "no-folder"));

    const fs::path target = Folder() / "survey.xlsx";
    WriteText(target, "before");
    // A file size limit stands in for a full disk: writes past it fail.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit limit = oldLimit;
    limit.rlim_cur = 512;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool exported = ExportWorkbook(database, target, CurrentQuantityOptions(), &error);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(exported);
    EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
    EXPECT_EQ(ReadText(target), "before");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Folder()))
        ++files;
    EXPECT_EQ(files, 3);  // the two CSVs and the workbook: no temporary file left
}

TEST_F(WorkbookExport, TheWriterEscapesTextAndLeavesOutWhatXmlCannotCarry) {
    const fs::path book = Root() / "escaped.xlsx";
    ASSERT_TRUE(WriteBook(book, ZipWriter::kLarge, [](XlsxWriter& writer) {
        writer.StartSheet("a&b<c>\"d'", 2, 4);
        writer.StartRow(0);
        writer.Text("x&y<z>\"q\x01\xFF\xC3\xA9");
        writer.Text(" padded\r\n");
        writer.Number(std::numeric_limits<double>::infinity(), 0);
        writer.DecimalNumber("-0.500", 1);
        writer.StartRow(1);
        writer.Skip(3);
        writer.DecimalNumber("nan", 0);
    }));
    const json dump = Dump(book);
    ASSERT_TRUE(dump.is_object());
    EXPECT_TRUE(dump["bad"].is_null());
    EXPECT_EQ(dump["names"], json({"a&b<c>\"d'"}));
    EXPECT_EQ(dump["rows"], json::parse(R"([["x&y<z>\"q\u00e9", " padded\r\n", null, -0.5]])"));
    EXPECT_EQ(dump["formats"][0][3], "0.0");
}

// Rows beyond one buffer of text (1 MiB) and of compressed output (256 KiB), then a second sheet;
// once in the usual zip form and once with every size and offset in the 64-bit form, as a sheet
// over 4 GB has them. Every number must read back as the same double.
TEST_F(WorkbookExport, ALongSheetReadsBackExactlyInBothZipForms) {
    constexpr int kRows = 5000;
    constexpr int kColumns = 10;
    const auto value = [](int row, int column) { return std::sin(row * 10.0 + column) * 1000; };
    for (const std::uint64_t large : {ZipWriter::kLarge, std::uint64_t{0}}) {
        const fs::path book = Root() / ("long-" + std::to_string(large) + ".xlsx");
        ASSERT_TRUE(WriteBook(book, large, [&](XlsxWriter& writer) {
            writer.StartSheet("long", kRows, kColumns);
            for (int row = 0; row < kRows; ++row) {
                writer.StartRow(row);
                for (int column = 0; column < kColumns; ++column)
                    writer.Number(value(row, column), 2);
            }
            writer.StartSheet("second", 1, 1);
            writer.StartRow(0);
            writer.Text("after");
        }));
        EXPECT_GT(fs::file_size(book), 256U << 10);
        const json dump = Dump(book);
        ASSERT_TRUE(dump.is_object()) << large;
        EXPECT_TRUE(dump["bad"].is_null());
        EXPECT_EQ(dump["names"], json({"long", "second"}));
        ASSERT_EQ(dump["rows"].size(), std::size_t{kRows});
        int wrong = 0;
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                wrong +=
                    dump["rows"][static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]
                        .get<double>() != value(row, column);
        EXPECT_EQ(wrong, 0) << large;
    }
}

}  // namespace
}  // namespace fluvex
