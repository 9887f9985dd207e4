#pragma once

// A folder of one benchmark run in the system's temporary folder, removed at exit. With host
// folders, the program's own folders point into it, so that a benchmark never reads or writes
// the user's settings.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "services/HostService.h"

namespace fluvex::bench {

class BenchFolder {
public:
    enum class HostFolders { Kept, Inside };

    BenchFolder(const std::string& name, HostFolders host)
        : path_(std::filesystem::temp_directory_path() /
                ("fluvex-" + name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
        if (host == HostFolders::Inside)
            for (const auto kind :
                 {FolderKind::ProgramData, FolderKind::Scratch, FolderKind::SettingsFolder})
                Host().OverrideFolder(kind, path_ / "host");
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace fluvex::bench
