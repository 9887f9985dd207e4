#include "export/WorkbookExport.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/EnsembleTable.h"
#include "export/TextExports.h"
#include "export/XlsxWriter.h"
#include "model/TextUtil.h"
#include "model/Units.h"
#include "project/Database.h"

namespace fluvex {

namespace {

// ---------------------------------------------------------------------------------------------
// Sheet names

constexpr int kMaxSheetNameUnits = 31;
constexpr char32_t kReplacement = U'_';
constexpr std::u32string_view kForbidden = U"[]:*?/\\";
constexpr std::u32string_view kEmptyName = U"Line";
// English Excel keeps a sheet of this name for itself.
constexpr std::u32string_view kReserved = U"History";

// Characters a sheet name cannot hold, or XML cannot carry.
bool IsAllowedInSheetName(char32_t code) {
    return code >= 0x20 && code != 0xFFFE && code != 0xFFFF &&
           kForbidden.find(code) == std::u32string_view::npos;
}

std::u32string SanitizedCodePoints(std::string_view text) {
    std::u32string codes;
    while (!text.empty()) {
        const std::optional<char32_t> code = TakeUtf8CodePoint(text);
        codes.push_back(code && IsAllowedInSheetName(*code) ? *code : kReplacement);
    }
    if (!codes.empty() && codes.front() == U'\'') codes.front() = kReplacement;
    if (!codes.empty() && codes.back() == U'\'') codes.back() = kReplacement;
    return codes;
}

std::string Utf8(std::u32string_view codes) {
    std::string text;
    for (const char32_t code : codes) {
        if (code < 0x80) {
            text += static_cast<char>(code);
            continue;
        }
        const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        constexpr unsigned kLeadBits[] = {0, 0, 0xC0, 0xE0, 0xF0};
        text += static_cast<char>(kLeadBits[length] | (code >> (6 * (length - 1))));
        for (int shift = 6 * (length - 2); shift >= 0; shift -= 6)
            text += static_cast<char>(0x80U | ((code >> shift) & 0x3FU));
    }
    return text;
}

// The longest front of `codes` within `units` UTF-16 units, as the format counts a name.
std::u32string_view CutToUnits(std::u32string_view codes, int units) {
    std::size_t kept = 0;
    for (; kept < codes.size(); ++kept) {
        units -= codes[kept] >= 0x10000 ? 2 : 1;
        if (units < 0) break;
    }
    return codes.substr(0, kept);
}

// Lower case for the scripts sheet names are usually written in (Latin, Greek, Cyrillic), so
// that "Überfahrt" and "überfahrt" count as the same name, as they do for the format's readers.
char32_t FoldCase(char32_t code) {
    const auto in = [code](char32_t first, char32_t last) { return code >= first && code <= last; };
    if (in(U'A', U'Z') || (in(0xC0, 0xDE) && code != 0xD7) || (in(0x391, 0x3AB) && code != 0x3A2) ||
        in(0x410, 0x42F))
        return code + 0x20;
    if (in(0x400, 0x40F)) return code + 0x50;
    // Latin Extended-A pairs its capitals with the small letter after them.
    const bool evenCapital = in(0x100, 0x12F) || in(0x132, 0x137) || in(0x14A, 0x177);
    const bool oddCapital = in(0x139, 0x148) || in(0x179, 0x17E);
    if ((evenCapital && code % 2 == 0) || (oddCapital && code % 2 == 1)) return code + 1;
    return code == 0x178 ? 0xFF : code;
}

bool SameSheetName(std::u32string_view a, std::u32string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char32_t x, char32_t y) { return FoldCase(x) == FoldCase(y); });
}

bool IsTaken(std::u32string_view name, std::span<const std::string> taken) {
    return SameSheetName(name, kReserved) ||
           std::ranges::any_of(taken, [name](const std::string& used) {
               return SameSheetName(name, SanitizedCodePoints(used));
           });
}

// ---------------------------------------------------------------------------------------------
// The workbook

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// The most decimals a column has; number format k shows k decimals ("0", "0.0", ...).
constexpr int kMaxDecimals = 6;

std::vector<std::string> NumberFormats() {
    std::vector<std::string> formats{"0"};
    for (int decimals = 1; decimals <= kMaxDecimals; ++decimals)
        formats.push_back("0." + std::string(static_cast<std::size_t>(decimals), '0'));
    return formats;
}

// Fills one sheet's rows. Numbers are numbers, so that a spreadsheet can sum and plot them;
// each holds the value of its fixed text and shows that text through its number format.
class SheetWriter {
public:
    explicit SheetWriter(XlsxWriter& workbook) : workbook_(workbook) {}

