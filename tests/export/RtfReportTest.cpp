// The RTF report byte by byte: the heading text a word processor reads back whatever the line's
// name, a report cut short that still ends as a document, and the file beside its target with
// its page breaks between lines. How a word processor lays it out is check_rtf_report.sh's.

#include "export/RtfReport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "export/RtfWriter.h"
#include "project/Database.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    R"({\rtf1\ansi\deff0\adeflang1025{\fonttbl{\f4\fswiss\fprq2\fcharset128 Arial;}})"
    R"({\colortbl;\red0\green0\blue0;\red128\green128\blue128;}{\*\pgdscno0})"
    R"(\paperh15840\paperw12240\margl1134\margr1134\margt1134\margb1134\sectd\sbknone)"
    R"(\pgwsxn12240\pghsxn15840\marglsxn1134\margrsxn1134\margtsxn1134\margbsxn1134)"
    R"(\ftnbj\ftnstart1\ftnrstcont\ftnnar\aenddoc\aftnrstcont\aftnstart1\aftnnrlc )";
const std::string kHeadingStart =
    R"(\pard\plain\ltrpar\s1\ql\rtlch\af4\afs20\ab\ltrch\dbch\af5\hich\f4\fs20\b)"
    R"(\loch\f4\fs20\b{\rtlch\ltrch\loch\f4\fs20\i0\b )";
const std::string kEnd = R"(\par })";

std::string Heading(const std::string& text) {
    return kHeadingStart + text + "\n\\par }";
}

// A stand-in JPEG per line (its number in the third byte); none for `undrawable`.
class FakePictures final : public ReportPictures {
public:
    explicit FakePictures(int undrawable = -1) : undrawable_(undrawable) {}
    std::vector<unsigned char> LineJpeg(int line, int width, int height) override {
        EXPECT_EQ(width, 650);
        EXPECT_EQ(height, 400);
        if (line == undrawable_) return {};
        return {0xFF, 0xD8, static_cast<unsigned char>(line), 0xFF, 0xD9};
    }
    static std::string Fragment(int line) {
        return "{\n\\par\\par\\*\\shppict{\\pict\\picw650\\pich400\\jpegblip \nffd80" +
               std::to_string(line) + "ffd9}}";
    }

private:
    int undrawable_;
};

// Collects what the writer writes; refuses any write that would take it past `budget` bytes,
// as a disk that fills up does.
struct Document {
    std::string bytes;
    std::size_t budget = std::string::npos;
    RtfWriter Writer() {
        return RtfWriter([this](std::string_view fragment) {
            if (bytes.size() + fragment.size() > budget) return false;
            bytes += fragment;
            return true;
        });
    }
};

TEST(RtfWriter, HeadingTextKeepsEveryCharacter) {
    const struct {
        const char* name;
        const char* utf8;
        const char* rtf;
    } cases[] = {
        {"rtf specials", R"(a\b{c}d)", R"(a\\b\{c\}d)"},
        // The heading font's declared character set would read these bytes as other characters.
        {"latin", "Café Müller Ørsted", R"(Caf\u233? M\u252?ller \u216?rsted)"},
        {"above 32767", "\xEF\xBC\xA1", R"(\u-223?)"},  // U+FF21, as RTF's signed 16 bits
        {"beyond the BMP", "\xF0\x9F\x8C\x8A", R"(\u-10180?\u-8438?)"},  // U+1F30A
        {"controls", "a\tb\nc\x7F", "a b c "},
        {"broken utf-8",
         "a\xFF"
         "b\xC3",
         R"(a\u-3?b\u-3?)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RtfHeadingText(c.utf8), c.rtf) << c.name;
    // "Caf\u233?M..." reads "CaféM": the space after an escape is text, not its delimiter.
    EXPECT_EQ(RtfHeadingText("é x"), R"(\u233? x)");
}

TEST(RtfReport, ALineThatCannotBeWrittenEndsTheDocument) {
    // The disk is full after the header, all but the end's few bytes.
    Document document{{}, kHeader.size() + kEnd.size()};
    RtfWriter writer = document.Writer();
    FakePictures pictures;
    ASSERT_TRUE(writer.Start());
    const std::vector<std::string> names{"one", "two"};
    const RtfReportResult result = WriteRtfReport(writer, names, pictures);
    EXPECT_EQ(result.linesWritten, 0);
    EXPECT_EQ(result.failure, "the heading of one could not be written");
    EXPECT_TRUE(result.ended);
    EXPECT_EQ(document.bytes, kHeader + kEnd);
}

class RtfReportFile : public test::GridSurvey {
protected:
    void SetUp() override {
        GridSurvey::SetUp();
        const synth::SyntheticLine line = test::FirstLine(
            "[Survey]\nName = r\n[Track]\nEnsembles = 5\n"
            "[Navigation]\nBlocks = 104\nLatitude = 47\nLongitude = 8\n");
        for (const char* name : {"Fluss é.000", "Fluss ü.000"})
            Load(line, name);
        fs::create_directories(Root() / "out");
        WriteText(Target(), "the report before");
    }

    fs::path Target() const { return Root() / "out" / "report.rtf"; }
    // Nothing but the target in its folder: no temporary file is left behind.
    void ExpectOnlyTheTarget() const {
        int files = 0;
        for (const auto& entry : fs::directory_iterator(Root() / "out")) {
            EXPECT_EQ(entry.path(), Target());
            ++files;
        }
        EXPECT_EQ(files, 1);
    }
};

TEST_F(RtfReportFile, ReplacesTheTargetOnlyWithAWholeDocument) {
    FakePictures pictures;
    std::string error;
    ASSERT_TRUE(ExportRtfReport(AppDatabase(), Target(), pictures, {}, &error)) << error;
    EXPECT_EQ(ReadText(Target()),
              kHeader + Heading(R"(Fluss \u233?.000)") + FakePictures::Fragment(0) + "\\par\\page" +
                  Heading(R"(Fluss \u252?.000)") + FakePictures::Fragment(1) + kEnd);
    ExpectOnlyTheTarget();

    // Cancelled after the first line: the target keeps what it held.
    WriteText(Target(), "the report before");
    EXPECT_FALSE(ExportRtfReport(
        AppDatabase(), Target(), pictures, [](int, int) { return false; }, &error));
    EXPECT_EQ(ReadText(Target()), "the report before");
    ExpectOnlyTheTarget();

    // A line that cannot be drawn: the lines before it are kept, and the caller is told.
    FakePictures secondUndrawable(1);
    EXPECT_FALSE(ExportRtfReport(AppDatabase(), Target(), secondUndrawable, {}, &error));
    EXPECT_EQ(error,
              "the picture of Fluss ü.000 could not be drawn: the report holds the 1 line(s) "
              "before it");
    EXPECT_TRUE(ReadText(Target()).ends_with(Heading(R"(Fluss \u252?.000)") + kEnd));
    ExpectOnlyTheTarget();

    EXPECT_FALSE(
        ExportRtfReport(AppDatabase(), Root() / "no" / "report.rtf", pictures, {}, &error));
    EXPECT_TRUE(error.starts_with("cannot create a file beside ")) << error;
}

}  // namespace
}  // namespace fluvex
