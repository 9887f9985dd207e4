#pragma once

// The RTF report of every loaded line: a page per line with the line's name as a bold heading
// and the picture of its velocity section, as a word processor opens it.
//
// The pictures come from whoever can draw the section (the desktop program's painter); the core
// only asks for each line's JPEG, so that it stays free of any drawing library.

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "export/LineExports.h"

namespace fluvex {

class Database;
class RtfWriter;

// The size every line's section is laid out and drawn for.
inline constexpr int kReportPictureWidth = 650;
inline constexpr int kReportPictureHeight = 400;

class ReportPictures {
public:
    virtual ~ReportPictures() = default;
    // The JPEG of the line's section drawn `width` x `height` pixels; empty when it cannot be
    // drawn. Each picture is its own: nothing is shared between two reports written at once.
    virtual std::vector<unsigned char> LineJpeg(int line, int width, int height) = 0;
};

struct RtfReportResult {
    int linesWritten = 0;  // with heading and picture
    bool ended = false;    // the end of the document was written
    bool cancelled = false;
    std::string failure;  // why the report stopped before its last line
};

// Writes the report's lines after its header: per line the heading `headings[i]` and the
// picture of line i, a page break between two lines, then the end. Stops at the first line whose
// heading or picture cannot be written, or when `progress` (told after each line) says so; the
// end is written in every case, so that what was written reads as a whole document.
RtfReportResult WriteRtfReport(RtfWriter& writer, std::span<const std::string> headings,
                               ReportPictures& pictures, const LineExportProgress& progress = {});

// The report of every loaded line in `file`, written to a temporary file beside it and renamed
// into place. A report cut short by a line that could not be written is kept (it holds the lines
// before it) but false is returned with `error` saying which line and why; a cancelled report or
// one that could not be written leaves `file` as it was.
bool ExportRtfReport(Database& database, const std::filesystem::path& file,
                     ReportPictures& pictures, const LineExportProgress& progress = {},
                     std::string* error = nullptr);

}  // namespace fluvex
