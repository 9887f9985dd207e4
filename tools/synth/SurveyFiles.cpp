#include "synth/SurveyFiles.h"

#include <fstream>
#include <string_view>
#include <system_error>

#include "synth/SynthError.h"
#include "synth/SyntheticSurvey.h"
#include "synth/TruthJson.h"

namespace fluvex::synth {

namespace {

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw SynthError("cannot write " + path.string());
}

std::string_view AsChars(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

std::vector<std::filesystem::path> WriteSurvey(const SurveyDescription& description,
                                               const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw SynthError("cannot create " + folder.string() + ": " + error.message());
    std::vector<std::filesystem::path> written;
    std::string lineList;
    for (int index = 0; index < description.lines; ++index) {
        const SyntheticLine line = GenerateLine(description, index);
        const std::vector<std::uint8_t> pd0 = EncodeLine(line);
        const auto pd0Path = folder / (line.stem + ".PD0");
        WriteFile(pd0Path, AsChars(pd0));
        const auto truthPath = folder / (line.stem + ".truth.json");
        WriteFile(truthPath, TruthJson(description, line).dump() + "\n");
        lineList += line.stem + ".PD0\r\n";
        written.push_back(pd0Path);
        written.push_back(truthPath);
    }
    const auto listPath = folder / (description.name + ".lines.txt");
    WriteFile(listPath, lineList);
    written.push_back(listPath);
    return written;
}

}  // namespace fluvex::synth
