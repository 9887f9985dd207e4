#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace fluvex {

class UserPrompt;

// A saved window rectangle in screen pixels.
struct WindowRecord {
    int Top = 0;
    int Left = 0;
    int Height = 0;
    int Width = 0;
    uint8_t WindowState = 0;  // 0 normal; other values are maximised or minimised
    bool Visible = false;     // stored for the information window only
};

// The desktop across all monitors, in screen pixels.
struct ScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// Keeps a normal (not maximised) window on the virtual screen so that a window saved on a
// monitor that is gone comes back where it can be reached.
void ClampWindowRect(WindowRecord& window, const ScreenRect& screen);

inline constexpr int kMaxSpreadsheetColumns = 20;
inline constexpr int kQuickChartSlots = 20;
// A quick-chart slot is in use when this bit of its value is set.
inline constexpr int kQuickChartInUse = 1 << 20;

// Column kinds of a new spreadsheet: the five usual columns, then every other kind in order, so
// that widening the sheet shows new quantities rather than repeats.
inline constexpr std::array<int, kMaxSpreadsheetColumns> kDefaultSpreadsheetColumns{
    0, 1, 2, 4, 5, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
inline constexpr std::array<int, kMaxSpreadsheetColumns> kDefaultSpreadsheetWidths{
    96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96, 96};

// Every option of the program, one instance for the whole run (AppSettings()). Processing
// options are private: their setters mark every line for recomputation when the value changes,
// so a change by any path (load, dialog, command line) reprocesses the lines.
class Settings {
public:
    // The initial values and the file paths below the host folders.
    Settings();

    // Back to the initial values of a new run and selects their velocity unit. Installed hooks
    // are kept; a processing option that changes marks every line for recomputation.
    void Reset();

    // Reads the settings file and the project file. False when the project's geodesy is
    // unusable: "Invalid Geodesy" has then been reported through `prompt` and the program
    // must end.
    bool Load(UserPrompt& prompt);
    // Writes the settings file and the project's colour-file key; false with `error` set when
    // a file cannot be written.
    bool Save(std::string* error = nullptr);

    // A processing option changed: every line is processed again before its pings are next
    // handed out, and windows showing computed values redraw.
    void Invalidate();
    // Counts the processing changes; a line processed at an earlier count is processed again.
    std::uint64_t ProcessingGeneration() const { return processingGeneration_; }
    // The lines loaded, removed or edited changed what windows show.
    void NoteLinesChanged() { ++generation_; }
    // Counts every change a window showing computed values redraws for, whatever option or line
    // caused it, instead of watching a list of options of its own.
    std::uint64_t Generation() const { return generation_; }

    // --- Paths and derived values ---
    std::filesystem::path ColorTablePath;
    std::filesystem::path SettingsPath;
    std::filesystem::path LayoutPath;
    int CurrentLine = -1;
    int DistanceUnit = 1;

    // The screen used by ClampWindowRect at load; without one windows are not moved (the
    // command line has no screen).
    std::optional<ScreenRect> VirtualScreen;
    // Loads a clip-border file into the line collection; installed by the program. Without it
    // the border file name is kept unchecked.
    std::function<bool(const std::filesystem::path&)> LoadBorderFile;

    // --- General ---
    bool ElevationMode = true;
    int VelocityUnits = 2;
    std::string SurveyName = "Survey Name";

    // --- GraphOptions ---
    bool AutoScaleDepth = true;
    bool AutoScaleDBL = true;
    bool UseTime = true;
    double MinDepth = 0;
    double MaxDepth = 10;
    double StartDBL = 0;
    double EndDBL = 320;
    int AutoScaleColors = 0;  // 0 no scaling, 1 current file, 2 all files; never read back
    bool ShowColorBar = true;
    int bottomClipping = 0;
    double bottomClipVal = 0;
    int DepthLineWidth = 1;
    uint8_t DepthPenStyle = 0;
    std::array<int, 4> DepthColor{};  // 0x00BBGGRR

    // --- Labels ---
    bool AutoLabel = true;
    bool LabelToesCenter = true;
    bool DBLLabels = true;
    double DBLLabelInc = 100;
    double DBLTicInc = 50;
    bool DepthLabels = true;
    bool DepthLines = true;
    double DepthLabelInc = 2;
    double DepthTicInc = 1;
    int DecimalPlaces = 1;

    // --- Contours (no values of their own before the load) ---
    double ContMaxLeg = 0;
    double ContHorzSliceInterval = 0;
    double ContVelocityInterval = 0;
    int ContMode = 0;
    int ContSmoothing = 0;  // pings averaged on each side of a ping along its line (0 none)

    // --- View ---
    int Cursor = 0;

    // --- ShoreOptions ---
    int NShorePings = 1;
    double StartCoeff = 0.31;
    double StartWidth = 0;
    double EndCoeff = 0.31;
    double EndWidth = 0;

    // --- TrackOptions ---
    bool ShowTrackLines = true;
    double TrackDepth = 4.0;
    double ArrowLength = 15.0;
    int ArrowStyle = 0;
    double ArrowInterval = 10.0;
    int Mid_Avg = 0;
    bool SolidArrows = false;

    // --- Report, PrintOptions, Discharge ---
    bool Cumulative = false;
    int NRows = 2;
    int NCols = 1;
    std::string BorderFile;

    // --- Spreadsheet ---
    int NColumns = 5;
    std::array<int, kMaxSpreadsheetColumns> Column = kDefaultSpreadsheetColumns;
    std::array<int, kMaxSpreadsheetColumns> ColWidth = kDefaultSpreadsheetWidths;

    // --- QuickChart ---
    std::array<int, kQuickChartSlots> QuickChartSlot{};

    // --- Windows ---
    WindowRecord InfoWindow{0, 0, 50, 50, 0, false};
    WindowRecord ProfileWindow{0, 0, 430, 700, 0, false};
    WindowRecord OptionsWindow{0, 0, 400, 395, 0, false};

    // --- Processing options ---
    int BottomTrack() const { return processing_.bottomTrack; }
    int Velocity() const { return processing_.velocity; }
    bool SNRFilter() const { return processing_.snrFilter; }
    double SNRFilterVal() const { return processing_.snrFilterVal; }
    int VelReference() const { return processing_.velReference; }
    int VelAveraging() const { return processing_.velAveraging; }
    int VelAvgMode() const { return processing_.velAvgMode; }
    double VelAvgDist() const { return processing_.velAvgDist; }
    int VelAvgSamples() const { return processing_.velAvgSamples; }
    int Time_Type() const { return processing_.timeType; }
    bool UseEdtPR() const { return processing_.useEdtPR; }
    bool UseEdtHead() const { return processing_.useEdtHead; }
    double MagDec() const { return processing_.magDec; }
    int VelOffset() const { return processing_.velOffset; }
    int HdgOffset() const { return processing_.hdgOffset; }

    void SetBottomTrack(int value) { SetProcessingOption(processing_.bottomTrack, value); }
    void SetVelocity(int value) { SetProcessingOption(processing_.velocity, value); }
    void SetSNRFilter(bool value) { SetProcessingOption(processing_.snrFilter, value); }
    void SetSNRFilterVal(double value) { SetProcessingOption(processing_.snrFilterVal, value); }
    void SetVelReference(int value) { SetProcessingOption(processing_.velReference, value); }
    void SetVelAveraging(int value) { SetProcessingOption(processing_.velAveraging, value); }
    void SetVelAvgMode(int value) { SetProcessingOption(processing_.velAvgMode, value); }
    void SetVelAvgDist(double value) { SetProcessingOption(processing_.velAvgDist, value); }
    void SetVelAvgSamples(int value) { SetProcessingOption(processing_.velAvgSamples, value); }
    void SetTime_Type(int value) { SetProcessingOption(processing_.timeType, value); }
    void SetUseEdtPR(bool value) { SetProcessingOption(processing_.useEdtPR, value); }
    void SetUseEdtHead(bool value) { SetProcessingOption(processing_.useEdtHead, value); }
    void SetMagDec(double value) { SetProcessingOption(processing_.magDec, value); }
    void SetVelOffset(int value) { SetProcessingOption(processing_.velOffset, value); }
    void SetHdgOffset(int value) { SetProcessingOption(processing_.hdgOffset, value); }

private:
    // The options that change derived data; any change marks every line for recomputation.
    struct ProcessingOptions {
        int bottomTrack = 2;
        int velocity = 5;
        bool snrFilter = false;
        double snrFilterVal = 0;
        int velReference = 1;
        int velAveraging = 0;
        int velAvgMode = 0;
        double velAvgDist = 0;
        int velAvgSamples = 0;
        int timeType = 0;
        bool useEdtPR = false;
        bool useEdtHead = false;
        double magDec = 0;
        int velOffset = 0;
        int hdgOffset = 0;
        bool operator==(const ProcessingOptions&) const = default;
    };

    template <typename T>
    void SetProcessingOption(T& field, T value) {
        if (field == value) return;
        Invalidate();
        field = value;
    }

    ProcessingOptions processing_;
    std::uint64_t processingGeneration_ = 0;
    std::uint64_t generation_ = 0;
};

// The one settings record of the process.
Settings& AppSettings();

// Makes `index` the display velocity unit of the process (Units()). With AutoScaleColors on, the
// velocity colour table is rescaled so that it shows the same velocities in the new unit.
void SelectVelocityUnit(int index);

}  // namespace fluvex
