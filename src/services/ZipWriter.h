#pragma once

// Writes a zip archive into an open file, one entry after another, each deflated as it is
// written: an entry of any length passes through a fixed amount of memory. Entries, sizes and
// offsets past the 32-bit fields take their 64-bit form, so an entry may exceed 4 GB.
//
// The local header of each entry is completed in place once the entry is written (the file must
// be seekable), so the archive needs no data descriptors, which some readers handle badly.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fluvex {

class ZipWriter {
public:
    // Sizes and offsets of 2^32 - 1 bytes and more take their 64-bit form. Tests lower it, to
    // have that form read back without writing 4 GB.
    static constexpr std::uint64_t kLarge = 0xFFFFFFFFU;

    // `descriptor`: an empty file open for writing, which stays open and owned by the caller.
    // `level`: zlib's deflate level, 1 (fastest) to 9.
    explicit ZipWriter(int descriptor, int level = 1, std::uint64_t large = kLarge);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Each call returns false once anything has failed; Error() then says what. Starting an
    // entry finishes the one before.
    bool StartEntry(std::string_view name);
    bool Write(std::string_view data);
    // Ends the entry being written, if any.
    bool FinishEntry();
    // Finishes the last entry and writes the central directory.
    bool Finish();

    const std::string& Error() const { return error_; }

private:
    struct Entry {
        std::string name;
        std::uint64_t offset = 0;  // of its local header
        std::uint64_t size = 0;
        std::uint64_t compressedSize = 0;
        std::uint32_t crc = 0;
    };

    bool Deflate(std::string_view data, int flush);
    bool Append(std::string_view bytes);
    bool Fail(const std::string& text);

    int descriptor_;
    std::uint64_t large_;
    z_stream stream_{};
    bool deflating_ = false;  // stream_ initialised
    bool inEntry_ = false;
    std::vector<Entry> entries_;
    std::uint64_t offset_ = 0;  // bytes written to the file
    std::vector<unsigned char> output_;
    std::string error_;
};

}  // namespace fluvex
