#pragma once

#include <filesystem>

#include "model/Matrix3.h"

namespace fluvex {

// The angular mounting offsets of the profiler as the acquisition configuration (navq32.ini)
// records them for the boat's devices. All zero, and the identity rotation, when no profiler of
// the kind that carries them is configured.
struct DeviceOffsets {
    double headingDegrees = 0;
    double rollDegrees = 0;
    double pitchDegrees = 0;
    Matrix3 mounting = kIdentity3;  // applied to every velocity before the attitude
};

// Reads the offsets from an acquisition configuration file; a missing file or key gives zeros.
DeviceOffsets ReadDeviceOffsets(const std::filesystem::path& navq32Ini);

// The offsets of the acquisition configuration in the program data folder.
DeviceOffsets ReadInstalledDeviceOffsets();

}  // namespace fluvex
