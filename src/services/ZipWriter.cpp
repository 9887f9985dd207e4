#include "services/ZipWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fluvex {

namespace {

constexpr std::size_t kOutputBytes = std::size_t{256} << 10;
// zlib counts its input in 32-bit lengths.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
constexpr std::uint16_t kVersion = 45;  // 4.5: the 64-bit extensions
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kUtf8Name = 0x0800;
// 1980-01-01, the earliest the format holds: entries carry no time of their own.
constexpr std::uint16_t kDosDate = (0U << 9) | (1U << 5) | 1U;
constexpr std::uint16_t kZip64Tag = 0x0001;
constexpr std::uint32_t kNone32 = 0xFFFFFFFFU;
constexpr std::uint16_t kNone16 = 0xFFFFU;
constexpr std::size_t kLocalHeaderBytes = 30;
constexpr std::size_t kLocalExtraBytes = 20;  // the 64-bit sizes, always reserved

// Little-endian fields appended to a record.
class Record {
public:
    Record& U16(std::uint64_t value) { return Put(value, 2); }
    Record& U32(std::uint64_t value) { return Put(value, 4); }
    Record& U64(std::uint64_t value) { return Put(value, 8); }
    Record& Bytes(std::string_view bytes) {
        text_.append(bytes);
        return *this;
    }
    const std::string& Text() const { return text_; }

private:
    Record& Put(std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            text_ += static_cast<char>((value >> (8 * i)) & 0xFFU);
        return *this;
    }
    std::string text_;
};

std::uint16_t NameFlags(std::string_view name) {
    const bool ascii = std::ranges::all_of(name, [](char c) { return (c & 0x80) == 0; });
    return ascii ? 0 : kUtf8Name;
}

bool WriteAllAt(int descriptor, std::string_view bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        const ssize_t written =
            ::pwrite(descriptor, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

}  // namespace

ZipWriter::ZipWriter(int descriptor, int level, std::uint64_t large)
    : descriptor_(descriptor), large_(large), output_(kOutputBytes) {
    // Raw deflate (negative window bits): the zip headers carry the sizes and checksum.
    deflating_ =
        deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!deflating_) Fail("cannot start the compression");
    stream_.next_out = output_.data();
    stream_.avail_out = static_cast<uInt>(output_.size());
}

ZipWriter::~ZipWriter() {
    if (deflating_) deflateEnd(&stream_);
}

bool ZipWriter::Fail(const std::string& text) {
    if (error_.empty()) error_ = text;
    return false;
}

bool ZipWriter::Append(std::string_view bytes) {
    if (!WriteAllAt(descriptor_, bytes, offset_)) return Fail(std::strerror(errno));
    offset_ += bytes.size();
    return true;
}

bool ZipWriter::StartEntry(std::string_view name) {
    if (!error_.empty() || !FinishEntry()) return false;
    if (name.size() > kNone16) return Fail("entry name too long");
    entries_.push_back({std::string(name), offset_});
    inEntry_ = true;
    // Completed by FinishEntry; the extra field is there for sizes that need 64 bits.
    Record header;
    header.U32(0x04034b50).U16(kVersion).U16(NameFlags(name)).U16(kDeflated).U16(0).U16(kDosDate);
    header.U32(0).U32(0).U32(0).U16(name.size()).U16(kLocalExtraBytes).Bytes(name);
    header.U16(kZip64Tag).U16(16).U64(0).U64(0);
    return Append(header.Text());
}

bool ZipWriter::Write(std::string_view data) {
    if (!error_.empty()) return false;
    if (!inEntry_) return Fail("no entry to write to");
    Entry& entry = entries_.back();
    entry.size += data.size();
    while (!data.empty()) {
        const std::string_view chunk = data.substr(0, kMaxChunk);
        entry.crc = static_cast<std::uint32_t>(
            crc32_z(entry.crc, reinterpret_cast<const Bytef*>(chunk.data()), chunk.size()));
        if (!Deflate(chunk, Z_NO_FLUSH)) return false;
        data.remove_prefix(chunk.size());
    }
    return true;
}

bool ZipWriter::Deflate(std::string_view data, int flush) {
    if (!deflating_) return false;
    // zlib does not write through next_in.
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream_.avail_in = static_cast<uInt>(data.size());
    const auto writeOutput = [this] {
        const std::size_t used = output_.size() - stream_.avail_out;
        stream_.next_out = output_.data();
        stream_.avail_out = static_cast<uInt>(output_.size());
        return Append({reinterpret_cast<const char*>(output_.data()), used});
    };
    for (;;) {
        const int result = deflate(&stream_, flush);
        if (result == Z_STREAM_ERROR) return Fail("compression failed");
        const bool full = stream_.avail_out == 0;
        if (full && !writeOutput()) return false;
        if (flush == Z_FINISH) {
            if (result == Z_STREAM_END) return writeOutput();
        } else if (stream_.avail_in == 0 && !full) {
            return true;
        }
    }
}

bool ZipWriter::FinishEntry() {
    if (!inEntry_) return true;
    inEntry_ = false;
    Entry& entry = entries_.back();
    const std::uint64_t dataStart =
        entry.offset + kLocalHeaderBytes + entry.name.size() + kLocalExtraBytes;
    if (!Deflate({}, Z_FINISH)) return false;
    deflateReset(&stream_);
    entry.compressedSize = offset_ - dataStart;
    const bool wide = entry.size >= large_ || entry.compressedSize >= large_;
    Record sizes;
    sizes.U32(entry.crc);
    sizes.U32(wide ? kNone32 : entry.compressedSize).U32(wide ? kNone32 : entry.size);
    Record extra;
    extra.U64(entry.size).U64(entry.compressedSize);
    if (!WriteAllAt(descriptor_, sizes.Text(), entry.offset + 14) ||
        !WriteAllAt(descriptor_, extra.Text(), dataStart - 16))
        return Fail(std::strerror(errno));
    return true;
}

bool ZipWriter::Finish() {
    if (!error_.empty() || !FinishEntry()) return false;
    const std::uint64_t directoryStart = offset_;
    for (const Entry& entry : entries_) {
        // Only the fields that do not fit in 32 bits go to the extra field, in this order.
        Record wide;
        for (const std::uint64_t value : {entry.size, entry.compressedSize, entry.offset})
            if (value >= large_) wide.U64(value);
        const auto narrow = [this](std::uint64_t value) {
            return value >= large_ ? kNone32 : value;
        };
        Record record;
        record.U32(0x02014b50).U16(kVersion).U16(kVersion).U16(NameFlags(entry.name));
        record.U16(kDeflated).U16(0).U16(kDosDate).U32(entry.crc);
        record.U32(narrow(entry.compressedSize)).U32(narrow(entry.size));
        const std::size_t extraBytes = wide.Text().empty() ? 0 : 4 + wide.Text().size();
        record.U16(entry.name.size()).U16(extraBytes).U16(0).U16(0).U16(0).U32(0);
        record.U32(narrow(entry.offset)).Bytes(entry.name);
        if (extraBytes > 0) record.U16(kZip64Tag).U16(wide.Text().size()).Bytes(wide.Text());
        if (!Append(record.Text())) return false;
    }
    const std::uint64_t directoryBytes = offset_ - directoryStart;
    const std::uint64_t count = entries_.size();
    Record end;
    const bool wide = count >= kNone16 || directoryStart >= large_ || directoryBytes >= large_;
    if (wide) {
        const std::uint64_t record64 = offset_;
        end.U32(0x06064b50).U64(44).U16(kVersion).U16(kVersion).U32(0).U32(0);
        end.U64(count).U64(count).U64(directoryBytes).U64(directoryStart);
        end.U32(0x07064b50).U32(0).U64(record64).U32(1);
    }
    const std::uint64_t shortCount = std::min<std::uint64_t>(count, kNone16);
    end.U32(0x06054b50).U16(0).U16(0).U16(shortCount).U16(shortCount);
    end.U32(wide ? kNone32 : directoryBytes).U32(wide ? kNone32 : directoryStart).U16(0);
    return Append(end.Text());
}

}  // namespace fluvex
