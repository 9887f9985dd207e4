#pragma once

// Zip archives (.zip, .rsqmb) read through libzip.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
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
    // Why the entry is not taken out, or nothing when it may be: an entry that would unpack to
    // more than kMaxEntryBytes, or to more than kMaxExpansion times its stored size, is refused
    // (a small archive must not fill the disk).
    std::optional<std::string> Refusal(std::size_t entry) const;
    static constexpr std::uint64_t kMaxEntryBytes = std::uint64_t{4} << 30;
    // Instrument data packs a few to twenty times smaller (bad-value cells pack best); deflate
    // cannot pack more than about 1030 times, so a limit near that would catch only perfect bombs.
    static constexpr std::uint64_t kMaxExpansion = 200;

    // Streams the entry's bytes into exactly `file` (created or truncated), never more than the
    // size the archive states for it. False on any read or write error or a refused entry; a
    // partly written file is removed.
    bool ExtractTo(std::size_t entry, const std::filesystem::path& file) const;

private:
    ZipHandle archive_;
};

}  // namespace fluvex
