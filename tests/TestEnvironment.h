#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace fluvex::test {

// Gives each test its own empty folders for every host folder kind and fresh process-wide
// state (settings, units, colour table), so tests neither see nor touch the user's files.
class TemporaryHostFolders : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path ProjectFile() const { return root_ / "project.ini"; }
    // Writes a project file with the given [Geodesy] Unit text.
    void WriteProject(std::string_view unit);
    static void WriteText(const std::filesystem::path& path, std::string_view text);
    static std::string ReadText(const std::filesystem::path& path);

private:
    std::filesystem::path root_;
};

}  // namespace fluvex::test
