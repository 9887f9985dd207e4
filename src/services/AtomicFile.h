#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fluvex {

// Replaces the file at `path` with `content` so that a crash or a full disk never leaves it
// half written: the content goes to a temporary file beside it, which is flushed and then
// renamed over the old one. Creates missing parent folders. On failure the old file is
// untouched, `error` (when given) says why and the result is false.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                         std::string* error = nullptr);

// Writes all of `content` to an open file descriptor, going on after partial writes and
// interruptions; false when the system refuses (a full disk).
bool WriteAllToDescriptor(int descriptor, std::string_view content);

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& content);

}  // namespace fluvex
