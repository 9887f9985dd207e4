#pragma once

// The plain-text exports of a line: the CSV ensemble table, the XYZ file of ping positions and
// depths, and the XYZI file of echo intensity at every beam cell. Lines end in CR LF and numbers
// use '.', whatever the platform and locale, as the files have always been read elsewhere.
//
// Each file is written to a temporary file beside the target, which replaces the target only when
// all of it was written: an export that fails leaves no half-written file under the real name.

#include <filesystem>
#include <string>
#include <string_view>

#include "model/QuantityOptions.h"

namespace fluvex {

class Database;

// A temporary file beside an export's target (so that the final rename stays on one file
// system), created empty for the export to be written to. Commit puts it in place of the target;
// without Commit it is removed.
class ExportTemporary {
public:
    explicit ExportTemporary(const std::filesystem::path& target);
    ~ExportTemporary();
    ExportTemporary(const ExportTemporary&) = delete;
    ExportTemporary& operator=(const ExportTemporary&) = delete;

    bool IsCreated() const { return created_; }
    const std::string& Path() const { return path_; }
    // Open for writing until Commit or CloseDescriptor; -1 when not created.
    int Descriptor() const { return descriptor_; }
    // Closes the descriptor, for writers that open the file by its name.
    void CloseDescriptor();
    // Makes the content durable and renames the file over the target; false, with the temporary
    // file removed, when any step fails.
    bool Commit();

private:
    std::filesystem::path target_;
    std::string path_;
    int descriptor_ = -1;
    bool created_ = false;
};

// The file for a line's export in `folder`: the file-name part of the line's name (after its
// last '/' or '\') with everything from its last '.' replaced by `extension` (".csv", ".xyz"),
// or `extension` appended when it has no '.'. The whole path is cut to 259 characters.
std::filesystem::path ExportFileName(const std::filesystem::path& folder, std::string_view lineName,
                                     std::string_view extension);

// The ensemble table of a line (-1: the settings' CurrentLine) as CSV. False when the line is not
// loaded or the file cannot be created or written.
bool ExportCsv(Database& database, const std::filesystem::path& file, int line,
               const QuantityOptions& quantities);

// Grid X, Y and depth of every readable ping that has a position. False when the line is not
// loaded or the file cannot be created or written.
bool ExportXyz(Database& database, int line, const std::filesystem::path& file,
               const QuantityOptions& quantities);

// Grid X, Y, depth and echo intensity of every beam cell above the bottom cut-off of every
// readable ping that has a position. False when the line is not loaded or the file cannot be
// created or written; telling the user is the caller's part.
bool ExportXyzi(Database& database, int line, const std::filesystem::path& file,
                const QuantityOptions& quantities);

}  // namespace fluvex
