#include "export/TextExports.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "export/EnsembleTable.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/BackgroundFileWriter.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

namespace fs = std::filesystem;

// The longest path the exports have ever produced, from a fixed buffer of 260.
constexpr std::size_t kMaxPathCharacters = 259;
// Written out whenever this much has gathered: large enough that a line costs few system calls.
constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
constexpr std::string_view kLineEnd = "\r\n";
// Of the target's name in the temporary file's, so that the latter stays within NAME_MAX.
constexpr std::size_t kTemporaryNameBytes = 200;

// Beside the target, so that the final rename stays on one file system.
std::string TemporaryTemplate(const fs::path& target) {
    const std::string name = target.filename().string().substr(0, kTemporaryNameBytes);
    return (target.parent_path() / (name + ".tmp-XXXXXX")).string();
}

// A file being exported: text gathered in a buffer and handed to a writing thread, which writes
// it to the temporary file while the next buffer is formatted; Commit puts the file in place of
// the target.
class ExportFile {
public:
    explicit ExportFile(const fs::path& target) : temporary_(target) {
        buffer_.reserve(kFlushBytes + kFlushBytes / 2);
        if (temporary_.IsCreated())
            writer_ = std::make_unique<BackgroundFileWriter>(temporary_.Descriptor());
    }

    bool IsOpen() const { return temporary_.IsCreated(); }

    void Text(std::string_view text) { buffer_.append(text); }
    void Fixed(double value, int decimals) { buffer_.append(numbers_.Fixed(value, decimals)); }
    void Integer(long long value) { buffer_.append(numbers_.Integer(value)); }
    // "%03d" of a count 0 ... 255.
    void ThreeDigits(unsigned value) {
        const char digits[] = {static_cast<char>('0' + value / 100 % 10),
                               static_cast<char>('0' + value / 10 % 10),
                               static_cast<char>('0' + value % 10)};
        buffer_.append(digits, sizeof digits);
    }
    void Repeat(std::string_view text, int times) {
        for (int i = 0; i < times; ++i)
            buffer_.append(text);
    }
    void EndLine() {
        buffer_.append(kLineEnd);
        if (buffer_.size() >= kFlushBytes && writer_) writer_->Write(buffer_);
    }

    bool Commit() {
        if (!writer_) return false;
        writer_->Write(buffer_);
        const bool written = writer_->Finish();
        writer_.reset();
        return written && temporary_.Commit();
    }

private:
    ExportTemporary temporary_;
    std::unique_ptr<BackgroundFileWriter> writer_;  // before the file is committed or removed
    std::string buffer_;
    NumberFormatter numbers_;
};

bool IsLoaded(const Database& database, int line) {
    return line >= 0 && line < database.LineCount();
}

// ---------------------------------------------------------------------------------------------
// CSV

void WriteCsvHeader(const EnsembleTable& table, ExportFile& out) {
    for (const std::string& heading : table.Headings()) {
        out.Text(heading);
        out.Text(",");
    }
    out.EndLine();
}

void FixedField(ExportFile& out, double value, int decimals) {
    out.Fixed(value, decimals);
    out.Text(",");
}

void WriteCsvPosition(const EnsembleRow& row, ExportFile& out) {
    if (!row.hasPosition) return out.Text(",,,,");
    FixedField(out, row.x, 2);
    FixedField(out, row.y, 2);
    if (!row.hasGeographic) return out.Text(",,");
    FixedField(out, row.latitude, 6);
    FixedField(out, row.longitude, 6);
}

void WriteCsvBottomTrack(const EnsembleRow& row, ExportFile& out) {
    if (!row.bottomTrackValid) return out.Text("0,0,0,0,");
    for (const double value : {row.bottomTrack.east, row.bottomTrack.north, row.bottomTrack.speed,
                               row.bottomTrack.direction})
        FixedField(out, value, 2);
}

void WriteCsvCells(const EnsembleRow& row, int cellGroups, ExportFile& out) {
    constexpr std::string_view kNoCell = "0,0,0,0,0,";
    for (const TableCell& cell : row.cells) {
        if (!cell.valid) {
            out.Text(kNoCell);
            continue;
        }
        for (const double value : {cell.east, cell.north, cell.up, cell.speed, cell.direction})
            FixedField(out, value, 2);
    }
    out.Repeat(kNoCell, cellGroups - static_cast<int>(row.cells.size()));
}

// Only for a ping with echo intensities, whatever the header says, as the files always were.
void WriteCsvAmplitudes(const EnsembleRow& row, int cellGroups, ExportFile& out) {
    if (!row.hasAmplitudes) return;
    for (const auto& beams : row.amplitudes) {
        for (const std::uint8_t amplitude : beams) {
            out.ThreeDigits(amplitude);
            out.Text(",");
        }
    }
    out.Repeat("0,0,0,0,", cellGroups - static_cast<int>(row.amplitudes.size()));
}

