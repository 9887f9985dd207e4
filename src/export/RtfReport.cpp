#include "export/RtfReport.h"

#include <unistd.h>

#include <cstddef>
#include <string_view>

#include "export/RtfWriter.h"
#include "export/TextExports.h"
#include "project/Database.h"
#include "services/AtomicFile.h"

namespace fluvex {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// Whole fragments or nothing: a write the disk refuses halfway is cut off again, so that the end
// written after it still closes a well-formed document.
bool AppendWhole(int descriptor, std::string_view bytes) {
    const off_t before = ::lseek(descriptor, 0, SEEK_CUR);
    if (WriteAllToDescriptor(descriptor, bytes)) return true;
    if (before >= 0 && ::ftruncate(descriptor, before) == 0) ::lseek(descriptor, before, SEEK_SET);
    return false;
}

// One line's page: its heading, then its picture. Empty when written, else why not.
std::string WriteLine(RtfWriter& writer, int line, const std::string& heading,
                      ReportPictures& pictures) {
    if (!writer.AddHeading(heading)) return "the heading of " + heading + " could not be written";
    const std::vector<unsigned char> jpeg =
        pictures.LineJpeg(line, kReportPictureWidth, kReportPictureHeight);
    if (jpeg.empty()) return "the picture of " + heading + " could not be drawn";
    if (!writer.AddPicture(jpeg, kReportPictureWidth, kReportPictureHeight))
        return "the picture of " + heading + " could not be written";
    return {};
}

}  // namespace

RtfReportResult WriteRtfReport(RtfWriter& writer, std::span<const std::string> headings,
                               ReportPictures& pictures, const LineExportProgress& progress) {
    RtfReportResult result;
    const int total = static_cast<int>(headings.size());
    for (int line = 0; line < total; ++line) {
        if (line > 0 && !writer.AddPageBreak()) {
            result.failure = "a page break could not be written";
            break;
        }
        result.failure =
            WriteLine(writer, line, headings[static_cast<std::size_t>(line)], pictures);
        if (!result.failure.empty()) break;
        ++result.linesWritten;
        if (progress && !progress(line + 1, total)) {
            result.cancelled = line + 1 < total;
            if (result.cancelled) break;
        }
    }
    result.ended = writer.Finish();
    return result;
}

bool ExportRtfReport(Database& database, const std::filesystem::path& file,
                     ReportPictures& pictures, const LineExportProgress& progress,
                     std::string* error) {
    ExportTemporary temporary(file);
    if (!temporary.IsCreated()) return Fail(error, "cannot create a file beside " + file.string());
    RtfWriter writer([&temporary](std::string_view bytes) {
        return AppendWhole(temporary.Descriptor(), bytes);
    });
    if (!writer.Start()) return Fail(error, "cannot write " + file.string());

    std::vector<std::string> headings;
    for (int line = 0; line < database.LineCount(); ++line)
        headings.push_back(database.LineName(line));
    const RtfReportResult result = WriteRtfReport(writer, headings, pictures, progress);
    if (result.cancelled) return Fail(error, "cancelled");
    if (!result.ended || !temporary.Commit()) return Fail(error, "cannot write " + file.string());
    if (!result.failure.empty())
        return Fail(error, result.failure + ": the report holds the " +
                               std::to_string(result.linesWritten) + " line(s) before it");
    return true;
}

}  // namespace fluvex
