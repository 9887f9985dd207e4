// Fuzz target: one input as a whole PD0 file, opened, reloaded with merged navigation and copied
// out ensemble by ensemble. Besides the sanitizers, the traps check what the reader promises: a
// regular file always opens, the index lies inside the file in ascending order, and every kept
// ensemble is loaded.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "readers/CRDIReader.h"
#include "services/Geodesy.h"

namespace {

fluvex::Geodesy* FixedGeodesy() {
    static const fluvex::GeodesyCreation created = fluvex::Geodesy::Create("EPSG:32633", 1.0);
    return created.geodesy.get();
}

// The file every input is written to, removed when the fuzzer ends.
class InputFile {
public:
    InputFile()
        : path_(std::filesystem::temp_directory_path() /
                ("fluvex-fuzz-" + std::to_string(::getpid()) + ".pd0")) {}
    ~InputFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::filesystem::path& Write(const std::uint8_t* data, std::size_t size) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return path_;
    }

private:
    std::filesystem::path path_;
};

void CheckIndex(const fluvex::CRDIReader& reader, std::size_t fileSize) {
    std::uint64_t end = 0;
    for (const fluvex::IndexEntry& entry : reader.Index()) {
        if (entry.fileOffset < end || entry.length > fileSize ||
            entry.fileOffset > fileSize - entry.length)
            __builtin_trap();
        end = entry.fileOffset + entry.length;
    }
}

void CheckEnsembles(const fluvex::CRDIReader& reader) {
    fluvex::Ensemble copy;
    for (int i = 0; i < reader.Count(); ++i) {
        if (!reader.GetEnsemble(i, copy)) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile input;
    fluvex::CRDIReader reader(FixedGeodesy());
    if (reader.Open(input.Write(data, size)) != fluvex::OpenStatus::Ok) __builtin_trap();
    CheckIndex(reader, size);
    CheckEnsembles(reader);

    reader.ApplyNavigation(std::vector<fluvex::NavRecord>(static_cast<std::size_t>(reader.Count()) / 2));
    if (!reader.Load()) __builtin_trap();
    CheckEnsembles(reader);
    reader.SortByTime();
    reader.RemoveEnsemble(0);
    return 0;
}
