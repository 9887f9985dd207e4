// fluvex-cli export: the desktop program's exports of every loaded line (or one) into a folder.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "app/cli/OpenedSurvey.h"
#include "export/TextExports.h"
#include "export/WorkbookExport.h"
#include "project/Database.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

enum class ExportKind { Csv, Xyz, Xyzi, Workbook };

std::optional<ExportKind> ParseKind(std::string_view word) {
    if (word == "csv") return ExportKind::Csv;
    if (word == "xyz") return ExportKind::Xyz;
    if (word == "xyzi") return ExportKind::Xyzi;
    if (word == "xlsx") return ExportKind::Workbook;
    return std::nullopt;
}

// One line's text export; the message says what went wrong, as the desktop program does.
bool ExportLine(ExportKind kind, int line, const fs::path& folder, std::ostream& err) {
    Database& database = AppDatabase();
    const std::string name = database.LineName(line);
    switch (kind) {
        case ExportKind::Csv: {
            const fs::path file = ExportFileName(folder, name, ".csv");
            if (ExportCsv(database, file, line)) return true;
            err << "Error: " << file.string() << "\nUnable to save file.\n";
            return false;
        }
        case ExportKind::Xyz: {
            const fs::path file = ExportFileName(folder, name, ".xyz");
            if (ExportXyz(database, line, file)) return true;
            err << "Error: " << file.string() << "\nUnable to save file.\n";
            return false;
        }
        case ExportKind::Xyzi: {
            const fs::path file = ExportFileName(folder, name, ".xyz");
            if (ExportXyzi(database, line, file)) return true;
            err << file.string() << ": Unable to open file for saving\n";
            return false;
        }
        case ExportKind::Workbook:
            break;
    }
    return false;
}

// Every line, or only `only`. CSV goes on after a failed line; XYZ and XYZI stop there.
bool ExportLines(ExportKind kind, std::optional<int> only, const fs::path& folder,
                 std::ostream& err) {
    const int lines = AppDatabase().LineCount();
    const int first = only.value_or(0);
    const int end = only ? *only + 1 : lines;
    BatchProgress progress(err, "export: lines");
    bool allWritten = true;
    for (int line = first; line < end; ++line) {
        const bool written = ExportLine(kind, line, folder, err);
        allWritten = allWritten && written;
        progress.Show(line - first + 1, end - first);
        if (!written && kind != ExportKind::Csv) break;
    }
    return allWritten;
}

// The workbook holds every line; it is named after the first file given.
bool ExportWorkbookOf(const std::string& firstFile, const fs::path& folder, std::ostream& err) {
    const fs::path file = folder / fs::path(firstFile).filename().replace_extension(".xlsx");
    std::string error;
    if (ExportWorkbook(AppDatabase(), file, &error)) return true;
    err << "Error: " << file.string() << ": Unable to save file: " << error << '\n';
    return false;
}

}  // namespace

int RunExportCommand(CommandContext& context) {
    ArgumentList& arguments = context.arguments;
    const std::optional<std::string> out = arguments.TakeValue("--out");
    const std::optional<int> only = arguments.TakeCount("--line");
    const std::optional<std::string> word = arguments.TakeFirstWord();
    const std::vector<std::string> files = arguments.TakePositional();
    const std::optional<ExportKind> kind = word ? ParseKind(*word) : std::nullopt;
    if (!arguments.Failed() && !kind) arguments.Fail("export needs csv, xyz, xyzi or xlsx");
    if (!arguments.Failed() && !out) arguments.Fail("export needs --out DIR");
    if (!arguments.Failed() && files.empty()) arguments.Fail("export needs FILE...");
    if (arguments.Failed()) return kExitUsage;
    const ExportKind exportKind = *kind;
    if (exportKind == ExportKind::Workbook && only) {
        arguments.Fail("the workbook holds every line: --line is for csv, xyz and xyzi");
        return kExitUsage;
    }

    std::error_code error;
    fs::create_directories(*out, error);
    if (!fs::is_directory(*out, error)) {
        context.err << "fluvex-cli: cannot use " << *out << " as the output folder\n";
        return kExitFailure;
    }
    const OpenedSurvey survey(files, context.err);
    if (only && *only >= AppDatabase().LineCount()) {
        context.err << "fluvex-cli: no line " << *only << ": " << AppDatabase().LineCount()
                    << " line(s) loaded\n";
        return kExitFailure;
    }
    const bool written = exportKind == ExportKind::Workbook
                             ? ExportWorkbookOf(files.front(), *out, context.err)
                             : ExportLines(exportKind, only, *out, context.err);
    return written ? survey.Status() : kExitFailure;
}

}  // namespace fluvex
