#include "services/RawLineFile.h"

#include <gtest/gtest.h>

#include <string>

#include "TestEnvironment.h"

namespace fluvex {
namespace {

NavigationFix Fix(const RawLineFile& file, int index) {
    NavigationFix fix;
    EXPECT_TRUE(file.ReadRecord(index, fix));
    return fix;
}

TEST(RawLineFile, FirstLineMustNameTheFormatAndPlanAndNameKeepTheirLimits) {
    for (const auto& [text, accepted] : {std::pair{"RAWLINE 1", true},
                                         {" RAWLINE\t1 \r\n", true},
                                         {"\xEF\xBB\xBFRAWLINE 1\n", true},
                                         {"", false},
                                         {"RAWLINE 2\n", false},
                                         {"RAWLINE 1 extra\n", false},
                                         {"# comment\nRAWLINE 1\n", false}})
        EXPECT_EQ(RawLineFile().Parse(text), accepted) << text;

    // Plan and name are kept within their limits.
    std::string text = "RAWLINE 1\nNAME\tL012 upstream  \n";
    for (int i = 0; i < 130; ++i)
        text += "PLAN " + std::to_string(i) + " -" + std::to_string(i) + "\n";
    RawLineFile file;
    ASSERT_TRUE(file.Parse(text));
    EXPECT_EQ(file.LineName(), "L012 upstream");
    ASSERT_EQ(file.PlannedPoints().size(), 128u);
    EXPECT_EQ(file.PlannedPoints()[127], (PlannedPoint{.x = 127, .y = -127}));
    EXPECT_EQ(file.SkippedLines(), 0);

    // 62 ASCII bytes and then a two-byte character that would end at byte 64.
    ASSERT_TRUE(file.Parse("RAWLINE 1\nNAME " + std::string(62, 'a') + "\xC3\xA9z\n"));
    EXPECT_EQ(file.LineName(), std::string(62, 'a'));
    EXPECT_EQ(file.RecordCount(), 0);
}

TEST(RawLineFile, PositionsHoldTheLatestSensorValuesByTimeAndBadLinesArePassedOver) {
    RawLineFile file;
    ASSERT_TRUE(
        file.Parse("RAWLINE 1\n"
                   "100 POS 1 2\n"  // before every sensor sample
                   "101 DEPTH 4.5 4.6\n"
                   "103 DEPTH 5.5 5.6\n"
                   "102 POS 3 4\n"
                   "103 POS 5 6\n"  // takes the samples at its own time
                   "103 HPR 90 1 -1\n"
                   "101 HPR 80 2 -2\n"  // earlier time, later in the file
                   "103 VERT 0.5\n"
                   "103 VERT 0.25\n"));  // same time: the later line wins
    ASSERT_EQ(file.RecordCount(), 3);
    // time, x, y, depths 1 and 2, heading, pitch, roll, vertical
    EXPECT_EQ(Fix(file, 0), (NavigationFix{100, 1, 2}));
    EXPECT_EQ(Fix(file, 1), (NavigationFix{102, 3, 4, 4.5, 4.6, 80, 2, -2}));
    EXPECT_EQ(Fix(file, 2), (NavigationFix{103, 5, 6, 5.5, 5.6, 90, 1, -1, 0.25}));
    EXPECT_EQ(file.RecordTime(2), 103);
    EXPECT_EQ(file.RecordTime(3), 0);
    EXPECT_EQ(file.RecordTime(-1), 0);
    NavigationFix fix;
    EXPECT_FALSE(file.ReadRecord(3, fix));
    EXPECT_EQ(file.SkippedLines(), 0);

    // Malformed and unknown lines are counted and passed over.
    ASSERT_TRUE(
        file.Parse("RAWLINE 1\n"
                   "\n"
                   "   \t\n"
                   "# a comment\n"
                   "  # an indented comment\n"
                   "10 POS 1 2\n"
                   "11 POS nan 2\n"
                   "11 POS 1\n"
                   "11 POS 1 2 3\n"
                   "9 POS 1 2\n"  // goes back in time
                   "x POS 1 2\n"
                   "11 DEPTH 4,5 4\n"
                   "11 SPEED 3\n"
                   "PLAN 1\n"
                   "12\n"
                   "12 pos 1 2\n"
                   "12 POS 3 4"));  // the last line needs no line break
    EXPECT_EQ(file.RecordCount(), 2);
    EXPECT_EQ(file.RecordTime(1), 12);
    EXPECT_EQ(file.SkippedLines(), 10);
}

class RawLineFileOpen : public test::TemporaryHostFolders {};

TEST_F(RawLineFileOpen, ReadsCrLfFilesAndRefusesMissingOnes) {
    const auto path = Root() / "L012.RAW";
    WriteText(path, "RAWLINE 1\r\nNAME L12\r\n37800.5 POS 10 20\r\n37800.5 VERT -0.5\r\n");
    RawLineFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.LineName(), "L12");
    EXPECT_EQ(Fix(file, 0), (NavigationFix{37800.5, 10, 20, 0, 0, 0, 0, 0, -0.5}));

    EXPECT_FALSE(file.Open(Root() / "missing.RAW"));
    EXPECT_EQ(file.RecordCount(), 0);
    EXPECT_EQ(file.LineName(), "");
}

}  // namespace
}  // namespace fluvex
