#include "settings/SettingsFile.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "model/TextUtil.h"
#include "model/Units.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/HostService.h"
#include "services/IniFile.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// ---- How a key's text becomes a value and back --------------------------------------------

// Whole-number fields are truncated toward zero, clamped so that absurd values cannot overflow.
long long TruncateToWhole(double value) {
    constexpr double limit = 9.0e18;
    return static_cast<long long>(std::trunc(std::clamp(value, -limit, limit)));
}

struct BoolCodec {
    static std::optional<bool> Parse(std::string_view text) { return ParseBool(text); }
    static std::string Format(bool value) { return value ? "1" : "0"; }
};

struct IntCodec {
    static std::optional<int> Parse(std::string_view text) { return ParseInt(text); }
    static std::string Format(int value) { return std::to_string(value); }
};

// A flag stored as an integer; any non-zero integer is true.
struct IntFlagCodec {
    static std::optional<bool> Parse(std::string_view text) {
        const auto number = ParseInt(text);
        return number ? std::optional<bool>(*number != 0) : std::nullopt;
    }
    static std::string Format(bool value) { return value ? "1" : "0"; }
};

struct ByteCodec {
    static std::optional<uint8_t> Parse(std::string_view text) {
        const auto number = ParseInt(text);
        if (!number || *number < 0 || *number > 255) return std::nullopt;
        return static_cast<uint8_t>(*number);
    }
    static std::string Format(uint8_t value) { return std::to_string(value); }
};

// A double field kept in the file as a whole number: "12.5" does not read.
struct WholeDoubleCodec {
    static std::optional<double> Parse(std::string_view text) {
        const auto number = ParseInt(text);
        return number ? std::optional<double>(*number) : std::nullopt;
    }
    static std::string Format(double value) { return std::to_string(TruncateToWhole(value)); }
};

// A label or tick increment, kept as a whole number: the nearest one, never below 1, as an
// increment of 0 would draw no ticks at all (and 0 or less in a file reads as the default).
struct IncrementCodec {
    static std::optional<double> Parse(std::string_view text) {
        const auto number = WholeDoubleCodec::Parse(text);
        return number && *number > 0 ? number : std::nullopt;
    }
    static std::string Format(double value) {
        const double nearest = std::isfinite(value) ? std::round(value) : 1.0;
        return WholeDoubleCodec::Format(std::max(nearest, 1.0));
    }
};

struct DoubleCodec {
    static std::optional<double> Parse(std::string_view text) { return ParseDouble(text); }
    static std::string Format(double value) { return FormatShortest(value); }
};

// An integer field read as a number and truncated toward zero: "12.9" reads as 12.
struct TruncatingIntCodec {
    static std::optional<int> Parse(std::string_view text) {
        const auto number = ParseDouble(text);
        if (!number || std::fabs(*number) >= std::numeric_limits<int>::max()) return std::nullopt;
        return static_cast<int>(std::trunc(*number));
    }
    static std::string Format(int value) { return std::to_string(value); }
};

struct TextCodec {
    static std::optional<std::string> Parse(std::string_view text) { return std::string(text); }
    static std::string Format(const std::string& value) { return value; }
};

template <typename T>
struct Accessor {
    std::function<T(const Settings&)> get;
    std::function<void(Settings&, T)> set;
};

template <typename T>
Accessor<T> Member(T Settings::*member) {
    return {[member](const Settings& s) { return s.*member; },
            [member](Settings& s, T value) { s.*member = std::move(value); }};
}

template <typename T>
Accessor<T> Option(T (Settings::*getter)() const, void (Settings::*setter)(T)) {
    return {[getter](const Settings& s) { return (s.*getter)(); },
            [setter](Settings& s, T value) { (s.*setter)(value); }};
}

template <typename T, size_t N>
Accessor<T> Element(std::array<T, N> Settings::*array, size_t index) {
    return {[array, index](const Settings& s) { return (s.*array)[index]; },
            [array, index](Settings& s, T value) { (s.*array)[index] = value; }};
}

