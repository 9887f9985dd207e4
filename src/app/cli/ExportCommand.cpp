// fluvex-cli export: the desktop program's exports of every loaded line (or one) into a folder.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "app/cli/OpenedSurvey.h"
#include "export/DxfExports.h"
#include "export/LineExports.h"
#include "export/TextExports.h"
#include "export/WorkbookExport.h"
#include "model/ColourTables.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

enum class DrawingKind { None, Plan, Vectors };

// What `export` writes: a file per line of one kind, the workbook of every line, or a drawing.
struct ExportChoice {
    bool workbook = false;
    LineExportKind lineKind = LineExportKind::Csv;
    DrawingKind drawing = DrawingKind::None;
};

std::optional<ExportChoice> ParseKind(std::string_view word) {
    if (word == "csv") return ExportChoice{false, LineExportKind::Csv};
    if (word == "xyz") return ExportChoice{false, LineExportKind::Xyz};
    if (word == "xyzi") return ExportChoice{false, LineExportKind::Xyzi};
    if (word == "xlsx") return ExportChoice{true};
    if (word == "dxf2d") return ExportChoice{false, {}, DrawingKind::Plan};
    if (word == "dxf3d") return ExportChoice{false, {}, DrawingKind::Vectors};
    return std::nullopt;
}

// Every line, or only `only`, with the progress on stderr.
bool ExportLines(LineExportKind kind, std::optional<int> only, const fs::path& folder,
                 std::ostream& err) {
    const LineRange lines{only.value_or(0), only ? *only + 1 : AppDatabase().LineCount()};
    BatchProgress progress(err, "export: lines");
    StderrPrompt prompt;
    return ExportLinesToFolder(AppDatabase(), kind, lines, folder, prompt,
                               [&progress](int done, int total) {
                                   progress.Show(done, total);
                                   return true;
                               });
}

// The workbook holds every line; it is named after the first file given.
bool ExportWorkbookOf(const std::string& firstFile, const fs::path& folder, std::ostream& err) {
    const fs::path file = folder / fs::path(firstFile).filename().replace_extension(".xlsx");
    std::string error;
    if (ExportWorkbook(AppDatabase(), file, &error)) return true;
    err << "Error: " << file.string() << ": Unable to save file: " << error << '\n';
    return false;
}

// A drawing of every line (or only `only`), named after the first line it draws.
bool ExportDrawing(DrawingKind kind, std::optional<int> only, const fs::path& folder,
                   std::ostream& err) {
    Database& database = AppDatabase();
    const LineRange lines{only.value_or(0), only ? *only + 1 : database.LineCount()};
    if (lines.first >= lines.end) {
        err << "fluvex-cli: no line to draw\n";
        return false;
    }
    const fs::path file = ExportFileName(folder, database.LineName(lines.first), ".dxf");
    const PlanOptions options = PlanOptions::From(AppSettings());
    BatchProgress progress(err, "export: lines");
    const auto tell = [&progress](int done, int total) {
        progress.Show(done, total);
        return true;
    };
    StderrPrompt prompt;
    return kind == DrawingKind::Plan
               ? ExportPlanDxf(database, options, Units(), CurrentVelocityTable(), lines, file,
                               prompt, tell)
               : ExportVectorDxf(database, options, Units(), lines, file, prompt, tell);
}

}  // namespace

int RunExportCommand(CommandContext& context) {
    ArgumentList& arguments = context.arguments;
    const std::optional<std::string> out = arguments.TakeValue("--out");
    const std::optional<int> only = arguments.TakeCount("--line");
    const std::optional<std::string> word = arguments.TakeFirstWord();
    const std::vector<std::string> files = arguments.TakePositional();
    const std::optional<ExportChoice> kind = word ? ParseKind(*word) : std::nullopt;
    if (!arguments.Failed() && !kind)
        arguments.Fail("export needs csv, xyz, xyzi, xlsx, dxf2d or dxf3d");
    if (!arguments.Failed() && !out) arguments.Fail("export needs --out DIR");
    if (!arguments.Failed() && files.empty()) arguments.Fail("export needs FILE...");
    if (arguments.Failed()) return kExitUsage;
    const ExportChoice choice = *kind;
    if (choice.workbook && only) {
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
    const bool written = choice.drawing != DrawingKind::None
                             ? ExportDrawing(choice.drawing, only, *out, context.err)
                         : choice.workbook ? ExportWorkbookOf(files.front(), *out, context.err)
                                           : ExportLines(choice.lineKind, only, *out, context.err);
    return written ? survey.Status() : kExitFailure;
}

}  // namespace fluvex
