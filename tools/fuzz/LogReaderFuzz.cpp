// Fuzz target: one input as a line log of the survey suite, loaded from a project folder whose
// raw folder holds one real instrument file (A.000) and its line file. Besides the sanitizers,
// the traps check what log loading promises: every entry that does not load is counted (and so
// named), and no more lines are loaded than the log lists.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "project/Database.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"

namespace {

namespace fs = std::filesystem;

// project/edit/input.log beside project/raw/A.000 (a copy of a real file) and project/edit/A.RAW.
const fs::path& LogFile() {
    static const fs::path log = [] {
        const fs::path root =
            fs::temp_directory_path() / ("fluvex-fuzz-log-" + std::to_string(::getpid()));
        fs::create_directories(root / "project" / "raw");
        fs::create_directories(root / "project" / "edit");
        fs::create_directories(root / "data");
        fluvex::Host().OverrideFolder(fluvex::FolderKind::ProgramData, root / "data");
        fluvex::Host().OverrideFolder(fluvex::FolderKind::Scratch, root / "cache");
        fluvex::Host().OverrideFolder(fluvex::FolderKind::SettingsFolder, root / "config");
        const fs::path data = FLUVEX_FUZZ_DATA;
        fs::copy_file(data / "pd0" / "RDI_test01.000", root / "project" / "raw" / "A.000",
                      fs::copy_options::overwrite_existing);
        fs::copy_file(data / "line-files" / "seed.RAW", root / "project" / "edit" / "A.RAW",
                      fs::copy_options::overwrite_existing);
        return root / "project" / "edit" / "input.log";
    }();
    return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(LogFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    fluvex::Database database;
    fluvex::RecordingPrompt prompt;
    int notLoaded = 0;
    const bool loaded = database.LoadLog(LogFile(), prompt, &notLoaded);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto lines = static_cast<int>(std::ranges::count(text, '\n')) + 1;
    if (loaded != (database.LineCount() > 0)) __builtin_trap();
    if (database.LineCount() + notLoaded > lines) __builtin_trap();
    if (!loaded && notLoaded == 0 && prompt.Messages().empty()) __builtin_trap();
    database.Clear();
    return 0;
}
