#pragma once

// The per-line exports of the File menu and the command line, over a range of lines into one
// folder: each line's file is named after the line, failures are told the way the program has
// always told them, and the CSV export goes on past a failed line while XYZ and XYZI stop there.

#include <filesystem>
#include <functional>
#include <string>

#include "model/QuantityOptions.h"

namespace fluvex {

class Database;
class UserPrompt;

enum class LineExportKind { Csv, Xyz, Xyzi };

// Lines first..end-1 of the collection.
struct LineRange {
    int first = 0;
    int end = 0;
};

// Told after each line with the lines done and the lines to do; returning false stops the
// export before the next line.
using LineExportProgress = std::function<bool(int done, int total)>;
// Told, in words, of a line written under another name than its own.
using LineExportNotice = std::function<void(const std::string& text)>;

// Writes the lines' files into `folder`; true when every line was written. Each failure is shown
// through `prompt` with the file's name. No file written by this export is written over: a line
// whose name an earlier line took gets NAME_2 (NAME_3 ...), and `notice` is told.
bool ExportLinesToFolder(Database& database, LineExportKind kind, LineRange lines,
                         const std::filesystem::path& folder, const QuantityOptions& quantities,
                         UserPrompt& prompt, const LineExportProgress& progress = {},
                         const LineExportNotice& notice = {});

// Writes one line's XYZI file under a name the user chose; a failure is shown through `prompt`.
bool ExportLineXyzi(Database& database, int line, const std::filesystem::path& file,
                    const QuantityOptions& quantities, UserPrompt& prompt);

}  // namespace fluvex
