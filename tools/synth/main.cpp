// fluvex-synth: writes synthetic PD0 surveys with their truth from a small INI description.

#include <filesystem>
#include <iostream>
#include <string_view>

#include "synth/MatlabExportWriter.h"
#include "synth/SurveyDescription.h"
#include "synth/SurveyFiles.h"
#include "synth/SynthError.h"
#include "synth/SyntheticSurvey.h"

namespace {

constexpr std::string_view kUsage =
    "usage: fluvex-synth [--matlab] DESCRIPTION.ini OUTPUT_DIR\n"
    "       fluvex-synth --help | --version\n";

constexpr std::string_view kHelp =
    "Writes a synthetic moving-boat ADCP survey: one PD0 file per line (<Name>_<nnn>.PD0), the\n"
    "truth beside each (<Name>_<nnn>.truth.json) and the list of lines (<Name>.lines.txt).\n"
    "\n"
    "With [Suite] LineFiles = kq2 or raw it writes the survey as the acquisition suite leaves\n"
    "it instead: <Name>/raw/<Name>_<nnn>.000, a line log and one line file per line in\n"
    "<Name>/<LogFolder>/, and the truth in <Name>/.\n"
    "\n"
    "With --matlab it also writes each line as a SonTek transect's MATLAB export\n"
    "(<Name>_<nnn>.mat, docs/formats.md) made from the same truth.\n"
    "\n"
    "The description is an INI file with the sections [Survey], [Section], [Water], [Track],\n"
    "[Attitude], [Instrument], [Echo], [Noise], [Navigation] and [Suite]; every key is\n"
    "optional and documented in docs/formats.md under \"Synthetic survey description\". An\n"
    "unknown key is an error. tools/synth/demo.ini is a complete example.\n"
    "\n"
    "Exit status: 0 done, 1 the description or a file is at fault, 2 wrong arguments.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        std::cout << kUsage << '\n' << kHelp;
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "fluvex-synth " << FLUVEX_VERSION << '\n';
        return 0;
    }
    const bool matlab = argc == 4 && std::string_view(argv[1]) == "--matlab";
    if (argc != 3 && !matlab) {
        std::cerr << kUsage;
        return 2;
    }
    const char* descriptionFile = argv[matlab ? 2 : 1];
    const std::filesystem::path folder = argv[matlab ? 3 : 2];
    try {
        const auto description = fluvex::synth::ReadSurveyDescription(descriptionFile);
        for (const auto& path : fluvex::synth::WriteSurvey(description, folder))
            std::cout << path.string() << '\n';
        for (int index = 0; matlab && index < description.lines; ++index) {
            const auto line = fluvex::synth::GenerateLine(description, index);
            const std::filesystem::path file = folder / (line.stem + ".mat");
            fluvex::synth::WriteMatlabExport(description, line, file);
            std::cout << file.string() << '\n';
        }
    } catch (const fluvex::synth::SynthError& error) {
        std::cerr << "fluvex-synth: " << descriptionFile << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