void WriteCsvRow(const EnsembleRow& row, const EnsembleTableLayout& layout, ExportFile& out) {
    out.Integer(row.index);
    out.Text(",");
    out.Text(row.time);
    out.Text(",");
    FixedField(out, row.heading, 1);
    FixedField(out, row.pitch, 2);
    FixedField(out, row.roll, 2);
    FixedField(out, row.depth, 2);
    WriteCsvPosition(row, out);
    if (layout.bottomTrack) WriteCsvBottomTrack(row, out);
    WriteCsvCells(row, layout.cellGroups, out);
    WriteCsvAmplitudes(row, layout.cellGroups, out);
    out.EndLine();
}

// ---------------------------------------------------------------------------------------------
// XYZ and XYZI

void WriteXyzPoint(double x, double y, double z, ExportFile& out) {
    out.Fixed(x, 2);
    out.Text(" ");
    out.Fixed(y, 2);
    out.Text(" ");
    out.Fixed(z, 2);
}

void WriteBeamCells(const Ensemble& ping, const QuantityOptions& quantities, ExportFile& out) {
    const int cells = std::min(LastCell(ping, quantities), CellCount(ping));
    for (int cell = 0; cell < cells; ++cell) {
        const auto intensities = ping.cellBlocks.CellEchoIntensities(cell);
        for (int beam = 0; beam < kBeamCount; ++beam) {
            double x = 0, y = 0, z = 0;
            if (!BeamCellPosition(ping, beam, cell, quantities, x, y, z)) continue;
            WriteXyzPoint(x, y, z, out);
            out.Text(" ");
            out.Integer(intensities[static_cast<std::size_t>(beam)]);
            out.EndLine();
        }
    }
}

}  // namespace

ExportTemporary::ExportTemporary(const fs::path& target)
    : target_(target), path_(TemporaryTemplate(target)) {
    descriptor_ = ::mkstemp(path_.data());
    created_ = descriptor_ >= 0;
    if (!created_) return;
    // mkstemp makes the file private; an export is an ordinary file, or keeps the permissions of
    // the file it replaces.
    struct stat existing {};
    const bool replaces = ::stat(target.c_str(), &existing) == 0;
    ::fchmod(descriptor_, replaces ? existing.st_mode & 07777 : 0644);
}

ExportTemporary::~ExportTemporary() {
    CloseDescriptor();
    if (created_) ::unlink(path_.c_str());
}

void ExportTemporary::CloseDescriptor() {
    if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

bool ExportTemporary::Commit() {
    if (!created_) return false;
    // A writer that closed the file itself leaves it to be opened again for the flush.
    if (descriptor_ < 0) descriptor_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    const bool durable = descriptor_ >= 0 && ::fsync(descriptor_) == 0;
    const bool closed = descriptor_ >= 0 && ::close(std::exchange(descriptor_, -1)) == 0;
    std::error_code error;
    if (durable && closed) fs::rename(path_, target_, error);
    if (!durable || !closed || error) return false;  // the destructor removes the file
    created_ = false;
    return true;
}

fs::path ExportFileName(const fs::path& folder, std::string_view lineName,
                        std::string_view extension) {
    std::string name = FileNameOfPath(lineName);
    name.erase(std::min(name.rfind('.'), name.size()));
    name += extension;
    std::string path = (folder / name).string();
    if (path.size() > kMaxPathCharacters) {
        // Never keep half of a UTF-8 character.
        std::size_t keep = kMaxPathCharacters;
        while (keep > 0 && (static_cast<unsigned char>(path[keep]) & 0xC0U) == 0x80U)
            --keep;
        path.resize(keep);
    }
    return path;
}

bool ExportCsv(Database& database, const fs::path& file, int line,
               const QuantityOptions& quantities) {
    if (line == -1) line = AppSettings().CurrentLine;
    if (!IsLoaded(database, line)) return false;
    ExportFile out(file);
    if (!out.IsOpen()) return false;
    EnsembleTable table(database, line, quantities, true);
    WriteCsvHeader(table, out);
    EnsembleRow row;
    for (int index = 0; index < table.RowCount(); ++index) {
        table.FillRow(index, row);
        WriteCsvRow(row, table.Layout(), out);
    }
    return out.Commit();
}

bool ExportXyz(Database& database, int line, const fs::path& file,
               const QuantityOptions& quantities) {
    if (!IsLoaded(database, line)) return false;
    ExportFile out(file);
    if (!out.IsOpen()) return false;
    for (const Ensemble& ping : database.Ensembles(line)) {
        double x = 0, y = 0;
        if (!ping.loaded || !GetPosition(ping, x, y)) continue;
        WriteXyzPoint(x, y, Depth(ping, quantities), out);
        out.EndLine();
    }
    return out.Commit();
}

bool ExportXyzi(Database& database, int line, const fs::path& file,
                const QuantityOptions& quantities) {
    if (!IsLoaded(database, line)) return false;
    ExportFile out(file);
    if (!out.IsOpen()) return false;
    for (const Ensemble& ping : database.Ensembles(line)) {
        if (ping.loaded) WriteBeamCells(ping, quantities, out);
    }
    return out.Commit();
}

}  // namespace fluvex
