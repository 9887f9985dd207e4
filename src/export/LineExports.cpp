#include "export/LineExports.h"

#include <set>
#include <string>

#include "export/TextExports.h"
#include "project/Database.h"
#include "services/UserPrompt.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

std::string_view ExtensionOf(LineExportKind kind) {
    // XYZI files are point files as XYZ files are, and keep their extension.
    return kind == LineExportKind::Csv ? ".csv" : ".xyz";
}

// The line's file in the folder; when a line exported earlier in the same run took that name
// (two files of one name from different folders, or same.PD0 and same.000), NAME_2, NAME_3 ...
fs::path UnusedExportFile(const fs::path& folder, const std::string& lineName,
                          std::string_view extension, std::set<fs::path>& written) {
    const fs::path file = ExportFileName(folder, lineName, extension);
    fs::path candidate = file;
    // A path cut to the longest the system takes may lose the number: then give up at some point.
    constexpr int lastNumber = 1000;
    for (int n = 2; written.contains(candidate) && n <= lastNumber; ++n) {
        const std::string numbered =
            file.stem().string() + "_" + std::to_string(n) + std::string(extension);
        candidate = ExportFileName(folder, numbered, extension);
    }
    written.insert(candidate);
    return candidate;
}

bool ExportLine(Database& database, LineExportKind kind, int line, const fs::path& file,
                const QuantityOptions& quantities, UserPrompt& prompt) {
    switch (kind) {
        case LineExportKind::Csv:
            if (ExportCsv(database, file, line, quantities)) return true;
            prompt.ShowError(file.string() + "\nUnable to save file.", "Error");
            return false;
        case LineExportKind::Xyz:
            if (ExportXyz(database, line, file, quantities)) return true;
            prompt.ShowError(file.string() + "\nUnable to save file.", "Error");
            return false;
        case LineExportKind::Xyzi:
            return ExportLineXyzi(database, line, file, quantities, prompt);
    }
    return false;
}

}  // namespace

bool ExportLinesToFolder(Database& database, LineExportKind kind, LineRange lines,
                         const fs::path& folder, const QuantityOptions& quantities,
                         UserPrompt& prompt, const LineExportProgress& progress,
                         const LineExportNotice& notice) {
    const int total = lines.end - lines.first;
    bool allWritten = true;
    std::set<fs::path> files;
    for (int line = lines.first; line < lines.end; ++line) {
        const std::string name = database.LineName(line);
        const fs::path file = UnusedExportFile(folder, name, ExtensionOf(kind), files);
        if (notice && file != ExportFileName(folder, name, ExtensionOf(kind)))
            notice(database.LinePath(line).string() + " is written to " + file.string() +
                   ": an earlier line of this export has its name");
        const bool written = ExportLine(database, kind, line, file, quantities, prompt);
        allWritten = allWritten && written;
        if (!written && kind != LineExportKind::Csv) break;
        if (progress && !progress(line - lines.first + 1, total)) break;
    }
    return allWritten;
}

bool ExportLineXyzi(Database& database, int line, const fs::path& file,
                    const QuantityOptions& quantities, UserPrompt& prompt) {
    if (ExportXyzi(database, line, file, quantities)) return true;
    prompt.ShowError("Unable to open file for saving", file.string());
    return false;
}

}  // namespace fluvex
