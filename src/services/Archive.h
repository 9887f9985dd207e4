#pragma once

// Zip archives (.zip, .rsqmb) read through libzip.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

struct zip;  // libzip's archive (zip_t)

namespace fluvex {

class Archive {
    // Lets only Open construct an archive while std::make_unique still can.
    struct PassKey {
        explicit PassKey() = default;
    };

public:
    struct ZipCloser {
        void operator()(zip* archive) const;
    };
    using ZipHandle = std::unique_ptr<zip, ZipCloser>;

    // Null when the file is not a readable archive; `error` (may be null) then says why.
    static std::unique_ptr<Archive> Open(const std::filesystem::path& path, std::string* error);

    Archive(PassKey, ZipHandle archive) : archive_(std::move(archive)) {}

    std::size_t EntryCount() const;
    // UTF-8 and otherwise as stored: it may hold '/' or '\' separators, a leading '/' or "..".
    // Empty when the entry does not exist.
    std::string EntryName(std::size_t entry) const;
    // Streams the entry's bytes into exactly `file` (created or truncated). False on any read or
    // write error; a partly written file is removed.
    bool ExtractTo(std::size_t entry, const std::filesystem::path& file) const;

private:
    ZipHandle archive_;
};

}  // namespace fluvex
