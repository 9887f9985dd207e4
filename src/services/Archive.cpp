#include "services/Archive.h"

#include <zip.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace fluvex {

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryHandle = std::unique_ptr<zip_file_t, EntryCloser>;

std::string OpenFailure(int code) {
    if (code == ZIP_ER_NOZIP) return "not a zip archive";
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    return message;
}

// Copies at most `limit` bytes: an entry that holds more than its stated size is refused.
bool CopyEntry(zip_file_t& entry, std::ofstream& out, std::uint64_t limit) {
    std::vector<char> chunk(kChunkBytes);
    std::uint64_t copied = 0;
    for (;;) {
        // libzip checks the entry's CRC when the last bytes are read.
        const zip_int64_t read = zip_fread(&entry, chunk.data(), chunk.size());
        if (read < 0) return false;
        if (read == 0) break;
        copied += static_cast<std::uint64_t>(read);
        if (copied > limit) return false;
        if (!out.write(chunk.data(), read)) return false;
    }
    out.close();
    return !out.fail();
}

}  // namespace

void Archive::ZipCloser::operator()(zip* archive) const {
    // Read only: nothing to write back.
    zip_discard(archive);
}

std::unique_ptr<Archive> Archive::Open(const std::filesystem::path& path, std::string* error) {
    int code = ZIP_ER_OK;
    ZipHandle archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!archive) {
        if (error) *error = OpenFailure(code);
        return nullptr;
    }
    return std::make_unique<Archive>(PassKey{}, std::move(archive));
}

std::size_t Archive::EntryCount() const {
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    return count < 0 ? 0 : static_cast<std::size_t>(count);
}

std::string Archive::EntryName(std::size_t entry) const {
    // Names not flagged as UTF-8 are taken as UTF-8 when valid, else as code page 437.
    const char* name = zip_get_name(archive_.get(), entry, ZIP_FL_ENC_GUESS);
    return name ? name : "";
}

std::optional<std::string> Archive::Refusal(std::size_t entry) const {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_.get(), entry, 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0 ||
        (stat.valid & ZIP_STAT_COMP_SIZE) == 0)
        return "its size is not known";
    if (stat.size > kMaxEntryBytes)
        return "it would unpack to " + std::to_string(stat.size) + " bytes, over the limit of " +
               std::to_string(kMaxEntryBytes);
    // Tiny entries may pack badly or well: the ratio means nothing below a megabyte.
    constexpr std::uint64_t smallEntry = 1 << 20;
    if (stat.size > smallEntry && stat.size / kMaxExpansion > stat.comp_size)
        return "it would unpack to " + std::to_string(stat.size) + " bytes from " +
               std::to_string(stat.comp_size) + ", more than " + std::to_string(kMaxExpansion) +
               " times its packed size";
    return std::nullopt;
}

bool Archive::ExtractTo(std::size_t entry, const std::filesystem::path& file) const {
    if (Refusal(entry)) return false;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_.get(), entry, 0, &stat) != 0) return false;
    const EntryHandle source(zip_fopen_index(archive_.get(), entry, 0));
    if (!source) return false;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (CopyEntry(*source, out, stat.size)) return true;
    out.close();
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return false;
}

}  // namespace fluvex
