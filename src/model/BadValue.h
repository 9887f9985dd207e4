#pragma once

#include <cstdint>

namespace fluvex {

// "No valid value": -32768 (0x8000) in a 16-bit velocity slot, -32768.0 in derived doubles.
inline constexpr int16_t kBadVelocity = INT16_MIN;
inline constexpr double kBadValue = -32768.0;

}  // namespace fluvex
