#pragma once

// A check of a MATLAB 5 MAT-file's layout before matio reads it. matio trusts the sizes a file
// declares and allocates what they ask for; a damaged or hostile file could ask for gigabytes or
// send it past the end of its buffers. This walks every variable (inflating compressed ones
// within a bound) and accepts the file only when every element lies inside its parent, every
// array's declared size is backed by its data, and nothing nests or counts beyond what a survey
// export can hold.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace fluvex {

// Empty when the file may be handed to matio; otherwise why not, in words for the user.
std::string MatFileLayoutProblem(const std::filesystem::path& file);
// The same for bytes in memory (the whole file).
std::string MatFileLayoutProblem(std::span<const std::uint8_t> bytes);

}  // namespace fluvex