    void StartRow(int row) { workbook_.StartRow(row); }
    void Text(std::string_view text) { workbook_.Text(text); }
    void Fixed(double value, int decimals) {
        decimals = std::clamp(decimals, 0, kMaxDecimals);
        // The value of the text, not `value` itself: the cell then shows exactly the text.
        workbook_.DecimalNumber(numbers_.Fixed(value, decimals), decimals);
    }
    void Integer(long long value) { workbook_.DecimalNumber(numbers_.Integer(value), 0); }
    void Skip(int columns) { workbook_.Skip(columns); }

private:
    XlsxWriter& workbook_;
    NumberFormatter numbers_;
};

constexpr int kDecimals = 3;

void WriteRow(const EnsembleRow& row, const EnsembleTableLayout& layout, SheetWriter& sheet) {
    sheet.StartRow(row.index + 1);
    sheet.Integer(row.index + 1);
    sheet.Text(row.time);
    for (const double value : {row.heading, row.pitch, row.roll})
        sheet.Fixed(value, kDecimals);
    sheet.Fixed(row.depth, 2);
    if (row.hasPosition) {
        sheet.Fixed(row.x, 2);
        sheet.Fixed(row.y, 2);
    } else {
        sheet.Skip(2);
    }
    if (row.hasGeographic) {
        sheet.Fixed(row.latitude, 6);
        sheet.Fixed(row.longitude, 6);
    } else {
        sheet.Skip(2);
    }
    if (row.bottomTrackValid) {
        for (const double value : {row.bottomTrack.east, row.bottomTrack.north,
                                   row.bottomTrack.speed, row.bottomTrack.direction})
            sheet.Fixed(value, kDecimals);
    } else if (layout.bottomTrack) {
        sheet.Skip(4);  // a bad bottom track leaves its columns empty
    }
    for (const TableCell& cell : row.cells) {
        for (const double value : {cell.east, cell.north, cell.up, cell.speed, cell.direction}) {
            if (cell.valid) {
                sheet.Fixed(value, kDecimals);
            } else {
                sheet.Integer(0);
            }
        }
    }
    for (int missing = static_cast<int>(row.cells.size()) * 5; missing < layout.cellGroups * 5;
         ++missing)
        sheet.Integer(0);
}

// False when the sheet could not be written; the workbook's error says why.
bool WriteSheet(Database& database, int line, const QuantityOptions& quantities,
                const std::string& name, XlsxWriter& workbook) {
    EnsembleTable table(database, line, quantities);
    const auto columns = static_cast<int>(table.Headings().size());
    if (!workbook.StartSheet(name, table.RowCount() + 1, columns)) return false;
    SheetWriter sheet(workbook);
    sheet.StartRow(0);
    for (const std::string& heading : table.Headings())
        sheet.Text(heading);
    EnsembleRow row;
    for (int index = 0; index < table.RowCount() && !workbook.Failed(); ++index) {
        table.FillRow(index, row);
        WriteRow(row, table.Layout(), sheet);
    }
    return !workbook.Failed();
}

}  // namespace

std::string SafeSheetName(std::string_view wanted, std::span<const std::string> taken) {
    const std::u32string codes = SanitizedCodePoints(wanted);
    const std::u32string_view name =
        CutToUnits(codes.empty() ? kEmptyName : std::u32string_view(codes), kMaxSheetNameUnits);
    if (!IsTaken(name, taken)) return Utf8(name);
    for (int copy = 2;; ++copy) {
        const std::string suffix = " (" + std::to_string(copy) + ")";
        std::u32string numbered(
            CutToUnits(name, kMaxSheetNameUnits - static_cast<int>(suffix.size())));
        numbered.append(suffix.begin(), suffix.end());
        if (!IsTaken(numbered, taken)) return Utf8(numbered);
    }
}

bool ExportWorkbook(Database& database, const std::filesystem::path& file,
                    const QuantityOptions& quantities, std::string* error) {
    ExportTemporary temporary(file);
    if (!temporary.IsCreated()) return Fail(error, "cannot create a file beside " + file.string());
    // Rows are compressed into the file as they are written: a long line's sheet does not stay
    // in memory.
    XlsxWriter workbook(temporary.Descriptor(), NumberFormats());
    std::vector<std::string> sheetNames;
    for (int line = 0; line < database.LineCount(); ++line) {
        const std::string lineName = database.LineName(line);
        sheetNames.push_back(SafeSheetName(FileNameOfPath(lineName), sheetNames));
        if (!WriteSheet(database, line, quantities, sheetNames.back(), workbook))
            return Fail(error, "cannot write the sheet of " + lineName + ": " + workbook.Error());
    }
    if (!workbook.Finish())
        return Fail(error, "cannot write " + file.string() + ": " + workbook.Error());
    if (!temporary.Commit()) return Fail(error, "cannot replace " + file.string());
    return true;
}

}  // namespace fluvex
