#include "services/IniFile.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"

namespace fluvex {
namespace {

// Keys before any section belong to none.
TEST(IniFile, ReadsLinesNamesInAnyCaseNumbersStrictlyAndRewritesKeepingTheRest) {
    const IniFile ini = IniFile::Parse(
        "Stray=1\n[General]\r\nSurveyName = Reach 2 \r\n[graphoptions]\nMaxDepth=12");
    EXPECT_EQ(ini.ReadText("general", "surveyname", "?"), "Reach 2");
    EXPECT_EQ(ini.ReadInt("GraphOptions", "MaxDepth", 10), 12);
    EXPECT_EQ(ini.ReadInt("GraphOptions", "Missing", 10), 10);
    EXPECT_EQ(ini.ReadInt("NoSection", "MaxDepth", 10), 10);
    EXPECT_FALSE(ini.Value("", "Stray"));

    // Numbers are read strictly.
    const IniFile numbers = IniFile::Parse(
        "[s]\nfraction=12.5\nhex=0x10\nsigned=-7\nplus=+4\nempty=\ndouble=1e-3\nyes=TRUE\n"
        "word=maybe\nnumber=2\n");
    EXPECT_EQ(numbers.ReadInt("s", "fraction", 10), 10);
    EXPECT_EQ(numbers.ReadInt("s", "hex", 10), 10);
    EXPECT_EQ(numbers.ReadInt("s", "signed", 10), -7);
    EXPECT_EQ(numbers.ReadInt("s", "plus", 10), 4);
    EXPECT_EQ(numbers.ReadInt("s", "empty", 10), 10);
    EXPECT_DOUBLE_EQ(numbers.ReadDouble("s", "double", 0), 0.001);
    EXPECT_DOUBLE_EQ(numbers.ReadDouble("s", "fraction", 0), 12.5);
    EXPECT_TRUE(numbers.ReadBool("s", "yes", false));
    EXPECT_TRUE(numbers.ReadBool("s", "word", true));
    EXPECT_TRUE(numbers.ReadBool("s", "number", false));

    // Rewriting keeps comments, order and unknown keys.
    IniFile rewritten = IniFile::Parse("; comment\n[A]\nOne=1\nTwo=2\n\n[B]\nThree=3\n");
    rewritten.Write("a", "two", "22");
    rewritten.WriteInt("A", "Four", 4);
    rewritten.WriteBool("C", "Five", true);
    rewritten.WriteDouble("C", "Six", 0.31);
    EXPECT_EQ(rewritten.Text("\n"),
              "; comment\n[A]\nOne=1\nTwo=22\nFour=4\n\n[B]\nThree=3\n[C]\nFive=1\nSix=0.31\n");
}

class IniFileSave : public test::TemporaryHostFolders {};

TEST_F(IniFileSave, WritesCrLfAtomicallyAndReadsBackOrLeavesNoTrace) {
    IniFile ini;
    ini.Write("Section", "Key", "Value");
    const auto path = Root() / "nested" / "file.ini";
    ASSERT_TRUE(ini.Save(path));
    EXPECT_EQ(ReadText(path), "[Section]\r\nKey=Value\r\n");
    EXPECT_EQ(IniFile::Read(path).ReadText("Section", "Key", ""), "Value");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);

    // A failure leaves no trace and says why: a folder where the file should be cannot be
    // replaced, whoever runs the test.
    const auto occupied = Root() / "occupied";
    WriteText(occupied / "inside.txt", "kept");
    std::string error;
    EXPECT_FALSE(ini.Save(occupied, &error));
    EXPECT_NE(error.find(occupied.string()), std::string::npos);
    EXPECT_EQ(ReadText(occupied / "inside.txt"), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Root()), {}), 2);
}

}  // namespace
}  // namespace fluvex
