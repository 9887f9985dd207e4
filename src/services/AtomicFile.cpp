#include "services/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

namespace fluvex {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// Owns a file descriptor so that every early return closes it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                         std::string* error) {
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);

    std::string temporary = path.string() + ".tmp-XXXXXX";
    Descriptor fd(::mkstemp(temporary.data()));
    if (fd.Get() < 0)
        return Fail(error, "cannot create a temporary file beside " + path.string() + ": " +
                               std::strerror(errno));

    // mkstemp creates the file for its owner only; keep the permissions of the file replaced.
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    ::fchmod(fd.Get(), mode);

    const bool written = WriteAllToDescriptor(fd.Get(), content) && ::fsync(fd.Get()) == 0;
    const int savedErrno = errno;
    const bool closed = ::close(fd.Release()) == 0;
    if (!written || !closed) {
        std::filesystem::remove(temporary, ec);
        return Fail(error, "cannot write " + path.string() + ": " + std::strerror(savedErrno));
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return Fail(error, "cannot replace " + path.string() + ": " + ec.message());
    }
    return true;
}

bool WriteAllToDescriptor(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        content.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    // Read in one go at the size the file has; a file that is still growing gives what was there.
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return false;
    content.resize(static_cast<std::size_t>(size));
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

}  // namespace fluvex
