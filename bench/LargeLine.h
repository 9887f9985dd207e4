#pragma once

// A large PD0 line (at least 200 MB) made by concatenating the real instrument files of
// tests/data/pd0 in a temporary folder, shared by the benchmarks of one run and removed at exit.
//
// FLUVEX_PD0_DATA overrides the folder of the real files.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchFolder.h"

namespace fluvex::bench {

inline std::filesystem::path RealFilesFolder() {
    if (const char* folder = std::getenv("FLUVEX_PD0_DATA")) return folder;
    // The build names the folder: __FILE__ is relative when the compiler cache rewrites paths.
    return FLUVEX_BENCH_PD0_DATA;
}

class LargeLine {
public:
    static constexpr std::uintmax_t kMinimumFileSize = 200'000'000;

    LargeLine() : folder_("bench", BenchFolder::HostFolders::Kept) {
        // In name order, so that every run times the same file.
        std::vector<std::filesystem::path> names;
        for (const auto& entry : std::filesystem::directory_iterator(RealFilesFolder())) {
            const auto extension = entry.path().extension();
            if (extension != ".json" && extension != ".md") names.push_back(entry.path());
        }
        std::ranges::sort(names);
        std::vector<std::vector<char>> files;
        for (const std::filesystem::path& name : names)
            files.push_back(ReadWhole(name));
        {
            std::ofstream out(Path(), std::ios::binary);
            std::uintmax_t written = 0;
            while (written < kMinimumFileSize && !files.empty()) {
                for (const auto& file : files) {
                    out.write(file.data(), static_cast<std::streamsize>(file.size()));
                    written += file.size();
                }
            }
        }
        // Written back before timing starts, so that the kernel's write-back does not compete
        // with the reads; the file stays in the page cache.
        const int descriptor = ::open(Path().c_str(), O_RDONLY);
        ::fdatasync(descriptor);
        ::close(descriptor);
    }
    LargeLine(const LargeLine&) = delete;
    LargeLine& operator=(const LargeLine&) = delete;

    // Also the place for files a benchmark writes; removed with it.
    const std::filesystem::path& Folder() const { return folder_.Path(); }
    std::filesystem::path Path() const { return folder_.Path() / "large.pd0"; }
    double Bytes() const { return static_cast<double>(std::filesystem::file_size(Path())); }

    // `copies` of the real transect winriver02_transect.PD0 (1.4 MB) in one file, made on first
    // use in the folder.
    std::filesystem::path TransectCopies(int copies) const {
        const auto path = folder_.Path() / ("transect-x" + std::to_string(copies) + ".pd0");
        if (std::filesystem::exists(path)) return path;
        const std::vector<char> transect = ReadWhole(RealFilesFolder() / "winriver02_transect.PD0");
        std::ofstream out(path, std::ios::binary);
        for (int copy = 0; copy < copies; ++copy)
            out.write(transect.data(), static_cast<std::streamsize>(transect.size()));
        return path;
    }

private:
    static std::vector<char> ReadWhole(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    BenchFolder folder_;
};

// The one large line of the run, made on first use.
inline const LargeLine& SharedLargeLine() {
    static const LargeLine line;
    return line;
}

}  // namespace fluvex::bench