template <typename T>
Accessor<T> WindowField(WindowRecord Settings::*window, T WindowRecord::*field) {
    return {[window, field](const Settings& s) { return (s.*window).*field; },
            [window, field](Settings& s, T value) { (s.*window).*field = value; }};
}

// One key of the file: its name, how its text is read into the record (with the load's
// default when missing or unreadable) and how the record's value is written.
struct KeyBinding {
    std::string name;
    std::function<bool(Settings&, std::string_view)> parse;
    std::function<void(Settings&)> setDefault;
    std::function<std::string(const Settings&)> format;
    bool readOnLoad = true;
};

template <typename Codec, typename T>
KeyBinding Bind(std::string name, Accessor<T> access, T fallback, bool readOnLoad = true) {
    return {std::move(name),
            [access](Settings& s, std::string_view text) {
                auto value = Codec::Parse(text);
                if (value) access.set(s, std::move(*value));
                return value.has_value();
            },
            [access, fallback](Settings& s) { access.set(s, fallback); },
            [access](const Settings& s) { return Codec::Format(access.get(s)); }, readOnLoad};
}

std::string Indexed(std::string_view name, size_t index) {
    return std::string(name) + std::to_string(index);
}

// ---- The sections, in file order ----------------------------------------------------------

struct SectionRules {
    std::string_view name;
    std::vector<KeyBinding> (*keys)(const Settings&);
    void (*afterRead)(Settings&);
};

std::vector<KeyBinding> GeneralKeys(const Settings&) {
    return {
        Bind<BoolCodec>("ElevationMode", Member(&Settings::ElevationMode), true),
        Bind<IntCodec>("VelocityUnits", Member(&Settings::VelocityUnits), 2),
        Bind<TextCodec>("SurveyName", Member(&Settings::SurveyName), std::string("Survey Name"))};
}

std::vector<KeyBinding> GraphOptionsKeys(const Settings&) {
    // The colour-scaling mode is written as a flag but every run starts unscaled.
    Accessor<bool> scaleColours{[](const Settings& s) { return s.AutoScaleColors != 0; },
                                [](Settings& s, bool on) { s.AutoScaleColors = on ? 1 : 0; }};
    std::vector<KeyBinding> keys{
        Bind<BoolCodec>("AutoScaleDepth", Member(&Settings::AutoScaleDepth), true),
        Bind<BoolCodec>("AutoScaleDBL", Member(&Settings::AutoScaleDBL), true),
        Bind<BoolCodec>("UseTime", Member(&Settings::UseTime), true),
        Bind<WholeDoubleCodec>("MinDepth", Member(&Settings::MinDepth), 0.0),
        Bind<WholeDoubleCodec>("MaxDepth", Member(&Settings::MaxDepth), 10.0),
        Bind<WholeDoubleCodec>("StartDBL", Member(&Settings::StartDBL), 0.0),
        Bind<WholeDoubleCodec>("EndDBL", Member(&Settings::EndDBL), 320.0),
        Bind<BoolCodec>("AutoScaleColors", scaleColours, false, false),
        Bind<BoolCodec>("ShowColorBar", Member(&Settings::ShowColorBar), true),
        Bind<IntCodec>("BottomTrack", Option(&Settings::BottomTrack, &Settings::SetBottomTrack), 2),
        Bind<IntCodec>("Velocity", Option(&Settings::Velocity, &Settings::SetVelocity), 5),
        Bind<IntCodec>("bottomClipping", Member(&Settings::bottomClipping), 0),
        Bind<DoubleCodec>("bottomClipVal", Member(&Settings::bottomClipVal), 0.0),
        Bind<BoolCodec>("SNRFilter", Option(&Settings::SNRFilter, &Settings::SetSNRFilter), false),
        Bind<DoubleCodec>("SNRFilterVal",
                          Option(&Settings::SNRFilterVal, &Settings::SetSNRFilterVal), 0.0),
        Bind<IntCodec>("DepthLineWidth", Member(&Settings::DepthLineWidth), 1),
        Bind<ByteCodec>("DepthPenStyle", Member(&Settings::DepthPenStyle), uint8_t{0}),
    };
    constexpr std::array<int, 4> depthColours{255, 16711680, 0, 0};  // red, blue, black, black
    for (size_t d = 0; d < depthColours.size(); ++d)
        keys.push_back(Bind<IntCodec>("Depth" + std::to_string(d) + "Color",
                                      Element(&Settings::DepthColor, d), depthColours[d]));
    return keys;
}

