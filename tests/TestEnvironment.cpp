#include "TestEnvironment.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "model/ColourTables.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/HostService.h"
#include "settings/Settings.h"

namespace fluvex::test {

namespace fs = std::filesystem;

void TemporaryHostFolders::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("fluvex-test-" + std::to_string(::getpid()) + "-" +
                                         info->test_suite_name() + "-" + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    HostService& host = Host();
    host.ClearOverrides();
    host.OverrideFolder(FolderKind::ProgramData, root_ / "data");
    host.OverrideFolder(FolderKind::ArchiveOutput, root_ / "data" / "archive");
    host.OverrideFolder(FolderKind::SurveyData, root_ / "surveys");
    host.OverrideFolder(FolderKind::SettingsFolder, root_ / "config");
    host.OverrideFolder(FolderKind::Scratch, root_ / "cache");
    host.OverrideFolder(FolderKind::ProjectFile, ProjectFile());

    Units() = UnitSystem{};
    SetCurrentVelocityTable(nullptr);
    AppSettings() = Settings{};
    AppSettings().Reset();
    AppDatabase().Clear();
    AppDatabase().ClearBorder();
    AppDatabase().SetGeodesy(nullptr);
}

void TemporaryHostFolders::TearDown() {
    AppDatabase().Clear();
    AppDatabase().ClearBorder();
    AppDatabase().SetGeodesy(nullptr);
    SetCurrentVelocityTable(nullptr);
    Host().ClearOverrides();
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void TemporaryHostFolders::WriteProject(std::string_view unit) {
    WriteText(ProjectFile(), "[Geodesy]\r\nUnit=" + std::string(unit) + "\r\nCRS=auto\r\n");
}

void TemporaryHostFolders::WriteText(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string TemporaryHostFolders::ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RunPython(const std::string& arguments, int& status) {
    const std::string command = std::string(kPython) + " " + arguments;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    status = -1;
    if (!pipe) return {};
    std::string output;
    char buffer[4096];
    while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        output.append(buffer, read);
    const int result = ::pclose(pipe.release());
    status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

}  // namespace fluvex::test
