#include "export/LineExports.h"

#include "export/TextExports.h"
#include "project/Database.h"
#include "services/UserPrompt.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

bool ExportLine(Database& database, LineExportKind kind, int line, const fs::path& folder,
                UserPrompt& prompt) {
    const std::string name = database.LineName(line);
    switch (kind) {
        case LineExportKind::Csv: {
            const fs::path file = ExportFileName(folder, name, ".csv");
            if (ExportCsv(database, file, line)) return true;
            prompt.ShowError(file.string() + "\nUnable to save file.", "Error");
            return false;
        }
        case LineExportKind::Xyz: {
            const fs::path file = ExportFileName(folder, name, ".xyz");
            if (ExportXyz(database, line, file)) return true;
            prompt.ShowError(file.string() + "\nUnable to save file.", "Error");
            return false;
        }
        case LineExportKind::Xyzi:
            return ExportLineXyzi(database, line, ExportFileName(folder, name, ".xyz"), prompt);
    }
    return false;
}

}  // namespace

bool ExportLinesToFolder(Database& database, LineExportKind kind, LineRange lines,
                         const fs::path& folder, UserPrompt& prompt,
                         const LineExportProgress& progress) {
    const int total = lines.end - lines.first;
    bool allWritten = true;
    for (int line = lines.first; line < lines.end; ++line) {
        const bool written = ExportLine(database, kind, line, folder, prompt);
        allWritten = allWritten && written;
        if (!written && kind != LineExportKind::Csv) break;
        if (progress && !progress(line - lines.first + 1, total)) break;
    }
    return allWritten;
}

bool ExportLineXyzi(Database& database, int line, const fs::path& file, UserPrompt& prompt) {
    if (ExportXyzi(database, line, file)) return true;
    prompt.ShowError("Unable to open file for saving", file.string());
    return false;
}

}  // namespace fluvex