std::vector<KeyBinding> LabelsKeys(const Settings&) {
    return {Bind<BoolCodec>("AutoLabel", Member(&Settings::AutoLabel), true),
            Bind<BoolCodec>("LabelToesCenter", Member(&Settings::LabelToesCenter), true),
            Bind<BoolCodec>("DBLLabels", Member(&Settings::DBLLabels), true),
            Bind<IncrementCodec>("DBLLabelInc", Member(&Settings::DBLLabelInc), 100.0),
            Bind<IncrementCodec>("DBLTicInc", Member(&Settings::DBLTicInc), 50.0),
            Bind<BoolCodec>("DepthLabels", Member(&Settings::DepthLabels), true),
            Bind<BoolCodec>("DepthLines", Member(&Settings::DepthLines), true),
            Bind<IncrementCodec>("DepthLabelInc", Member(&Settings::DepthLabelInc), 2.0),
            Bind<IncrementCodec>("DepthTicInc", Member(&Settings::DepthTicInc), 1.0),
            Bind<IntCodec>("DecimalPlaces", Member(&Settings::DecimalPlaces), 1)};
}

std::vector<KeyBinding> ContoursKeys(const Settings&) {
    return {
        Bind<DoubleCodec>("ContMaxLeg", Member(&Settings::ContMaxLeg), 0.0),
        Bind<DoubleCodec>("ContHorzSliceInterval", Member(&Settings::ContHorzSliceInterval), 1.0),
        Bind<DoubleCodec>("ContVelocityInterval", Member(&Settings::ContVelocityInterval), 0.25),
        Bind<IntCodec>("ContMode", Member(&Settings::ContMode), 0),
        Bind<IntCodec>("ContSmoothing", Member(&Settings::ContSmoothing), 10)};
}

std::vector<KeyBinding> ViewKeys(const Settings&) {
    return {Bind<IntCodec>("Cursor", Member(&Settings::Cursor), 0)};
}

std::vector<KeyBinding> CorrectionsKeys(const Settings&) {
    return {
        Bind<IntCodec>("VelReference", Option(&Settings::VelReference, &Settings::SetVelReference),
                       1),
        Bind<IntCodec>("VelAveraging", Option(&Settings::VelAveraging, &Settings::SetVelAveraging),
                       0),
        Bind<IntCodec>("VelAvgMode", Option(&Settings::VelAvgMode, &Settings::SetVelAvgMode), 0),
        Bind<DoubleCodec>("VelAvgDist", Option(&Settings::VelAvgDist, &Settings::SetVelAvgDist),
                          0.0),
        Bind<IntCodec>("VelAvgSamples",
                       Option(&Settings::VelAvgSamples, &Settings::SetVelAvgSamples), 0),
        Bind<IntCodec>("Time_Type", Option(&Settings::Time_Type, &Settings::SetTime_Type), 0),
        Bind<IntFlagCodec>("UseEdtPR", Option(&Settings::UseEdtPR, &Settings::SetUseEdtPR), false),
        Bind<IntFlagCodec>("UseEdtHead", Option(&Settings::UseEdtHead, &Settings::SetUseEdtHead),
                           false),
        Bind<DoubleCodec>("MagDec", Option(&Settings::MagDec, &Settings::SetMagDec), 0.0)};
}

