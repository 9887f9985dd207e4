// Fuzz target: one input as an archive, opened into the line collection as the desktop program
// opens a .zip. Besides the sanitizers, the traps check what archive loading promises: nothing
// is written outside the archive folder, nothing is left half-written, and no entry grows past
// the size limit.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "project/Database.h"
#include "services/Archive.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Root() {
    static const fs::path root = [] {
        const fs::path path =
            fs::temp_directory_path() / ("fluvex-fuzz-archive-" + std::to_string(::getpid()));
        fs::create_directories(path / "data");
        fluvex::Host().OverrideFolder(fluvex::FolderKind::ProgramData, path / "data");
        fluvex::Host().OverrideFolder(fluvex::FolderKind::Scratch, path / "cache");
        fluvex::Host().OverrideFolder(fluvex::FolderKind::SettingsFolder, path / "config");
        return path;
    }();
    return root;
}

// Only the archive itself, the program log and the archive folder may exist afterwards.
void CheckNothingStrayed() {
    for (const auto& item : fs::recursive_directory_iterator(Root())) {
        const fs::path relative = item.path().lexically_relative(Root());
        const std::string text = relative.string();
        if (item.path().extension() == ".part") __builtin_trap();
        if (item.is_regular_file() && item.file_size() > fluvex::Archive::kMaxEntryBytes)
            __builtin_trap();
        const bool allowed = text == "input.zip" || text.starts_with("data") ||
                             text.starts_with("cache") || text.starts_with("config");
        if (!allowed) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archive = Root() / "input.zip";
    std::ofstream(archive, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    fluvex::Database database;
    fluvex::RecordingPrompt prompt;
    int notLoaded = 0;
    database.OpenArchive(archive, prompt, &notLoaded);
    if (notLoaded < 0) __builtin_trap();
    database.Clear();
    CheckNothingStrayed();
    std::error_code ignored;
    fs::remove_all(Root() / "data" / "archive", ignored);
    return 0;
}
