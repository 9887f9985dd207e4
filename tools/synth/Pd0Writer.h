#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "synth/SurveyTime.h"

namespace fluvex::synth {

// Appends little-endian fields to a growing buffer; the only way bytes of a PD0 file are made.
class ByteWriter {
public:
    void U8(std::uint8_t value) { LittleEndian(value, 1); }
    void U16(std::uint16_t value) { LittleEndian(value, 2); }
    void I16(std::int16_t value) { U16(static_cast<std::uint16_t>(value)); }
    void U32(std::uint32_t value) { LittleEndian(value, 4); }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void F32(float value);
    void F64(double value);
    void Zeros(std::size_t count);
    // Text in a field of `width` bytes, cut or padded with NULs.
    void Text(std::string_view text, std::size_t width);
    void Append(std::span<const std::uint8_t> bytes);

    std::size_t Size() const { return bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    void LittleEndian(std::uint64_t value, std::size_t width);

    std::vector<std::uint8_t> bytes_;
};

enum class CoordinateFrame { Beam, Instrument, Earth };

using Quad16 = std::array<std::int16_t, 4>;
using Quad8 = std::array<std::uint8_t, 4>;
inline constexpr std::int16_t kBadVelocity = -32768;
inline constexpr std::size_t kMaxCells = 200;

struct FixedLeaderFields {
    int beamAngleDeg = 20;  // 20, 25 or 30
    bool convex = true;
    CoordinateFrame frame = CoordinateFrame::Earth;
    std::uint16_t cellCm = 25;
    std::uint16_t blankCm = 25;
    std::uint16_t bin1Cm = 50;  // transducer to the centre of cell 1
    std::uint32_t timeTagMs = 0;
};

struct VariableLeaderFields {
    std::uint32_t number = 1;  // 24 bits
    CivilTime rtc;             // year 2000-2099
    std::uint16_t speedOfSound = 1500;
    std::uint16_t transducerDepthDm = 0;
    std::uint16_t headingCdeg = 0;  // hundredths of a degree
    std::int16_t pitchCdeg = 0;
    std::int16_t rollCdeg = 0;
    std::uint16_t salinity = 0;
    std::int16_t temperatureCdeg = 0;
};

struct BottomTrackFields {
    std::array<std::uint16_t, 4> rangeCm{};  // slant ranges, 0 = no detection
    Quad16 velocity{};                       // mm/s, same frame as the profile
    Quad8 correlation{};
    Quad8 amplitude{};
    Quad8 percentGood{};
};

// The content of one ensemble. The cell count is the length of the per-cell lists.
struct Pd0Ensemble {
    FixedLeaderFields fixed;
    VariableLeaderFields variable;
    std::vector<Quad16> velocity;  // mm/s, -32768 bad
    std::vector<Quad8> correlation;
    std::vector<Quad8> intensity;  // counts
    std::vector<Quad8> percentGood;
    std::optional<BottomTrackFields> bottomTrack;
    std::vector<std::vector<std::uint8_t>> navigation;  // encoded blocks, written last
};

inline constexpr std::size_t kFixedLeaderBytes = 59;
inline constexpr std::size_t kVariableLeaderBytes = 65;
inline constexpr std::size_t kBottomTrackBytes = 85;
inline constexpr std::size_t kHeaderFixedBytes = 6;  // before the offset table

// One ensemble: header, offset table, fixed and variable leader, velocity, correlation,
// intensity, percent good, bottom track, navigation, then the checksum. Throws SynthError when
// the per-cell lists differ in length or exceed 200 cells, or the ensemble exceeds 65535 bytes.
std::vector<std::uint8_t> EncodeEnsemble(const Pd0Ensemble& ensemble);
// The sum of the bytes modulo 65536, as stored after an ensemble.
std::uint16_t Pd0Checksum(std::span<const std::uint8_t> bytes);

}  // namespace fluvex::synth
