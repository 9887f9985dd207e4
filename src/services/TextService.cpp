#include "services/TextService.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace fluvex {
namespace {

struct TextEntry {
    int id = 0;
    std::string_view text;
};

// The texts are kept in groups by the window that shows them, so that a wording can be checked
// against its window; the lookup table below merges and sorts them at compile time.

// View Options, "Calculate" magnetic declination: message box texts and caption.
constexpr auto kMagneticDeclinationTexts = std::to_array<TextEntry>({
    {1703, "Error"},
    {12538, "No survey line is loaded."},
    {12539, "The magnetic model is not available: WMM.COF could not be loaded."},
    {12540, "No position was found in the loaded lines."},
});

// View Options, Averaging page: caption of the averaging-method group.
constexpr auto kAveragingTexts = std::to_array<TextEntry>({
    {7810, "Horizontal Averaging"},
    {12537, "Vertical Averaging"},
});

// View Options, Filters page: profile-range items, in the order of their values 0 to 3.
constexpr auto kProfileRangeTexts = std::to_array<TextEntry>({
    {12535, "All Cells"},
    {12536, "To Last Good Cell"},
    {1290, "cells"},
    {12534, "% of profile"},
});

// Main window and View Options: velocity-reference item for positions from the ADCP's own
// navigation data.
constexpr auto kVelocityReferenceTexts = std::to_array<TextEntry>({
    {7211, "GPS"},
});

// Spreadsheet column headings; 12472 also captions the Boat vs Water Speed chart.
constexpr auto kSpreadsheetTexts = std::to_array<TextEntry>({
    {3030, "Easting"},
    {3055, "Northing"},
    {2915, "Time"},
    {1487, "DBL"},
    {1533, "Depth"},
    {12474, "Cells Used"},
    {12472, "Boat Speed"},
    {12473, "Bottom Track Speed"},
    {2371, "Pitch"},
    {2565, "Roll"},
    {1874, "Heading"},
    {1348, "Course"},
    {12475, "Bottom Track Direction"},
    {5908, "Temperature"},
    {5909, "Salinity"},
    {12476, "Mean Water Speed"},
    {12477, "Mean Water Direction"},
});

// Discharge window report; 5940 to 5942 also head spreadsheet columns.
constexpr auto kDischargeTexts = std::to_array<TextEntry>({
    {5936, "Discharge"},
    {5937, "Units"},
    {5938, "Discharge by Line"},
    {2038, "Line"},
    {5940, "Measured"},
    {5941, "Top"},
    {5942, "Bottom"},
    {5973, "Start Edge"},
    {5974, "End Edge"},
    {5066, "Total"},
});

// Profile status bar, colour bar and information window: a cell or ping without the value, and
// a ping without a position.
constexpr auto kProfileTexts = std::to_array<TextEntry>({
    {12541, "No Data"},
    {12542, "No Position"},
});

template <std::size_t... Sizes>
constexpr auto MergeSortedById(const std::array<TextEntry, Sizes>&... groups) {
    std::array<TextEntry, (Sizes + ...)> table{};
    auto out = table.begin();
    ((out = std::ranges::copy(groups, out).out), ...);
    std::ranges::sort(table, {}, &TextEntry::id);
    return table;
}

constexpr auto kTextTable =
    MergeSortedById(kMagneticDeclinationTexts, kAveragingTexts, kProfileRangeTexts,
                    kVelocityReferenceTexts, kSpreadsheetTexts, kDischargeTexts, kProfileTexts);

// One text per id, and no text for 0: 0 ends an id list.
static_assert(std::ranges::adjacent_find(kTextTable, {}, &TextEntry::id) == kTextTable.end(),
              "every text id must appear once");
static_assert(kTextTable.front().id > 0, "text ids must be positive");

std::string_view FindText(int id) {
    const auto entry = std::ranges::lower_bound(kTextTable, id, {}, &TextEntry::id);
    if (entry == kTextTable.end() || entry->id != id) return {};
    return entry->text;
}

}  // namespace

std::string TextService::LoadText(int id) {
    return std::string(FindText(id));
}

std::string TextService::LoadText(std::span<const int> ids) {
    std::string joined;
    for (int id : ids) {
        if (id == 0) break;
        joined += FindText(id);
    }
    return joined;
}

std::string CaptionText(const Caption& caption) {
    std::string text = caption.textId != 0 ? TextService::LoadText(caption.textId) : "";
    return text.empty() ? std::string(caption.designText) : text;
}

std::string Labelled(const Caption& caption, std::string_view value) {
    return Labelled(CaptionText(caption), value);
}

std::string Labelled(std::string_view name, std::string_view value) {
    return std::string(name).append(": ").append(value);
}

}  // namespace fluvex
