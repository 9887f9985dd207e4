#include "project/DischargeReport.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "model/TextUtil.h"
#include "project/Database.h"
#include "services/TextService.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

constexpr std::size_t kCaptionIndent = 25;
constexpr std::size_t kRuleLength = 66;
constexpr std::size_t kLeastColumnWidth = 11;
constexpr int kDecimals = 2;

constexpr int kCaptionText = 5936;
constexpr int kUnitsText = 5937;
constexpr int kTitleText = 5938;
constexpr int kLineHeadingText = 2038;
// Measured, top, bottom, start edge, end edge, total: the order of the row's values.
constexpr std::array kValueHeadingTexts{5940, 5941, 5942, 5973, 5974, 5066};

// Left-justified in at least `width` bytes, as printf's "%-*s" pads.
void AppendPadded(std::string& text, std::string_view field, std::size_t width) {
    text += field;
    if (field.size() < width) text.append(width - field.size(), ' ');
}

std::array<double, kValueHeadingTexts.size()> RowValues(const LineDischarge& discharge) {
    return {discharge.measured,  discharge.top,     discharge.bottom,
            discharge.startEdge, discharge.endEdge, discharge.total};
}

struct ColumnWidths {
    std::size_t name = 1;
    std::size_t value = kLeastColumnWidth;
};

ColumnWidths WidthsOf(std::string_view lineHeading, std::span<const std::string> valueHeadings,
                      std::span<const LineDischargeRow> rows) {
    ColumnWidths widths;
    widths.name = std::max(widths.name, lineHeading.size() + 2);
    for (const LineDischargeRow& row : rows)
        widths.name = std::max(widths.name, row.name.size() + 2);
    for (const std::string& heading : valueHeadings)
        widths.value = std::max(widths.value, heading.size());
    return widths;
}

std::string HeadingRow(std::string_view lineHeading, std::span<const std::string> valueHeadings,
                       const ColumnWidths& widths) {
    std::string text;
    AppendPadded(text, lineHeading, widths.name);
    for (const std::string& heading : valueHeadings) {
        text += ' ';
        AppendPadded(text, heading, widths.value);
    }
    return text;
}

// The numbers are a byte narrower than their headings and two blanks apart, so that they stay
// under them.
std::string ValueRow(const LineDischargeRow& row, const ColumnWidths& widths) {
    std::string text;
    AppendPadded(text, row.name, widths.name);
    std::string_view separator = " ";
    for (const double value : RowValues(row.discharge)) {
        text += separator;
        AppendPadded(text, FormatFixed(value, kDecimals), widths.value - 1);
        separator = "  ";
    }
    return text;
}

std::vector<std::string> ValueHeadings() {
    std::vector<std::string> headings;
    for (const int id : kValueHeadingTexts)
        headings.push_back(TextService::LoadText(id));
    return headings;
}

}  // namespace

std::vector<LineDischargeRow> ComputeAllLineDischarges(Database& database,
                                                       const DischargeProgress& progress) {
    const bool clipped = database.Border().size() >= 3;
    const int lines = database.LineCount();
    std::vector<LineDischargeRow> rows;
    rows.reserve(static_cast<std::size_t>(lines));
    for (int line = 0; line < lines; ++line) {
        const LineDischarge discharge = clipped ? database.ComputeLineDischargeClipped(line)
                                                : database.ComputeLineDischarge(line);
        rows.push_back({database.LineName(line), discharge});
        if (progress) progress(line + 1, lines);
    }
    return rows;
}

std::vector<std::string> FormatDischargeReport(std::span<const LineDischargeRow> rows,
                                               int velocityUnits) {
    const std::string caption =
        std::string(kCaptionIndent, ' ') + TextService::LoadText(kCaptionText);
    const std::string_view unit = VolumeUnitOf(velocityUnits).text;
    const std::string lineHeading = TextService::LoadText(kLineHeadingText);
    const std::vector<std::string> valueHeadings = ValueHeadings();
    const ColumnWidths widths = WidthsOf(lineHeading, valueHeadings, rows);

    // An unknown unit has no unit line of its own: the caption stands in for it.
    const std::string unitLine =
        unit.empty() ? caption : TextService::LoadText(kUnitsText) + ": " + std::string(unit);

    std::vector<std::string> report{caption,
                                    unitLine,
                                    "",
                                    TextService::LoadText(kTitleText),
                                    std::string(kRuleLength, '-'),
                                    "",
                                    HeadingRow(lineHeading, valueHeadings, widths)};
    for (const LineDischargeRow& row : rows)
        report.push_back(ValueRow(row, widths));
    return report;
}

std::vector<std::string> BuildDischargeReport(Database& database,
                                              const DischargeProgress& progress) {
    const auto rows = ComputeAllLineDischarges(database, progress);
    return FormatDischargeReport(rows, AppSettings().VelocityUnits);
}

}  // namespace fluvex
