// fluvex-cli export: the desktop program's exports of every loaded line (or one) into a folder.

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "app/cli/OpenedSurvey.h"
#include "app/cli/ReportPictures.h"
#include "export/ContourRun.h"
#include "export/DxfExports.h"
#include "export/LineExports.h"
#include "export/RtfReport.h"
#include "export/TextExports.h"
#include "export/WorkbookExport.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/CurrentColourTable.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

// What `export` writes: a file per line of one kind, the workbook or the report of every line,
// or a drawing.
enum class ExportTarget { Lines, Workbook, RtfReport, PlanDrawing, VectorDrawing, Contours };

struct ExportChoice {
    ExportTarget target = ExportTarget::Lines;
    LineExportKind lineKind = LineExportKind::Csv;
    bool verticalProfiles = false;  // contours
};

std::optional<ExportChoice> ParseKind(std::string_view word) {
    if (word == "csv") return ExportChoice{ExportTarget::Lines, LineExportKind::Csv};
    if (word == "xyz") return ExportChoice{ExportTarget::Lines, LineExportKind::Xyz};
    if (word == "xyzi") return ExportChoice{ExportTarget::Lines, LineExportKind::Xyzi};
    if (word == "xlsx") return ExportChoice{ExportTarget::Workbook};
    if (word == "rtf") return ExportChoice{ExportTarget::RtfReport};
    if (word == "dxf2d") return ExportChoice{ExportTarget::PlanDrawing};
    if (word == "dxf3d") return ExportChoice{ExportTarget::VectorDrawing};
    if (word == "contours") return ExportChoice{ExportTarget::Contours};
    return std::nullopt;
}

// Every line, or only `only`, with the progress on stderr.
bool ExportLines(LineExportKind kind, std::optional<int> only, const fs::path& folder,
                 std::ostream& err) {
    const LineRange lines{only.value_or(0), only ? *only + 1 : AppDatabase().LineCount()};
    BatchProgress progress(err, "export: lines");
    StderrPrompt prompt;
    return ExportLinesToFolder(
        AppDatabase(), kind, lines, folder, CurrentQuantityOptions(), prompt,
        [&progress](int done, int total) {
            progress.Show(done, total);
            return true;
        },
        [&err](const std::string& text) { err << "fluvex-cli: " << text << '\n'; });
}

// The workbook and the report hold every line; they are named after the first file given.
fs::path WholeSurveyFile(const std::string& firstFile, const fs::path& folder,
                         const char* extension) {
    return folder / fs::path(firstFile).filename().replace_extension(extension);
}

bool Saved(bool written, const fs::path& file, const std::string& error, std::ostream& err) {
    if (!written) err << "Error: " << file.string() << ": Unable to save file: " << error << '\n';
    return written;
}

bool ExportWorkbookOf(const std::string& firstFile, const fs::path& folder, std::ostream& err) {
    const fs::path file = WholeSurveyFile(firstFile, folder, ".xlsx");
    std::string error;
    return Saved(ExportWorkbook(AppDatabase(), file, CurrentQuantityOptions(), &error), file, error,
                 err);
}

bool ExportRtfReportOf(const std::string& firstFile, const fs::path& folder, std::ostream& err) {
    const fs::path file = WholeSurveyFile(firstFile, folder, ".rtf");
    std::string error;
    const std::unique_ptr<ReportPictures> pictures = OpenReportPictures(error);
    if (!pictures) return Saved(false, file, error, err);
    BatchProgress progress(err, "export: lines");
    const bool written = ExportRtfReport(
        AppDatabase(), file, *pictures,
        [&progress](int done, int total) {
            progress.Show(done, total);
            return true;
        },
        &error);
    return Saved(written, file, error, err);
}

// A drawing of every line (or only `only`), named after the first line it draws.
bool ExportDrawing(ExportTarget drawing, std::optional<int> only, const fs::path& folder,
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
    return drawing == ExportTarget::PlanDrawing
               ? ExportPlanDxf(database, options, CurrentQuantityOptions(), CurrentVelocityTable(),
                               lines, file, prompt, tell)
               : ExportVectorDxf(database, options, CurrentQuantityOptions(), lines, file, prompt,
                                 tell);
}

// The contour drawings, with the run's status texts on stderr.
bool ExportContours(bool vertical, std::optional<int> only, const fs::path& folder,
                    std::ostream& err) {
    const ContourOptions options =
        ContourOptionsFrom(AppSettings(), vertical, only.value_or(-1), CurrentVelocityTable());
    std::error_code error;
    const fs::path work = Host().Folder(FolderKind::Scratch);
    fs::create_directories(work, error);
    const ContourProgress progress{
        [&err](const std::string& text) { err << "fluvex-cli: " << text << '\n'; }, {}};
    std::vector<fs::path> written;
    const int result = RunContours(AppDatabase(), options, CurrentQuantityOptions(), work, folder,
                                   progress, &written);
    for (const fs::path& file : written)
        err << "fluvex-cli: wrote " << file.string() << '\n';
    return result == 0;
}

bool Export(const ExportChoice& choice, const std::string& firstFile, std::optional<int> only,
            const fs::path& folder, std::ostream& err) {
    switch (choice.target) {
        case ExportTarget::Lines:
            return ExportLines(choice.lineKind, only, folder, err);
        case ExportTarget::Workbook:
            return ExportWorkbookOf(firstFile, folder, err);
        case ExportTarget::RtfReport:
            return ExportRtfReportOf(firstFile, folder, err);
        case ExportTarget::Contours:
            return ExportContours(choice.verticalProfiles, only, folder, err);
        case ExportTarget::PlanDrawing:
        case ExportTarget::VectorDrawing:
            break;
    }
    return ExportDrawing(choice.target, only, folder, err);
}

}  // namespace

int RunExportCommand(CommandContext& context) {
    ArgumentList& arguments = context.arguments;
    const std::optional<std::string> out = arguments.TakeValue("--out");
    const std::optional<int> only = arguments.TakeCount("--line");
    const std::optional<std::string> mode = arguments.TakeValue("--mode");
    const std::optional<std::string> word = arguments.TakeFirstWord();
    const std::vector<std::string> files = arguments.TakePositional();
    const std::optional<ExportChoice> kind = word ? ParseKind(*word) : std::nullopt;
    if (!arguments.Failed() && !kind)
        arguments.Fail("export needs csv, xyz, xyzi, xlsx, rtf, dxf2d, dxf3d or contours");
    if (!arguments.Failed() && !out) arguments.Fail("export needs --out DIR");
    if (!arguments.Failed() && files.empty()) arguments.Fail("export needs FILE...");
    if (arguments.Failed()) return kExitUsage;
    ExportChoice choice = *kind;
    if ((choice.target == ExportTarget::Contours) != mode.has_value() ||
        (mode && *mode != "horizontal" && *mode != "vertical")) {
        arguments.Fail("--mode horizontal|vertical goes with export contours, and only there");
        return kExitUsage;
    }
    choice.verticalProfiles = mode == "vertical";
    if ((choice.target == ExportTarget::Workbook || choice.target == ExportTarget::RtfReport) &&
        only) {
        arguments.Fail(
            "the workbook and the report hold every line: --line is for csv, xyz and "
            "xyzi");
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
    const bool written = Export(choice, files.front(), only, *out, context.err);
    return written ? survey.Status() : kExitFailure;
}

}  // namespace fluvex
