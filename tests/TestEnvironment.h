#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/Ensemble.h"
#include "project/Database.h"
#include "services/Geodesy.h"
#include "services/UserPrompt.h"

namespace fluvex::synth {
struct SyntheticLine;
}

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

// A loaded PD0 ping: `cells` cells of `cellCm` with bin 1 at `bin1Cm`, the transducer `draftDm`
// down; the leaders and velocities present, zeroed cell blocks and every processed cell `velocity`.
struct PingShape {
    int cells = 10;
    int cellCm = 50;
    int bin1Cm = 75;
    int draftDm = 5;
    CellVelocity velocity{};
};
Ensemble MakePing(const PingShape& shape);

// Debian's python, which finds the distribution's ezdxf and openpyxl.
inline constexpr const char* kPython = "/usr/bin/python3";

// Runs `kPython arguments` through the shell: its standard output, and its exit status in
// `status` (-1 when it did not run or exit).
std::string RunPython(const std::string& arguments, int& status);

// Writes the PD0 bytes of a generated line to `file`; returns `file`.
std::filesystem::path WriteLineFile(const std::filesystem::path& file,
                                    const synth::SyntheticLine& line);

// Two crossings of a river 3 m deep under a uniform 0.8 m/s current towards 60 degrees, written
// as uni_001.PD0 and uni_002.PD0 in `folder`, positioned by GGA in UTM zone 32; `secondPositioned`
// false leaves the second line without positions.
std::vector<std::filesystem::path> WriteUniformCrossings(const std::filesystem::path& folder,
                                                         bool secondPositioned = true);

// The first line of the survey `description` describes.
synth::SyntheticLine FirstLine(const std::string& description);

// A survey in metres on UTM zone 32 north (EPSG:32632): the line collection with that geodesy,
// a prompt that records, and Load, which writes a generated line as `name` in Root() and adds it.
class GridSurvey : public TemporaryHostFolders {
protected:
    void SetUp() override;
    void Load(const synth::SyntheticLine& line, const std::string& name);

    Database& database = AppDatabase();
    RecordingPrompt prompt;
    std::unique_ptr<Geodesy> geodesy_;
};

}  // namespace fluvex::test
