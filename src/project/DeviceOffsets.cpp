#include "project/DeviceOffsets.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "model/TextUtil.h"
#include "model/Units.h"
#include "services/HostService.h"
#include "services/IniFile.h"

namespace fluvex {

namespace {

// The driver library name that marks a profiler whose mounting angles matter.
constexpr std::string_view kProfilerLibrary = "sontek_m9";
constexpr size_t kLibraryNameLimit = 127;
// More device sections than any boat carries; a hostile count must not loop for long.
constexpr int kMaxDevices = 1000;

bool NamesProfiler(std::string library) {
    library.resize(std::min(library.size(), kLibraryNameLimit));
    std::transform(library.begin(), library.end(), library.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return library.find(kProfilerLibrary) != std::string::npos;
}

// Reads the fourth, fifth and sixth of the comma-separated numbers into heading, roll and pitch,
// in that order. Reading stops at the first number that does not parse, keeping the previous
// values from there on, as the acquisition program's own reading does.
void ReadAngularOffsets(std::string_view text, DeviceOffsets& offsets) {
    const std::array<double*, 6> targets{nullptr,
                                         nullptr,
                                         nullptr,
                                         &offsets.headingDegrees,
                                         &offsets.rollDegrees,
                                         &offsets.pitchDegrees};
    for (double* target : targets) {
        const auto comma = text.find(',');
        const auto number = ParseDouble(text.substr(0, comma));
        if (!number) return;
        if (target) *target = *number;
        if (comma == std::string_view::npos) return;
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

DeviceOffsets ReadDeviceOffsets(const std::filesystem::path& navq32Ini) {
    const IniFile ini = IniFile::Read(navq32Ini);
    DeviceOffsets offsets;
    const int devices = std::clamp(ini.ReadInt("System", "Devices", 0), 0, kMaxDevices);
    for (int d = 0; d < devices; ++d) {
        const std::string section = "Device" + std::to_string(d);
        if (!NamesProfiler(ini.ReadText(section, "Library", ""))) continue;
        ReadAngularOffsets(ini.ReadText(section, "Offset", ""), offsets);
    }
    offsets.mounting = HeadingPitchRollMatrix(DegreesToRadians(offsets.headingDegrees),
                                              DegreesToRadians(offsets.pitchDegrees),
                                              DegreesToRadians(offsets.rollDegrees));
    return offsets;
}

DeviceOffsets ReadInstalledDeviceOffsets() {
    return ReadDeviceOffsets(Host().Folder(FolderKind::ProgramData) / "navq32.ini");
}

}  // namespace fluvex
