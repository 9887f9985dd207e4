#include "services/EditedFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <span>

#include "model/LittleEndianView.h"
#include "services/AtomicFile.h"

namespace fluvex {

namespace {

// Record framing: u16 payload length, u16 type, the payload, u16 trailer.
constexpr std::size_t kHeaderBytes = 4;
constexpr std::size_t kTrailerBytes = 2;

constexpr std::uint16_t kPlannedLine32 = 0x0E;
constexpr std::uint16_t kPlannedLine128 = 0x38;
constexpr std::uint16_t kNavigation = 0x70;

constexpr std::size_t kNavigationPayloadBytes = 128;

// 0x0E payload offsets.
constexpr std::size_t kLine32MaxPoints = 32;
constexpr std::size_t kLine32X = 4;
constexpr std::size_t kLine32Y = 132;
constexpr std::size_t kLine32Name = 260;

// 0x38 payload offsets.
constexpr std::size_t kLine128PayloadBytes = 4744;
constexpr std::size_t kLine128MaxPoints = 128;
constexpr std::size_t kLine128SideCount = 4;
constexpr std::size_t kLine128X = 8;
constexpr std::size_t kLine128Y = 1032;
constexpr std::size_t kLine128Third = 2056;
constexpr std::size_t kLine128Name = 3080;
constexpr std::size_t kLine128NameBytes = 64;
constexpr std::size_t kLine128SideA = 3144;
constexpr std::size_t kLine128SideB = 3944;

struct Record {
    std::uint16_t type = 0;
    std::size_t payloadOffset = 0;  // from the start of the file
    std::span<const std::uint8_t> payload;
};

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Calls `visit` with each record in file order until it returns false or the file no longer
// holds a whole record (header, payload and trailer).
template <typename Visit>
void ForEachRecord(std::span<const std::uint8_t> bytes, Visit&& visit) {
    const LittleEndianView file(bytes);
    std::size_t at = 0;
    while (file.Holds(at, kHeaderBytes)) {
        const std::size_t length = file.U16(at);
        const std::size_t payloadAt = at + kHeaderBytes;
        if (!file.Holds(payloadAt, length + kTrailerBytes)) return;
        if (!visit(Record{file.U16(at + 2), payloadAt, bytes.subspan(payloadAt, length)})) return;
        at = payloadAt + length + kTrailerBytes;
    }
}

std::array<double, 4> ReadFour(const LittleEndianView& payload, std::size_t at) {
    return {payload.F64(at), payload.F64(at + 8), payload.F64(at + 16), payload.F64(at + 24)};
}

EditedNavRecord DecodeNavigation(const LittleEndianView& payload) {
    return {.kind = payload.U32(0),
            .status = payload.U32(4),
            .timeOfDay = payload.F64(8),
            .x = payload.F64(16),
            .y = payload.F64(24),
            .depth1 = ReadFour(payload, 32),
            .depth2 = ReadFour(payload, 64),
            .heading = payload.F64(96),
            .pitch = payload.F64(104),
            .roll = payload.F64(112),
            .fourth = payload.F64(120)};
}

double MeanOfNonZero(const std::array<double, 4>& values) {
    double sum = 0;
    int count = 0;
    for (const double value : values) {
        if (value == 0) continue;
        sum += value;
        ++count;
    }
    return count == 0 ? 0 : sum / count;
}

// Names are ISO 8859-1, whose code points are the first 256 of Unicode.
std::string Latin1ToUtf8(std::span<const std::uint8_t> text) {
    std::string utf8;
    utf8.reserve(text.size() * 2);
    for (const std::uint8_t byte : text) {
        if (byte < 0x80) {
            utf8 += static_cast<char>(byte);
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

// The name stored in `field`: up to its first zero byte, at most the bytes a line name keeps.
std::string ReadName(std::span<const std::uint8_t> field) {
    const auto kept = field.first(std::min(field.size(), PlannedLine::kMaxNameBytes));
    const auto end = std::ranges::find(kept, std::uint8_t{0});
    return Latin1ToUtf8(kept.first(static_cast<std::size_t>(end - kept.begin())));
}

std::optional<PlannedLine> DecodeLine32(const LittleEndianView& payload) {
    if (payload.Size() < kLine32Name) return std::nullopt;
    PlannedLine line;
    const std::size_t count = std::min<std::size_t>(payload.U16(0), kLine32MaxPoints);
    for (std::size_t i = 0; i < count; ++i)
        line.AppendMeasured(payload.I32(kLine32X + 4 * i), payload.I32(kLine32Y + 4 * i));
    line.name = ReadName(payload.Bytes().subspan(kLine32Name));
    return line;
}

std::vector<double> ReadSides(const LittleEndianView& payload, std::size_t at, std::size_t count) {
    std::vector<double> sides(count);
    for (std::size_t i = 0; i < count; ++i)
        sides[i] = payload.F64(at + 8 * i);
    return sides;
}

std::optional<PlannedLine> DecodeLine128(const LittleEndianView& payload) {
    if (payload.Size() < kLine128PayloadBytes) return std::nullopt;
    PlannedLine line;
    const std::size_t count = std::min<std::size_t>(payload.U16(0), kLine128MaxPoints);
    for (std::size_t i = 0; i < count; ++i) {
        line.AppendMeasured(std::round(payload.F64(kLine128X + 8 * i)),
                            std::round(payload.F64(kLine128Y + 8 * i)),
                            std::round(payload.F64(kLine128Third + 8 * i)));
    }
    line.name = ReadName(payload.Bytes().subspan(kLine128Name, kLine128NameBytes));
    // The side count's own limit (100) is above what the line keeps.
    const std::size_t sides =
        std::min<std::size_t>(payload.U16(kLine128SideCount), PlannedLine::kMaxSides);
    line.sideA = ReadSides(payload, kLine128SideA, sides);
    line.sideB = ReadSides(payload, kLine128SideB, sides);
    return line;
}

// A planned line from a record of either planned-line type; nothing for other types and for
// payloads too short for their type.
std::optional<PlannedLine> DecodePlannedLine(const Record& record) {
    const LittleEndianView payload(record.payload);
    switch (record.type) {
        case kPlannedLine32:
            return DecodeLine32(payload);
        case kPlannedLine128:
            return DecodeLine128(payload);
        default:
            return std::nullopt;
    }
}

}  // namespace

double EditedNavRecord::ReducedDepth(const std::array<double, 4>& values) const {
    switch (kind) {
        case 5:
            return MeanOfNonZero(values);
        case 9:
            // A zero first value marks the others as a partial set.
            return values[0] != 0 ? (values[0] + values[1] + values[2] + values[3]) / 4
                                  : MeanOfNonZero(values);
        default:
            return values[0];
    }
}

NavigationFix EditedNavRecord::ToFix() const {
    return {.timeOfDay = timeOfDay,
            .x = x,
            .y = y,
            .depth1 = Depth1(),
            .depth2 = Depth2(),
            .heading = heading,
            .pitch = pitch,
            .roll = roll,
            .vertical = fourth};
}

int EditedFile::Open(const std::filesystem::path& path) {
    Close();
    if (ReadWholeFile(path, bytes_)) IndexRecords();
    // Nothing to read from: keep no bytes either.
    if (navigationPayloads_.empty()) bytes_ = {};
    return RecordCount();
}

void EditedFile::IndexRecords() {
    bool plannedLineFound = false;
    ForEachRecord(AsBytes(bytes_), [this, &plannedLineFound](const Record& record) {
        if (record.type == kNavigation && record.payload.size() >= kNavigationPayloadBytes)
            navigationPayloads_.push_back(record.payloadOffset);
        if (!plannedLineFound) {
            std::optional<PlannedLine> decoded = DecodePlannedLine(record);
            plannedLineFound = decoded.has_value();
            if (decoded) plannedLine_ = std::move(*decoded);
        }
        // Record indexes are ints for the merge.
        return navigationPayloads_.size() < static_cast<std::size_t>(INT_MAX);
    });
}

bool EditedFile::ReadRecord(int index, EditedNavRecord& record) const {
    if (index < 0 || index >= RecordCount()) return false;
    const std::size_t at = navigationPayloads_[static_cast<std::size_t>(index)];
    record =
        DecodeNavigation(LittleEndianView(AsBytes(bytes_).subspan(at, kNavigationPayloadBytes)));
    return true;
}

void EditedFile::Close() {
    bytes_ = {};
    navigationPayloads_ = {};
    plannedLine_ = {};
}

PlannedLine ReadEditedPlannedLine(const std::filesystem::path& path) {
    EditedFile file;
    file.Open(path);
    return file.PlannedLineRecord();
}

}  // namespace fluvex
