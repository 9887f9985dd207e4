#include "views/ExportMenu.h"

#include <QFileDialog>
#include <QObject>

#include <string>

#include "export/DxfExports.h"
#include "export/RtfReport.h"
#include "export/TextExports.h"
#include "export/WorkbookExport.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "readers/ReadFeedback.h"
#include "services/CurrentColourTable.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "views/ProfilePicture.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

QString StartFolder() {
    return QString::fromStdString(Host().Folder(FolderKind::ProgramData).string());
}

std::optional<fs::path> Chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return fs::path(path.toStdString());
}

// A save dialog starting at `start` (a folder or a proposed file) that adds `suffix` to a name
// typed without it.
std::optional<fs::path> ChooseFileToSave(QWidget* parent, const QString& title,
                                         const QString& start, const QString& filter,
                                         const QString& suffix) {
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return Chosen(dialog.selectedFiles().constFirst());
}

}  // namespace

std::optional<fs::path> ChooseExportFolder(QWidget* parent) {
    return Chosen(QFileDialog::getExistingDirectory(
        parent, QObject::tr("Select folder for export..."), StartFolder()));
}

std::optional<fs::path> ChooseXyziFile(QWidget* parent) {
    const fs::path proposed =
        ExportFileName(Host().Folder(FolderKind::ProgramData), AppDatabase().LineName(-1), ".xyz");
    return ChooseFileToSave(parent, QObject::tr("Save Current Line"),
                            QString::fromStdString(proposed.string()),
                            QObject::tr("XYZ files(*.xyz)"), "xyz");
}

std::optional<fs::path> ChooseWorkbookFile(QWidget* parent) {
    // The file written is an .xlsx workbook, so it is offered under that name whatever the user
    // types: a workbook called .csv or .xls would not open as what its name says.
    return ChooseFileToSave(parent, QObject::tr("Save to Excel"), StartFolder(),
                            QObject::tr("Excel Files (*.xlsx)"), "xlsx");
}

std::optional<fs::path> ChooseRtfFile(QWidget* parent) {
    return ChooseFileToSave(parent, QObject::tr("Save RTF"), StartFolder(),
                            QObject::tr("Rich Text Files (*.rtf)"), "rtf");
}

std::optional<fs::path> ChooseDxfFile(QWidget* parent) {
    QFileDialog dialog(parent, QObject::tr("Save DXF..."), StartFolder(),
                       QObject::tr("DXF Files (*.dxf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("dxf");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return Chosen(dialog.selectedFiles().constFirst());
}

namespace {

// A drawing of every line, written on the worker thread with the options of the moment.
LongWork DrawingWork(const fs::path& file, bool vectors) {
    const PlanOptions options = PlanOptions::From(AppSettings());
    return {QObject::tr("Export"),
            [file](int) {
                return QObject::tr("Writing %1").arg(QString::fromStdString(file.string()));
            },
            [file, vectors, options](ReadFeedback& feedback, UserPrompt& prompt) {
                Database& database = AppDatabase();
                const LineRange lines{0, database.LineCount()};
                const auto progress = [&feedback](int done, int total) {
                    feedback.SetProgress(static_cast<double>(done) / total);
                    return !feedback.IsCanceled();
                };
                if (vectors)
                    ExportVectorDxf(database, options, CurrentQuantityOptions(), lines, file,
                                    prompt, progress);
                else
                    ExportPlanDxf(database, options, CurrentQuantityOptions(),
                                  CurrentVelocityTable(), lines, file, prompt, progress);
            }};
}

}  // namespace

LongWork PlanDxfWork(const fs::path& file) {
    return DrawingWork(file, false);
}

LongWork VectorDxfWork(const fs::path& file) {
    return DrawingWork(file, true);
}

LongWork LineExportWork(LineExportKind kind, const fs::path& folder) {
    return {
        QObject::tr("Export"), [](int) { return QObject::tr("Writing the files of every line"); },
        [kind, folder](ReadFeedback& feedback, UserPrompt& prompt) {
            Database& database = AppDatabase();
            ExportLinesToFolder(database, kind, LineRange{0, database.LineCount()}, folder,
                                CurrentQuantityOptions(), prompt, [&feedback](int done, int total) {
                                    feedback.SetProgress(static_cast<double>(done) / total);
                                    return !feedback.IsCanceled();
                                });
        }};
}

LongWork CurrentXyziWork(const fs::path& file) {
    return {QObject::tr("Export"),
            [file](int) {
                return QObject::tr("Writing %1").arg(QString::fromStdString(file.string()));
            },
            [file](ReadFeedback&, UserPrompt& prompt) {
                ExportLineXyzi(AppDatabase(), AppSettings().CurrentLine, file,
                               CurrentQuantityOptions(), prompt);
            }};
}

LongWork WorkbookWork(const fs::path& file) {
    return {QObject::tr("Export"),
            [file](int) {
                return QObject::tr("Writing %1").arg(QString::fromStdString(file.string()));
            },
            [file](ReadFeedback&, UserPrompt& prompt) {
                std::string error;
                if (!ExportWorkbook(AppDatabase(), file, CurrentQuantityOptions(), &error))
                    prompt.ShowError("Unable to save file\n" + file.string() + ": " + error,
                                     "Error");
            }};
}

LongWork RtfReportWork(const fs::path& file) {
    return {QObject::tr("Export"),
            [file](int) {
                return QObject::tr("Writing %1").arg(QString::fromStdString(file.string()));
            },
            [file](ReadFeedback& feedback, UserPrompt& prompt) {
                ProfileJpegPictures pictures(AppDatabase(), AppSettings().ShowColorBar);
                std::string error;
                const bool written = ExportRtfReport(
                    AppDatabase(), file, pictures,
                    [&feedback](int done, int total) {
                        feedback.SetProgress(static_cast<double>(done) / total);
                        return !feedback.IsCanceled();
                    },
                    &error);
                if (!written && !feedback.IsCanceled())
                    prompt.ShowError("Unable to save file\n" + file.string() + ": " + error,
                                     "Error");
            }};
}

}  // namespace fluvex
