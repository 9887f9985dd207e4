#pragma once

// A workbook in the .xlsx format, written sheet by sheet and row by row straight into its zip
// container: the memory it takes does not grow with a sheet. Cells hold inline text or numbers
// shown through a number format; empty cells are simply not written. A sheet is compressed on a
// thread of its own while its next rows are formatted.

#include <string>
#include <string_view>
#include <vector>

#include "services/BackgroundFileWriter.h"
#include "services/ZipWriter.h"

namespace fluvex {

class XlsxWriter {
public:
    // What one sheet holds at most.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;

    // `descriptor`: an empty file open for writing, which stays the caller's. `numberFormats`:
    // the format codes ("0", "0.000", ...) a number can be shown with, named by their index.
    XlsxWriter(int descriptor, std::vector<std::string> numberFormats,
               std::uint64_t zipLarge = ZipWriter::kLarge);

    // Starts a sheet (ending the one before) whose cells lie within its first `rows` rows and
    // `columns` columns: its extent comes before its rows in the file. `name` must be one the
    // format accepts (see SafeSheetName); it is escaped here.
    bool StartSheet(std::string_view name, int rows, int columns);
    // Rows in increasing order from 0; in a row, each call below fills the next column from 0.
    void StartRow(int row);
    void Text(std::string_view text);
    // Written as the shortest text that reads back as `value`. The format cannot hold a value
    // that is not finite: its cell stays empty.
    void Number(double value, int format);
    // A number given as decimal text ("-12.340", as printf's "%f" writes it), written as that
    // text without the zeros that end its decimals: it reads back as the double nearest the
    // text, without the cost of finding that double.
    void DecimalNumber(std::string_view text, int format);
    void Skip(int columns) { column_ += columns; }

    // Ends the last sheet and writes the workbook's other parts; false when anything failed
    // since the start, with Error() saying what.
    bool Finish();
    bool Failed() { return !error_.empty() || compressor_.Failed(); }
    // What failed first; waits for the compression under way.
    const std::string& Error();

private:
    bool StartCell();
    bool StartNumber(int format);
    void EndSheet();
    void Flush();
    bool Fail(const std::string& text);
    bool WritePart(std::string_view name, std::string_view xml);

    ZipWriter zip_;  // written to by the compressor's thread while a sheet is written
    BackgroundFileWriter compressor_;
    std::vector<std::string> numberFormats_;
    std::vector<std::string> styles_;  // the start of a number cell's tail, by number format
    std::vector<std::string> sheetNames_;
    std::string buffer_;
    std::vector<std::string> columnNames_;  // "A", "B", ... of the current sheet
    std::string rowText_;                   // the current row's number from 1
    int rows_ = 0;
    int columns_ = 0;
    int row_ = -1;
    int column_ = 0;
    int nextColumn_ = -1;  // the column after the last cell written in the row
    bool inSheet_ = false;
    std::string error_;
};

}  // namespace fluvex