std::vector<KeyBinding> ShoreOptionsKeys(const Settings&) {
    return {Bind<IntCodec>("NShorePings", Member(&Settings::NShorePings), 1),
            Bind<DoubleCodec>("StartCoeff", Member(&Settings::StartCoeff), 0.31),
            Bind<DoubleCodec>("StartWidth", Member(&Settings::StartWidth), 0.0),
            Bind<DoubleCodec>("EndCoeff", Member(&Settings::EndCoeff), 0.31),
            Bind<DoubleCodec>("EndWidth", Member(&Settings::EndWidth), 0.0)};
}

std::vector<KeyBinding> TrackOptionsKeys(const Settings&) {
    return {Bind<BoolCodec>("ShowTrackLines", Member(&Settings::ShowTrackLines), true),
            Bind<DoubleCodec>("TrackDepth", Member(&Settings::TrackDepth), 4.0),
            Bind<DoubleCodec>("ArrowLength", Member(&Settings::ArrowLength), 15.0),
            Bind<IntCodec>("ArrowStyle", Member(&Settings::ArrowStyle), 0),
            Bind<DoubleCodec>("ArrowInterval", Member(&Settings::ArrowInterval), 50.0),
            Bind<IntCodec>("Mid_Avg", Member(&Settings::Mid_Avg), 0),
            Bind<BoolCodec>("SolidArrows", Member(&Settings::SolidArrows), false)};
}

std::vector<KeyBinding> ReportKeys(const Settings&) {
    return {Bind<BoolCodec>("Cumulative", Member(&Settings::Cumulative), false)};
}

std::vector<KeyBinding> PrintOptionsKeys(const Settings&) {
    return {Bind<IntCodec>("NRows", Member(&Settings::NRows), 2),
            Bind<IntCodec>("NCols", Member(&Settings::NCols), 1)};
}

std::vector<KeyBinding> BTOffsetKeys(const Settings&) {
    return {Bind<TruncatingIntCodec>("VelOffset",
                                     Option(&Settings::VelOffset, &Settings::SetVelOffset), 0),
            Bind<TruncatingIntCodec>("HdgOffset",
                                     Option(&Settings::HdgOffset, &Settings::SetHdgOffset), 0)};
}

std::vector<KeyBinding> DischargeKeys(const Settings&) {
    return {Bind<TextCodec>("BorderFile", Member(&Settings::BorderFile), std::string())};
}

std::vector<KeyBinding> SpreadsheetKeys(const Settings&) {
    return {Bind<IntCodec>("NColumns", Member(&Settings::NColumns), 5)};
}

std::vector<KeyBinding> SpreadsheetColsKeys(const Settings& settings) {
    std::vector<KeyBinding> keys;
    for (size_t d = 0; d < static_cast<size_t>(settings.NColumns); ++d) {
        keys.push_back(Bind<IntCodec>(Indexed("Column", d), Element(&Settings::Column, d),
                                      kDefaultSpreadsheetColumns[d]));
        keys.push_back(Bind<IntCodec>(Indexed("ColWidth", d), Element(&Settings::ColWidth, d),
                                      kDefaultSpreadsheetWidths[d]));
    }
    return keys;
}

// The slots as saved: those in use move to the front in their order, the free ones behind.
std::array<int, kQuickChartSlots> CompactedQuickChartSlots(
    std::array<int, kQuickChartSlots> slots) {
    size_t free = 0;
    for (size_t d = 0; d < slots.size(); ++d) {
        if ((slots[d] & kQuickChartInUse) == 0)
            ++free;
        else if (free > 0)
            std::swap(slots[d], slots[d - free]);
    }
    return slots;
}

