#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "TestEnvironment.h"
#include "model/Units.h"
#include "services/ColourTable.h"
#include "services/IniFile.h"
#include "services/UserPrompt.h"
#include "settings/SettingsFile.h"

namespace fluvex {
namespace {

class SettingsFileTest : public test::TemporaryHostFolders {
protected:
    void SetUp() override {
        TemporaryHostFolders::SetUp();
        WriteProject("1");
    }

    // Loads the given settings file text into the process's settings record.
    bool LoadFrom(std::string_view text) {
        WriteText(AppSettings().SettingsPath, text);
        return AppSettings().Load(prompt);
    }

    static std::string FileText(const Settings& settings) {
        IniFile ini;
        WriteSettingsFile(settings, ini);
        return ini.Text("\n");
    }

    RecordingPrompt prompt;
};

// The colour-scaling mode is written as a flag but every run starts unscaled; windows are
// brought back onto the screen unless maximised.
TEST_F(SettingsFileTest, NumbersReadByTheKeysRules) {
    AppSettings().VirtualScreen = ScreenRect{0, 0, 1920, 1080};
    ASSERT_TRUE(
        LoadFrom("[GraphOptions]\r\nMaxDepth=12.5\r\nMinDepth=3\r\nAutoScaleColors=1\r\n"
                 "[BTOffset]\r\nVelOffset=12.9\r\nHdgOffset=-12.9\r\n"
                 "[Corrections]\r\nUseEdtPR=7\r\nMagDec=nan\r\n"
                 "[TrackOptions]\r\nShowTrackLines=0\r\n"
                 "[InfoWindow]\r\nWindowState=300\r\n"
                 "[ProfileWindow]\r\nLeft=-5000\r\nTop=900\r\n"
                 "[OptionsWindow]\r\nLeft=-5000\r\nWindowState=2\r\n"));
    const Settings& s = AppSettings();
    // A fraction where a whole number is kept reads as the default (MaxDepth 10).
    EXPECT_EQ(std::tuple(s.MaxDepth, s.MinDepth, s.AutoScaleColors, s.VelOffset(), s.HdgOffset(),
                         s.UseEdtPR(), s.MagDec(), s.ShowTrackLines, s.InfoWindow.WindowState),
              std::tuple(10.0, 3.0, 0, 12, -12, true, 0.0, false, 0));
    EXPECT_EQ(std::tuple(s.ProfileWindow.Left, s.ProfileWindow.Top, s.OptionsWindow.Left),
              std::tuple(0, 1080 - 430, -5000));
}

// Automatic labels write fractional increments back; the file keeps whole numbers, and a
// saved 0 would leave no ticks after the next start.
TEST_F(SettingsFileTest, IncrementsAreSavedAsTheNearestPositiveWholeNumber) {
    const std::pair<double, double> cases[] = {{0.5, 1}, {0.2, 1}, {2.6, 3},
                                               {2.4, 2}, {-3, 1},  {250, 250}};
    for (const auto& [computed, saved] : cases) {
        ASSERT_TRUE(LoadFrom(""));
        Settings& s = AppSettings();
        s.DepthLabelInc = s.DepthTicInc = s.DBLLabelInc = s.DBLTicInc = computed;
        ASSERT_TRUE(LoadFrom(FileText(s)));
        for (const double loaded : {s.DepthLabelInc, s.DepthTicInc, s.DBLLabelInc, s.DBLTicInc})
            EXPECT_EQ(loaded, saved) << computed;
    }
    // A 0 saved by an earlier version reads as the default.
    ASSERT_TRUE(LoadFrom("[Labels]\nDepthTicInc=0\nDBLLabelInc=-5\n"));
    EXPECT_EQ(AppSettings().DepthTicInc, 1.0);
    EXPECT_EQ(AppSettings().DBLLabelInc, 100.0);
}

// Unknown keys stay, ahead of the program's own.
TEST_F(SettingsFileTest, SaveThenLoadKeepsEachKindOfValueAndUnknownKeys) {
    ASSERT_TRUE(LoadFrom("; written by hand\r\n[General]\r\nTheme=dark\r\n"));
    Settings& s = AppSettings();
    // One key of each kind of reading and of each section with its own rules.
    s.ElevationMode = false;
    s.VelocityUnits = 1;
    s.SurveyName = "Rio Test = reach 2";
    s.MaxDepth = 42;
    s.SetSNRFilterVal(33.25);
    s.DepthColor = {1, 2, 3, 4};
    s.SetVelReference(2);
    s.SetMagDec(-3.75);
    s.SetVelOffset(-40);
    s.ColWidth[4] = 140;
    s.QuickChartSlot[0] = kQuickChartInUse | 77;
    s.ProfileWindow = {10, 20, 300, 400, 2, false};
    const std::string saved = FileText(s);
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(ReadText(s.SettingsPath).rfind("; written by hand\r\n[General]\r\nTheme=dark\r\n", 0),
              0u);

    s.Reset();
    ASSERT_TRUE(s.Load(prompt));
    s.QuickChartSlot[0] |= kQuickChartInUse;  // as the open chart would mark it again
    EXPECT_EQ(FileText(s), saved);
    EXPECT_EQ(Units().VelocityScale(), 10);
}

TEST_F(SettingsFileTest, QuickChartSlotsInUseComeFirstAndSpreadsheetColumnsFollowTheirCount) {
    Settings& s = AppSettings();
    s.QuickChartSlot[1] = 5;  // free, remembered settings
    s.QuickChartSlot[3] = kQuickChartInUse | 9;
    const IniFile ini = IniFile::Parse(FileText(s));
    EXPECT_EQ(ini.ReadInt("QuickChart", "Chart0", -1), kQuickChartInUse | 9);
    EXPECT_EQ(ini.ReadInt("QuickChart", "Chart1", -1), 5);
    EXPECT_EQ(ini.ReadInt("QuickChart", "Chart3", -1), 0);
    EXPECT_EQ(s.QuickChartSlot[3], kQuickChartInUse | 9);  // the record itself is unchanged
    ASSERT_TRUE(LoadFrom("[QuickChart]\r\nChart0=5\r\nChart1=1048585\r\n"));
    EXPECT_EQ(AppSettings().QuickChartSlot[0], 0);
    EXPECT_EQ(AppSettings().QuickChartSlot[1], 9);

    // Spreadsheet columns follow their count.
    ASSERT_TRUE(LoadFrom("[Spreadsheet]\r\nNColumns=25\r\n[SpreadsheetCols]\r\nColumn19=7\r\n"));
    EXPECT_EQ(AppSettings().NColumns, 20);
    EXPECT_EQ(AppSettings().Column[19], 7);
    ASSERT_TRUE(LoadFrom("[Spreadsheet]\r\nNColumns=2\r\n"));
    const IniFile columns = IniFile::Parse(FileText(AppSettings()));
    EXPECT_TRUE(columns.Value("SpreadsheetCols", "ColWidth1"));
    EXPECT_FALSE(columns.Value("SpreadsheetCols", "Column2"));
}

// The project's unit selects the distance unit; one that cannot be a unit fails the load, said
// once, and so does a missing project file.
TEST_F(SettingsFileTest, ProjectAndSettingsSelectUnitColourAndBorderFilesOrFailTheLoad) {
    const std::pair<std::string_view, int> cases[] = {
        {"0.3048006096", 1}, {"0.3048", 2}, {"1.0", 0}, {"0", -1}, {"abc", -1}, {"", -1}};
    for (const auto& [unit, expected] : cases) {
        WriteProject(unit);
        RecordingPrompt recorder;
        EXPECT_EQ(AppSettings().Load(recorder), expected >= 0) << unit;
        if (expected >= 0) {
            EXPECT_EQ(AppSettings().DistanceUnit, expected) << unit;
            EXPECT_EQ(Units().DistanceUnit(), expected) << unit;
        } else {
            ASSERT_EQ(recorder.Messages().size(), 1u) << unit;
            EXPECT_EQ(recorder.Messages()[0].text, "Invalid Geodesy");
        }
    }
    std::filesystem::remove(ProjectFile());
    EXPECT_FALSE(AppSettings().Load(prompt));

    // The project names the colour file; one that is missing gives way to the default.
    const auto colours = Root() / "surveys" / "river.hcf";
    ASSERT_TRUE(ColourTable::WriteDefaultFile(colours));
    WriteText(ProjectFile(),
              "[Geodesy]\r\nUnit=1\r\n[ADCP]\r\nColorHCF=" + colours.string() + "\r\n");
    ASSERT_TRUE(AppSettings().Load(prompt));
    EXPECT_EQ(AppSettings().ColorTablePath, colours);

    WriteText(ProjectFile(), "[Geodesy]\r\nUnit=1\r\n[ADCP]\r\nColorHCF=/nowhere/x.hcf\r\n");
    ASSERT_TRUE(AppSettings().Load(prompt));
    EXPECT_EQ(AppSettings().ColorTablePath, Root() / "data" / "ADCP.hcf");
    ASSERT_TRUE(AppSettings().Save());
    EXPECT_EQ(IniFile::Read(ProjectFile()).ReadText("ADCP", "ColorHCF", ""),
              (Root() / "data" / "ADCP.hcf").string());

    // The border file is loaded, and kept when it does not load.
    std::vector<std::filesystem::path> asked;
    AppSettings().LoadBorderFile = [&asked](const std::filesystem::path& path) {
        asked.push_back(path);
        return path.filename() == "good.txt";
    };
    ASSERT_TRUE(LoadFrom("[Discharge]\r\nBorderFile=\r\n"));
    EXPECT_TRUE(asked.empty());
    ASSERT_TRUE(LoadFrom("[Discharge]\r\nBorderFile=/surveys/missing.txt\r\n"));
    EXPECT_EQ(AppSettings().BorderFile, "/surveys/missing.txt");
    EXPECT_EQ(asked.size(), 1U);
    ASSERT_TRUE(LoadFrom("[Discharge]\r\nBorderFile=/surveys/good.txt\r\n"));
    EXPECT_EQ(AppSettings().BorderFile, "/surveys/good.txt");
}

TEST_F(SettingsFileTest, ProcessingOptionsMarkLinesOnlyWhenTheyChange) {
    Settings& s = AppSettings();
    const std::uint64_t start = s.ProcessingGeneration();
    s.SetMagDec(0);
    EXPECT_EQ(s.ProcessingGeneration(), start);
    s.SetMagDec(1.5);
    EXPECT_EQ(s.ProcessingGeneration(), start + 1);

    std::string error;
    ASSERT_TRUE(ApplySettingText(s, "corrections", "magdec", "1.5", error));
    EXPECT_EQ(s.ProcessingGeneration(), start + 1);
    ASSERT_TRUE(ApplySettingText(s, "Corrections", "MagDec", "2", error));
    EXPECT_EQ(s.ProcessingGeneration(), start + 2);
}

}  // namespace
}  // namespace fluvex
