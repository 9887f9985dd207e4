// Fuzz target: one input read as the survey suite's edited file (.kq2) and as its raw line file
// text. Besides the sanitizers, the traps check what the readers promise: every counted record
// reads, nothing past the count does, and a planned line never holds more than its maximum.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "services/EditedFile.h"
#include "services/RawLineFile.h"

namespace {

const std::filesystem::path& InputPath() {
    static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                              ("fluvex-fuzz-" + std::to_string(::getpid()) + ".kq2");
    return path;
}

void CheckEditedFile(const std::uint8_t* data, std::size_t size) {
    std::ofstream(InputPath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    fluvex::EditedFile file;
    const int count = file.Open(InputPath());
    fluvex::EditedNavRecord record;
    for (int i = 0; i < count; ++i) {
        if (!file.ReadRecord(i, record)) __builtin_trap();
        static_cast<void>(record.ToFix());
    }
    if (file.ReadRecord(count, record)) __builtin_trap();
    const fluvex::PlannedLine line = fluvex::ReadEditedPlannedLine(InputPath());
    if (line.points.size() > fluvex::PlannedLine::kMaxPoints) __builtin_trap();
    if (line.sideA.size() > fluvex::PlannedLine::kMaxSides) __builtin_trap();
}

void CheckRawLineFile(const std::uint8_t* data, std::size_t size) {
    fluvex::RawLineFile file;
    if (!file.Parse(std::string_view(reinterpret_cast<const char*>(data), size))) return;
    fluvex::NavigationFix fix;
    for (int i = 0; i < file.RecordCount(); ++i)
        if (!file.ReadRecord(i, fix)) __builtin_trap();
    if (file.PlannedPoints().size() > fluvex::PlannedLine::kMaxPoints) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckEditedFile(data, size);
    CheckRawLineFile(data, size);
    return 0;
}