std::vector<KeyBinding> QuickChartKeys(const Settings&) {
    std::vector<KeyBinding> keys;
    for (size_t d = 0; d < kQuickChartSlots; ++d) {
        Accessor<int> slot = Element(&Settings::QuickChartSlot, d);
        slot.get = [d](const Settings& s) { return CompactedQuickChartSlots(s.QuickChartSlot)[d]; };
        keys.push_back(Bind<IntCodec>(Indexed("Chart", d), slot, 0));
    }
    return keys;
}

std::vector<KeyBinding> WindowKeys(WindowRecord Settings::*window, int height, int width) {
    return {Bind<IntCodec>("Top", WindowField(window, &WindowRecord::Top), 0),
            Bind<IntCodec>("Left", WindowField(window, &WindowRecord::Left), 0),
            Bind<IntCodec>("Height", WindowField(window, &WindowRecord::Height), height),
            Bind<IntCodec>("Width", WindowField(window, &WindowRecord::Width), width),
            Bind<ByteCodec>("WindowState", WindowField(window, &WindowRecord::WindowState),
                            uint8_t{0})};
}

std::vector<KeyBinding> InfoWindowKeys(const Settings&) {
    return {Bind<IntCodec>("Top", WindowField(&Settings::InfoWindow, &WindowRecord::Top), 0),
            Bind<IntCodec>("Left", WindowField(&Settings::InfoWindow, &WindowRecord::Left), 0),
            Bind<BoolCodec>("Visible", WindowField(&Settings::InfoWindow, &WindowRecord::Visible),
                            false),
            Bind<ByteCodec>("WindowState",
                            WindowField(&Settings::InfoWindow, &WindowRecord::WindowState),
                            uint8_t{0})};
}

void ClampIfScreenKnown(Settings& settings, WindowRecord& window) {
    if (settings.VirtualScreen) ClampWindowRect(window, *settings.VirtualScreen);
}

const std::array<SectionRules, 18> kSections{{
    {"General", GeneralKeys, [](Settings& s) { SelectVelocityUnit(s.VelocityUnits); }},
    {"GraphOptions", GraphOptionsKeys, nullptr},
    {"Labels", LabelsKeys, nullptr},
    {"Contours", ContoursKeys, nullptr},
    {"View", ViewKeys, nullptr},
    {"Corrections", CorrectionsKeys, nullptr},
    {"ShoreOptions", ShoreOptionsKeys, nullptr},
    {"TrackOptions", TrackOptionsKeys, nullptr},
    {"Report", ReportKeys, nullptr},
    {"PrintOptions", PrintOptionsKeys, nullptr},
    {"BTOffset", BTOffsetKeys, nullptr},
    {"Discharge", DischargeKeys,
     [](Settings& s) {
         // A border that cannot be read now (a drive not mounted) is said by the hook and kept:
         // the user decides whether to clear it.
         if (s.LoadBorderFile && !s.BorderFile.empty()) s.LoadBorderFile(s.BorderFile);
     }},
    {"Spreadsheet", SpreadsheetKeys,
     [](Settings& s) { s.NColumns = std::clamp(s.NColumns, 0, kMaxSpreadsheetColumns); }},
    {"SpreadsheetCols", SpreadsheetColsKeys, nullptr},
    {"QuickChart", QuickChartKeys,
     [](Settings& s) {
         // Charts mark their slots in use when they open; a slot saved free is forgotten.
         for (int& slot : s.QuickChartSlot)
             slot = (slot & kQuickChartInUse) ? slot & ~kQuickChartInUse : 0;
     }},
    {"InfoWindow", InfoWindowKeys,
     [](Settings& s) {
         s.InfoWindow.Height = 50;
         s.InfoWindow.Width = 50;
         ClampIfScreenKnown(s, s.InfoWindow);
     }},
    {"ProfileWindow",
     [](const Settings&) { return WindowKeys(&Settings::ProfileWindow, 430, 700); },
     [](Settings& s) { ClampIfScreenKnown(s, s.ProfileWindow); }},
    {"OptionsWindow",
     [](const Settings&) { return WindowKeys(&Settings::OptionsWindow, 400, 395); },
     [](Settings& s) { ClampIfScreenKnown(s, s.OptionsWindow); }},
}};

}  // namespace

