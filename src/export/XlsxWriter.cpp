#include "export/XlsxWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>
#include <utility>

#include "model/TextUtil.h"

namespace fluvex {

namespace {

// A sheet's text goes to the compressor whenever this much has gathered.
constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
constexpr std::string_view kXmlHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelations =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelations =
    "http://schemas.openxmlformats.org/package/2006/relationships";
// Number formats of a workbook's own start at this id; the ones below are built in.
constexpr int kFirstFormatId = 164;

bool IsXmlCharacter(char32_t code) {
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// How XML text must write `c`; empty when it can stand as it is.
std::string_view Reference(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\r':  // a reader would turn a bare one into '\n'
            return "&#13;";
        default:
            return {};
    }
}

std::string ColumnName(int column) {
    std::string name;
    for (int rest = column + 1; rest > 0; rest = (rest - 1) / 26)
        name.insert(name.begin(), static_cast<char>('A' + (rest - 1) % 26));
    return name;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// An optional '-', digits, and optionally a point and more digits: 17 digits at most, which a
// reader turns into the nearest double as from_chars does.
bool IsPlainDecimal(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view decimals =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const bool digits =
        std::ranges::all_of(whole, IsDigit) && std::ranges::all_of(decimals, IsDigit);
    return digits && !whole.empty() && (point == std::string_view::npos || !decimals.empty()) &&
           whole.size() + decimals.size() <= 17;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Appends `text` as XML character data or attribute value: & < > " escaped, carriage returns
// as references, and what XML 1.0 cannot carry (control characters, broken UTF-8, U+FFFE and
// U+FFFF) left out.
void AppendXmlText(std::string& out, std::string_view text) {
    while (!text.empty()) {
        const char c = text.front();
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') {  // plain ASCII
            const std::string_view reference = Reference(c);
            if (reference.empty()) {
                out += c;
            } else {
                out += reference;
            }
            text.remove_prefix(1);
            continue;
        }
        if (c >= 0) {  // another control character
            text.remove_prefix(1);
            continue;
        }
        const std::string_view before = text;
        const std::optional<char32_t> code = TakeUtf8CodePoint(text);
        if (code && IsXmlCharacter(*code))
            out.append(before.substr(0, before.size() - text.size()));
    }
}

std::string Escaped(std::string_view text) {
    std::string out;
    AppendXmlText(out, text);
    return out;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string ContentTypes(std::size_t sheets) {
    constexpr std::string_view kType = "application/vnd.openxmlformats-";
    std::string xml(kXmlHead);
    xml += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
    xml +=
        "<Default Extension=\"rels\" ContentType=\"" + std::string(kType) +
        "package.relationships+xml\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    const auto part = [&xml, kType](const std::string& name, std::string_view type) {
        xml += "<Override PartName=\"/" + name + "\" ContentType=\"" + std::string(kType) +
               std::string(type) + "\"/>";
    };
    part("xl/workbook.xml", "officedocument.spreadsheetml.sheet.main+xml");
    part("xl/styles.xml", "officedocument.spreadsheetml.styles+xml");
    for (std::size_t sheet = 1; sheet <= sheets; ++sheet)
        part("xl/worksheets/sheet" + std::to_string(sheet) + ".xml",
             "officedocument.spreadsheetml.worksheet+xml");
    part("docProps/core.xml", "package.core-properties+xml");
    part("docProps/app.xml", "officedocument.extended-properties+xml");
    return xml + "</Types>";
}

std::string PackageRelations() {
    const std::string type = "http://schemas.openxmlformats.org/";
    return std::string(kXmlHead) + "<Relationships xmlns=\"" + std::string(kPackageRelations) +
           "\"><Relationship Id=\"rId1\" Type=\"" + type +
           "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
           "<Relationship Id=\"rId2\" Type=\"" +
           type +
           "package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
           "<Relationship Id=\"rId3\" Type=\"" +
           type +
           "officeDocument/2006/relationships/extended-properties\" Target=\"docProps/app.xml\"/>"
           "</Relationships>";
}

std::string AppProperties(const std::vector<std::string>& sheetNames) {
    std::string xml(kXmlHead);
    xml +=
        "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "extended-properties\" xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/"
        "2006/docPropsVTypes\"><Application>Fluvex</Application><HeadingPairs>"
        "<vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr>"
        "</vt:variant><vt:variant><vt:i4>" +
        std::to_string(sheetNames.size()) + "</vt:i4></vt:variant></vt:vector></HeadingPairs>";
    xml += "<TitlesOfParts><vt:vector size=\"" + std::to_string(sheetNames.size()) +
           "\" baseType=\"lpstr\">";
    for (const std::string& name : sheetNames)
        xml += "<vt:lpstr>" + Escaped(name) + "</vt:lpstr>";
    return xml + "</vt:vector></TitlesOfParts></Properties>";
}

std::string CoreProperties() {
    const std::string now = UtcNow();
    return std::string(kXmlHead) +
           "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
           "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
           "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" +
           now +
           "</dcterms:created>"
           "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">" +
           now +
           "</dcterms:modified>"
           "</cp:coreProperties>";
}

std::string WorkbookPart(const std::vector<std::string>& sheetNames) {
    std::string xml(kXmlHead);
    xml += "<workbook xmlns=\"" + std::string(kMain) + "\" xmlns:r=\"" + std::string(kRelations) +
           "\"><bookViews><workbookView/></bookViews><sheets>";
    for (std::size_t sheet = 1; sheet <= sheetNames.size(); ++sheet) {
        const std::string number = std::to_string(sheet);
        xml += "<sheet name=\"" + Escaped(sheetNames[sheet - 1]) + "\" sheetId=\"" + number +
               "\" r:id=\"rId" + number + "\"/>";
    }
    return xml + "</sheets></workbook>";
}

std::string WorkbookRelations(std::size_t sheets) {
    std::string xml(kXmlHead);
    xml += "<Relationships xmlns=\"" + std::string(kPackageRelations) + "\">";
    const auto relation = [&xml](std::size_t id, std::string_view type, const std::string& target) {
        xml += "<Relationship Id=\"rId" + std::to_string(id) + "\" Type=\"" +
               std::string(kRelations) + "/" + std::string(type) + "\" Target=\"" + target + "\"/>";
    };
    for (std::size_t sheet = 1; sheet <= sheets; ++sheet)
        relation(sheet, "worksheet", "worksheets/sheet" + std::to_string(sheet) + ".xml");
    relation(sheets + 1, "styles", "styles.xml");
    return xml + "</Relationships>";
}

// Cell style 0 is the default; style k + 1 shows a number with format k.
std::string Styles(const std::vector<std::string>& formats) {
    std::string xml(kXmlHead);
    xml += "<styleSheet xmlns=\"" + std::string(kMain) + "\"><numFmts count=\"" +
           std::to_string(formats.size()) + "\">";
    for (std::size_t format = 0; format < formats.size(); ++format)
        xml += "<numFmt numFmtId=\"" + std::to_string(kFirstFormatId + format) +
               "\" formatCode=\"" + Escaped(formats[format]) + "\"/>";
    xml +=
        "</numFmts><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/>"
        "<family val=\"2\"/></font></fonts><fills count=\"2\"><fill><patternFill "
        "patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill>"
        "</fills><borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/>"
        "</border></borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" "
        "fillId=\"0\" borderId=\"0\"/></cellStyleXfs><cellXfs count=\"" +
        std::to_string(formats.size() + 1) +
        "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    for (std::size_t format = 0; format < formats.size(); ++format)
        xml += "<xf numFmtId=\"" + std::to_string(kFirstFormatId + format) +
               "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    return xml +
           "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
           "builtinId=\"0\"/></cellStyles></styleSheet>";
}

}  // namespace

XlsxWriter::XlsxWriter(int descriptor, std::vector<std::string> numberFormats,
                       std::uint64_t zipLarge)
    : zip_(descriptor, 1, zipLarge),
      compressor_([this](std::string_view xml) { return zip_.Write(xml); }),
      numberFormats_(std::move(numberFormats)) {
    buffer_.reserve(kFlushBytes + kFlushBytes / 4);
    for (std::size_t format = 0; format < numberFormats_.size(); ++format)
        styles_.push_back(" s=\"" + std::to_string(format + 1) + "\"><v>");
}

const std::string& XlsxWriter::Error() {
    // The compressor's thread is the only other writer of the zip's error, and it writes
    // nothing more once it has failed.
    compressor_.Finish();
    return error_.empty() ? zip_.Error() : error_;
}

bool XlsxWriter::Fail(const std::string& text) {
    if (error_.empty()) error_ = text;
    return false;
}

void XlsxWriter::Flush() {
    compressor_.Write(buffer_);
}

bool XlsxWriter::StartSheet(std::string_view name, int rows, int columns) {
    EndSheet();
    if (Failed()) return false;
    if (rows < 0 || rows > kMaxRows || columns < 0 || columns > kMaxColumns)
        return Fail("a sheet holds at most " + std::to_string(kMaxRows) + " rows and " +
                    std::to_string(kMaxColumns) + " columns, not " + std::to_string(rows) +
                    " and " + std::to_string(columns));
    sheetNames_.emplace_back(name);
    const std::string part = "xl/worksheets/sheet" + std::to_string(sheetNames_.size()) + ".xml";
    if (!zip_.StartEntry(part)) return Fail(zip_.Error());
    inSheet_ = true;
    rows_ = rows;
    columns_ = columns;
    row_ = -1;
    columnNames_.resize(static_cast<std::size_t>(columns));
    for (int column = 0; column < columns; ++column)
        columnNames_[static_cast<std::size_t>(column)] = ColumnName(column);
    std::string extent = "A1";
    if (rows > 0 && columns > 0) extent += ":" + columnNames_.back() + std::to_string(rows);
    buffer_ += kXmlHead;
    buffer_ += "<worksheet xmlns=\"" + std::string(kMain) + "\" xmlns:r=\"" +
               std::string(kRelations) + "\"><dimension ref=\"" + extent +
               "\"/><sheetViews><sheetView " +
               (sheetNames_.size() == 1 ? "tabSelected=\"1\" " : "") +
               "workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>"
               "<sheetData>";
    return true;
}

void XlsxWriter::StartRow(int row) {
    if (!inSheet_ || row <= row_ || row >= rows_) {
        Fail("row " + std::to_string(row + 1) + " is outside the sheet or out of order");
        return;
    }
    if (row_ >= 0) buffer_ += "</row>";
    if (buffer_.size() >= kFlushBytes) Flush();
    row_ = row;
    column_ = 0;
    nextColumn_ = -1;
    rowText_ = std::to_string(row + 1);
    buffer_ += "<row r=\"";
    buffer_ += rowText_;
    buffer_ += "\">";
}

bool XlsxWriter::StartCell() {
    if (row_ < 0 || column_ < 0 || column_ >= columns_)
        return Fail("a cell outside the sheet's " + std::to_string(columns_) + " columns");
    // A cell right after the one before needs no reference: readers count it on. Leaving the
    // references out makes a sheet about a quarter shorter to compress.
    if (column_ == nextColumn_) {
        buffer_ += "<c";
    } else {
        buffer_ += "<c r=\"";
        buffer_ += columnNames_[static_cast<std::size_t>(column_)];
        buffer_ += rowText_;
        buffer_ += '"';
    }
    nextColumn_ = ++column_;
    return true;
}

void XlsxWriter::Text(std::string_view text) {
    if (!StartCell()) return;
    const bool keepSpace = !text.empty() && (IsSpace(text.front()) || IsSpace(text.back()));
    buffer_ +=
        keepSpace ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">" : " t=\"inlineStr\"><is><t>";
    AppendXmlText(buffer_, text);
    buffer_ += "</t></is></c>";
}

bool XlsxWriter::StartNumber(int format) {
    if (format < 0 || format >= static_cast<int>(styles_.size()))
        return Fail("no number format " + std::to_string(format));
    if (!StartCell()) return false;
    buffer_ += styles_[static_cast<std::size_t>(format)];
    return true;
}

void XlsxWriter::Number(double value, int format) {
    if (!std::isfinite(value)) return Skip(1);
    if (!StartNumber(format)) return;
    char text[40];
    buffer_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
    buffer_ += "</v></c>";
}

void XlsxWriter::DecimalNumber(std::string_view text, int format) {
    if (!IsPlainDecimal(text)) {
        double value = std::numeric_limits<double>::quiet_NaN();
        std::from_chars(text.data(), text.data() + text.size(), value);
        return Number(value, format);
    }
    if (!StartNumber(format)) return;
    if (text.find('.') != std::string_view::npos) {
        text.remove_suffix(text.size() - 1 - text.find_last_not_of('0'));
        if (text.back() == '.') text.remove_suffix(1);
    }
    buffer_ += text;
    buffer_ += "</v></c>";
}

void XlsxWriter::EndSheet() {
    if (!inSheet_) return;
    inSheet_ = false;
    if (row_ >= 0) buffer_ += "</row>";
    buffer_ +=
        "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
        "header=\"0.3\" footer=\"0.3\"/></worksheet>";
    Flush();
    // The zip is the caller's again once the compressor is done.
    if (compressor_.Finish() && !zip_.FinishEntry()) Fail(zip_.Error());
}

bool XlsxWriter::WritePart(std::string_view name, std::string_view xml) {
    return (zip_.StartEntry(name) && zip_.Write(xml)) || Fail(zip_.Error());
}

bool XlsxWriter::Finish() {
    EndSheet();
    // A workbook needs a sheet to open.
    if (sheetNames_.empty() && StartSheet("Sheet1", 0, 0)) EndSheet();
    if (Failed()) return false;
    const std::size_t sheets = sheetNames_.size();
    return WritePart("xl/workbook.xml", WorkbookPart(sheetNames_)) &&
           WritePart("xl/_rels/workbook.xml.rels", WorkbookRelations(sheets)) &&
           WritePart("xl/styles.xml", Styles(numberFormats_)) &&
           WritePart("docProps/app.xml", AppProperties(sheetNames_)) &&
           WritePart("docProps/core.xml", CoreProperties()) &&
           WritePart("_rels/.rels", PackageRelations()) &&
           WritePart("[Content_Types].xml", ContentTypes(sheets)) &&
           (zip_.Finish() || Fail(zip_.Error()));
}

}  // namespace fluvex
