#include "synth/SurveyFiles.h"

#include <cstdio>
#include <fstream>
#include <string_view>
#include <system_error>

#include "synth/SuiteLineFiles.h"
#include "synth/SurveyTime.h"
#include "synth/SynthError.h"
#include "synth/SyntheticSurvey.h"
#include "synth/TruthJson.h"

namespace fluvex::synth {

namespace {

namespace fs = std::filesystem;

void CreateFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw SynthError("cannot create " + folder.string() + ": " + error.message());
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw SynthError("cannot write " + path.string());
}

std::string_view AsChars(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::vector<fs::path> WriteFlatSurvey(const SurveyDescription& description,
                                      const fs::path& folder) {
    std::vector<fs::path> written;
    std::string lineList;
    for (int index = 0; index < description.lines; ++index) {
        const SyntheticLine line = GenerateLine(description, index);
        const auto pd0Path = folder / (line.stem + ".PD0");
        WriteFile(pd0Path, AsChars(EncodeLine(line)));
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

// <Name>_<nnn>_<hhmm>.kq2 (or .RAW), hhmm the line's start: the loader finds <Name>_<nnn>.000 in
// the raw folder only by cutting the name at its last underscore, as it must for the suite's.
std::string LineFileName(const SyntheticLine& line, LineFileKind kind) {
    const CivilTime start = ToCivil(line.truth.front().clockHundredths);
    char time[16];
    std::snprintf(time, sizeof time, "_%02d%02d", start.hour, start.minute);
    return line.stem + time + (kind == LineFileKind::Edited ? ".kq2" : ".RAW");
}

std::string LineFileBytes(const SurveyDescription& description, const SuiteLine& suiteLine) {
    if (description.suite.lineFiles == LineFileKind::Raw) return EncodeRawLineFile(suiteLine);
    const std::vector<std::uint8_t> bytes =
        EncodeEditedFile(suiteLine, description.suite.plannedLine);
    return std::string(AsChars(bytes));
}

// OUTPUT_DIR/<Name>/raw/ for the PD0 lines, OUTPUT_DIR/<Name>/<LogFolder>/ for the log and the
// line files, the truth in OUTPUT_DIR/<Name>/.
std::vector<fs::path> WriteSuiteSurvey(const SurveyDescription& description,
                                       const fs::path& folder) {
    const std::string& name = description.name;
    const std::string logFolder = name + "/" + description.suite.logFolder + "/";
    CreateFolder(folder / name / "raw");
    CreateFolder(folder / logFolder);
    const std::string logPath = logFolder + name + ".log";
    std::vector<fs::path> written;
    std::string log;
    for (int index = 0; index < description.lines; ++index) {
        const SyntheticLine line = GenerateLine(description, index);
        const SuiteLine suiteLine = MakeSuiteLine(description, line);
        const std::string entry = LineFileName(line, description.suite.lineFiles);
        const SuitePaths paths{logPath, logFolder + entry, name + "/raw/" + line.stem + ".000"};
        WriteFile(folder / paths.rawFile, AsChars(EncodeLine(line)));
        WriteFile(folder / paths.lineFile, LineFileBytes(description, suiteLine));
        const auto truthPath = folder / name / (line.stem + ".truth.json");
        WriteFile(truthPath, SuiteTruthJson(description, line, paths, suiteLine).dump() + "\n");
        log += entry + "\r\n";
        written.insert(written.end(), {folder / paths.rawFile, folder / paths.lineFile, truthPath});
    }
    WriteFile(folder / logPath, log);
    written.push_back(folder / logPath);
    return written;
}

}  // namespace

std::vector<fs::path> WriteSurvey(const SurveyDescription& description, const fs::path& folder) {
    CreateFolder(folder);
    return description.suite.Enabled() ? WriteSuiteSurvey(description, folder)
                                       : WriteFlatSurvey(description, folder);
}

}  // namespace fluvex::synth
