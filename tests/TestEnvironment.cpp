#include "TestEnvironment.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "HostState.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::test {

namespace fs = std::filesystem;

void TemporaryHostFolders::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("fluvex-test-" + std::to_string(::getpid()) + "-" +
                                         info->test_suite_name() + "-" + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    ResetHostState(root_);
}

void TemporaryHostFolders::TearDown() {
    RestoreHostState();
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

Ensemble MakePing(const PingShape& shape) {
    Ensemble ping;
    ping.loaded = true;
    ping.MarkPresent(PresentBit::FixedLeader | PresentBit::VariableLeader | PresentBit::Velocity);
    ping.fixedLeader.SetCellCount(static_cast<std::uint8_t>(shape.cells));
    ping.fixedLeader.SetDepthCellLengthCm(static_cast<std::uint16_t>(shape.cellCm));
    ping.fixedLeader.SetBin1DistanceCm(static_cast<std::uint16_t>(shape.bin1Cm));
    ping.variableLeader.SetTransducerDepthDm(static_cast<std::uint16_t>(shape.draftDm));
    ping.cellBlocks.Reset(shape.cells);
    ping.cells.assign(static_cast<std::size_t>(shape.cells), shape.velocity);
    return ping;
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

fs::path WriteLineFile(const fs::path& file, const synth::SyntheticLine& line) {
    const std::vector<std::uint8_t> bytes = synth::EncodeLine(line);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::vector<std::filesystem::path> WriteUniformCrossings(const std::filesystem::path& folder,
                                                         bool secondPositioned) {
    std::vector<std::filesystem::path> files;
    for (int line = 0; line < 2; ++line) {
        const std::string nav =
            secondPositioned || line == 0
                ? "[Navigation]\nBlocks = 104, 105\nLatitude = 47.3\nLongitude = 8.5\n"
                : "";
        const synth::SyntheticLine generated = synth::GenerateLine(
            synth::ParseSurveyDescription(
                "[Survey]\nName = uni\nLines = 2\nStart = 2024-05-14T09:30:00.00\n"
                "[Section]\nProfile = rectangular\nWidth = 60\nDepth = 3\n"
                "[Water]\nProfile = uniform\nSpeed = 0.8\nDirection = 60\n"
                "[Track]\nEnsembles = 150\nSpeed = 0.36\n[Instrument]\nCells = 10\n" +
                nav),
            line);
        files.push_back(
            WriteLineFile(folder / ("uni_00" + std::to_string(line + 1) + ".PD0"), generated));
    }
    return files;
}

synth::SyntheticLine FirstLine(const std::string& description) {
    return synth::GenerateLine(synth::ParseSurveyDescription(description), 0);
}

void GridSurvey::SetUp() {
    TemporaryHostFolders::SetUp();
    Units().SetDistanceUnit(0);
    geodesy_ = Geodesy::Create("EPSG:32632", 1.0).geodesy;
    database.SetGeodesy(geodesy_.get());
}

void GridSurvey::Load(const synth::SyntheticLine& line, const std::string& name) {
    ASSERT_TRUE(database.AddLine(WriteLineFile(Root() / name, line), {}, prompt));
}

}  // namespace fluvex::test
