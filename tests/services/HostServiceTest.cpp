#include "services/HostService.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestEnvironment.h"
#include "services/IniFile.h"

namespace fluvex {
namespace {

class HostServiceTest : public test::TemporaryHostFolders {};

TEST_F(HostServiceTest, EnvironmentMovesFoldersOverridesWinAndTheProjectFileIsMadeOnFirstUse) {
    HostService host;
    ::setenv("FLUVEX_DATA_DIR", (Root() / "env-data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (Root() / "xdg-cache").c_str(), 1);
    ::unsetenv("FLUVEX_CACHE_DIR");
    EXPECT_EQ(host.Folder(FolderKind::ProgramData), Root() / "env-data");
    EXPECT_EQ(host.Folder(FolderKind::ArchiveOutput), Root() / "env-data" / "archive");
    EXPECT_EQ(host.Folder(FolderKind::Scratch), Root() / "xdg-cache" / "fluvex");
    host.OverrideFolder(FolderKind::ProgramData, Root() / "override");
    EXPECT_EQ(host.Folder(FolderKind::ArchiveOutput), Root() / "override" / "archive");
    ::unsetenv("FLUVEX_DATA_DIR");
    ::unsetenv("XDG_CACHE_HOME");

    // The default project file is created on first use.
    host.OverrideFolder(FolderKind::SettingsFolder, Root() / "config");
    ::unsetenv("FLUVEX_PROJECT");
    const auto project = host.Folder(FolderKind::ProjectFile);
    EXPECT_EQ(project, Root() / "config" / "project.ini");
    const IniFile ini = IniFile::Read(project);
    EXPECT_EQ(ini.ReadText("Geodesy", "Unit", ""), "1");
    EXPECT_EQ(ini.ReadText("Geodesy", "CRS", ""), "auto");

    // A project file named by the user is never made up.
    ::setenv("FLUVEX_PROJECT", (Root() / "missing.ini").c_str(), 1);
    EXPECT_EQ(host.Folder(FolderKind::ProjectFile), Root() / "missing.ini");
    EXPECT_FALSE(std::filesystem::exists(Root() / "missing.ini"));
    ::unsetenv("FLUVEX_PROJECT");
}

TEST_F(HostServiceTest, LogAppendsLines) {
    Host().Log("Fluvex", "/surveys/line1.PD0");
    Host().Log("Fluvex", "Loaded x with 3 ensembles");
    const std::string log = ReadText(Root() / "data" / "fluvex.log");
    EXPECT_NE(log.find(" Fluvex: /surveys/line1.PD0\r\n"), std::string::npos);
    EXPECT_NE(log.find(" Fluvex: Loaded x with 3 ensembles\r\n"), std::string::npos);
}

}  // namespace
}  // namespace fluvex