void ReadSettingsFile(Settings& settings, const IniFile& ini) {
    for (const SectionRules& section : kSections) {
        for (const KeyBinding& key : section.keys(settings)) {
            if (!key.readOnLoad) continue;
            const auto text = ini.Value(section.name, key.name);
            if (!text || !key.parse(settings, *text)) key.setDefault(settings);
        }
        if (section.afterRead) section.afterRead(settings);
    }
}

void WriteSettingsFile(const Settings& settings, IniFile& ini) {
    for (const SectionRules& section : kSections)
        for (const KeyBinding& key : section.keys(settings))
            ini.Write(section.name, key.name, key.format(settings));
}

bool ApplySettingText(Settings& settings, std::string_view section, std::string_view key,
                      std::string_view value, std::string& error) {
    const std::string name = std::string(section) + "." + std::string(key);
    for (const SectionRules& rules : kSections) {
        if (!EqualsIgnoringCase(rules.name, section)) continue;
        for (const KeyBinding& binding : rules.keys(settings)) {
            if (!EqualsIgnoringCase(binding.name, key)) continue;
            if (!binding.parse(settings, value)) {
                error = "\"" + std::string(value) + "\" is not a valid value for " + name;
                return false;
            }
            if (rules.afterRead) rules.afterRead(settings);
            return true;
        }
    }
    error = "unknown setting " + name;
    return false;
}

// ---- Settings::Load and Settings::Save ----------------------------------------------------

namespace {

// The project's distance unit: metres per unit from [Geodesy] Unit; 0 when unusable.
double ProjectMetresPerUnit(const IniFile& project) {
    const double unit = ParseDouble(project.ReadText("Geodesy", "Unit", "0")).value_or(0);
    return unit > 0 ? unit : 0;
}

int DistanceUnitOf(double metresPerUnit) {
    if (metresPerUnit == 1.0) return 0;
    if (metresPerUnit == 0.3048) return 2;
    return 1;
}

}  // namespace

bool Settings::Load(UserPrompt& prompt) {
    ReadSettingsFile(*this, IniFile::Read(SettingsPath));
    ColorTablePath = Host().Folder(FolderKind::ProgramData) / "ADCP.hcf";

    const std::filesystem::path projectPath = Host().Folder(FolderKind::ProjectFile);
    double metresPerUnit = 0;
    if (FileExists(projectPath)) {
        const IniFile project = IniFile::Read(projectPath);
        metresPerUnit = ProjectMetresPerUnit(project);
        const std::string colours = project.ReadText("ADCP", "ColorHCF", ColorTablePath.string());
        if (FileExists(colours)) ColorTablePath = colours;
        std::string error;
        if (!LoadColourTable(ColorTablePath, &error)) prompt.ShowError(error, "Error");
    }
    if (metresPerUnit == 0) {
        prompt.ShowError("Invalid Geodesy", "Error");
        return false;
    }
    DistanceUnit = DistanceUnitOf(metresPerUnit);
    Units().SetDistanceUnit(DistanceUnit);
    SelectVelocityUnit(VelocityUnits);
    return true;
}

bool Settings::Save(std::string* error) {
    IniFile ini = IniFile::Read(SettingsPath);
    WriteSettingsFile(*this, ini);
    if (!ini.Save(SettingsPath, error)) return false;

    // A project file that does not exist is not created here: it would lack its geodesy.
    const std::filesystem::path projectPath = Host().Folder(FolderKind::ProjectFile);
    if (!FileExists(projectPath)) return true;
    IniFile project = IniFile::Read(projectPath);
    project.Write("ADCP", "ColorHCF", ColorTablePath.string());
    return project.Save(projectPath, error);
}

}  // namespace fluvex
