#include "synth/Pd0Writer.h"

#include <bit>
#include <numeric>

#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

using Block = std::vector<std::uint8_t>;

constexpr std::uint16_t kFixedLeaderId = 0x0000;
constexpr std::uint16_t kVariableLeaderId = 0x0080;
constexpr std::uint16_t kVelocityId = 0x0100;
constexpr std::uint16_t kCorrelationId = 0x0200;
constexpr std::uint16_t kIntensityId = 0x0300;
constexpr std::uint16_t kPercentGoodId = 0x0400;
constexpr std::uint16_t kBottomTrackId = 0x0600;

std::uint16_t BeamAngleCode(int beamAngleDeg) {
    switch (beamAngleDeg) {
        case 15:
            return 0;
        case 20:
            return 1;
        case 30:
            return 2;
        default:
            return 3;  // 25 degrees
    }
}

// 1200 kHz, sensor configuration 1, head attached, looking down, four-beam Janus.
std::uint16_t SystemConfiguration(const FixedLeaderFields& f) {
    const unsigned angle = static_cast<unsigned>(BeamAngleCode(f.beamAngleDeg)) << 8U;
    const unsigned convex = f.convex ? 0x0008U : 0x0000U;
    return static_cast<std::uint16_t>(0x4000U | angle | 0x0050U | convex | 0x0004U);
}

// Bits 3-4 name the frame; earth data had the tilts applied by the instrument (bit 2).
std::uint8_t CoordinateTransform(CoordinateFrame frame) {
    switch (frame) {
        case CoordinateFrame::Beam:
            return 0x00;
        case CoordinateFrame::Instrument:
            return 0x08;
        case CoordinateFrame::Earth:
            return 0x1C;
    }
    return 0x00;
}

Block FixedLeaderBlock(const FixedLeaderFields& f, std::size_t cells) {
    ByteWriter w;
    w.U16(kFixedLeaderId);
    w.U8(1);  // firmware version 1.0
    w.U8(0);
    w.U16(SystemConfiguration(f));
    w.U8(1);  // simulated data
    w.U8(7);  // lag length
    w.U8(4);  // beams
    w.U8(static_cast<std::uint8_t>(cells));
    w.U16(1);  // pings per ensemble
    w.U16(f.cellCm);
    w.U16(f.blankCm);
    w.U8(1);      // profiling mode
    w.U8(64);     // low correlation threshold
    w.U8(5);      // code repetitions
    w.U8(0);      // percent-good minimum
    w.U16(2000);  // error velocity maximum, mm/s
    w.Zeros(3);   // time per ping
    w.U8(CoordinateTransform(f.frame));
    w.Zeros(4);  // heading alignment and bias
    // No sensor is named as the attitude source: the stored pitch is the one the rotation uses.
    w.U8(0);
    w.U8(0);
    w.U16(f.bin1Cm);
    w.U16(f.cellCm);  // transmit pulse as long as a cell
    w.U8(1);          // reference layer, cells 1 to 5
    w.U8(5);
    w.U8(50);  // false target threshold
    w.U8(0);
    w.U16(0);  // transmit lag distance
    w.U32(f.timeTagMs);
    w.Zeros(4);  // rest of the board serial number
    w.U16(0);    // bandwidth
    w.U8(255);   // power
    w.U8(0);
    w.U32(0);  // serial number
    w.U8(static_cast<std::uint8_t>(f.beamAngleDeg));
    return w.Take();
}

void WriteClock(ByteWriter& w, const CivilTime& t) {
    for (int field : {t.month, t.day, t.hour, t.minute, t.second, t.hundredths})
        w.U8(static_cast<std::uint8_t>(field));
}

Block VariableLeaderBlock(const VariableLeaderFields& v) {
    ByteWriter w;
    w.U16(kVariableLeaderId);
    w.U16(static_cast<std::uint16_t>(v.number & 0xFFFFU));
    w.U8(static_cast<std::uint8_t>(v.rtc.year % 100));
    WriteClock(w, v.rtc);
    w.U8(static_cast<std::uint8_t>((v.number >> 16) & 0xFFU));
    w.U16(0);  // built-in test result
    w.U16(v.speedOfSound);
    w.U16(v.transducerDepthDm);
    w.U16(v.headingCdeg);
    w.I16(v.pitchCdeg);
    w.I16(v.rollCdeg);
    w.U16(v.salinity);
    w.I16(v.temperatureCdeg);
    w.Zeros(3 + 3 + 8 + 4 + 2);  // ping time, attitude deviations, ADC, error word, reserved
    // Pressure at the transducer in decapascals: fresh water, standard gravity.
    w.U32(static_cast<std::uint32_t>(v.transducerDepthDm * 98.0665 + 0.5));
    w.U32(0);  // pressure variance
    w.U8(0);
    w.U8(static_cast<std::uint8_t>(v.rtc.year / 100));
    w.U8(static_cast<std::uint8_t>(v.rtc.year % 100));
    WriteClock(w, v.rtc);
    return w.Take();
}

Block VelocityBlock(const std::vector<Quad16>& cells) {
    ByteWriter w;
    w.U16(kVelocityId);
    for (const Quad16& cell : cells)
        for (std::int16_t value : cell)
            w.I16(value);
    return w.Take();
}

Block CountBlock(std::uint16_t id, const std::vector<Quad8>& cells) {
    ByteWriter w;
    w.U16(id);
    for (const Quad8& cell : cells)
        w.Append(cell);
    return w.Take();
}

Block BottomTrackBlock(const BottomTrackFields& bt) {
    ByteWriter w;
    w.U16(kBottomTrackId);
    w.U16(1);     // pings per ensemble
    w.U16(0);     // delay before re-acquire
    w.U8(220);    // correlation minimum
    w.U8(30);     // evaluation amplitude minimum
    w.U8(0);      // percent-good minimum
    w.U8(5);      // mode
    w.U16(1000);  // error velocity maximum
    w.Zeros(4);
    for (std::uint16_t range : bt.rangeCm)
        w.U16(range);
    for (std::int16_t velocity : bt.velocity)
        w.I16(velocity);
    w.Append(bt.correlation);
    w.Append(bt.amplitude);
    w.Append(bt.percentGood);
    w.Zeros(6 + 8 + 4 + 4 + 4);  // reference layer limits, velocities, counts
    w.U16(0);                    // maximum depth
    w.Append(bt.amplitude);      // received signal strength
    w.U8(0);                     // gain
    w.Zeros(4 + 4);              // range high bytes, reserved
    return w.Take();
}

void CheckCellLists(const Pd0Ensemble& e) {
    const std::size_t cells = e.velocity.size();
    if (cells > kMaxCells) throw SynthError("an ensemble holds at most 200 cells");
    for (const auto* list : {&e.correlation, &e.intensity, &e.percentGood})
        if (list->size() != cells) throw SynthError("the per-cell lists of an ensemble differ");
}

std::vector<std::uint8_t> Frame(const std::vector<Block>& blocks) {
    const std::size_t headerBytes = kHeaderFixedBytes + 2 * blocks.size();
    const std::size_t byteCount =
        std::accumulate(blocks.begin(), blocks.end(), headerBytes,
                        [](std::size_t sum, const Block& block) { return sum + block.size(); });
    if (blocks.size() > 255 || byteCount > 0xFFFF)
        throw SynthError("an ensemble would exceed 65535 bytes or 255 data types");
    ByteWriter w;
    w.U8(0x7F);
    w.U8(0x7F);
    w.U16(static_cast<std::uint16_t>(byteCount));
    w.U8(0);
    w.U8(static_cast<std::uint8_t>(blocks.size()));
    std::size_t offset = headerBytes;
    for (const Block& block : blocks) {
        w.U16(static_cast<std::uint16_t>(offset));
        offset += block.size();
    }
    for (const Block& block : blocks)
        w.Append(block);
    w.U16(Pd0Checksum(w.Bytes()));
    return w.Take();
}

}  // namespace

void ByteWriter::LittleEndian(std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes_.push_back(static_cast<std::uint8_t>(value & 0xFFU));
        value >>= 8;
    }
}

void ByteWriter::F32(float value) {
    LittleEndian(std::bit_cast<std::uint32_t>(value), 4);
}

void ByteWriter::F64(double value) {
    LittleEndian(std::bit_cast<std::uint64_t>(value), 8);
}

void ByteWriter::Zeros(std::size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
}

void ByteWriter::Text(std::string_view text, std::size_t width) {
    const std::string_view kept = text.substr(0, width);
    bytes_.insert(bytes_.end(), kept.begin(), kept.end());
    Zeros(width - kept.size());
}

void ByteWriter::Append(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

std::uint16_t Pd0Checksum(std::span<const std::uint8_t> bytes) {
    const std::uint32_t sum = std::accumulate(bytes.begin(), bytes.end(), std::uint32_t{0});
    return static_cast<std::uint16_t>(sum & 0xFFFFU);
}

std::vector<std::uint8_t> EncodeEnsemble(const Pd0Ensemble& e) {
    CheckCellLists(e);
    std::vector<Block> blocks;
    blocks.push_back(FixedLeaderBlock(e.fixed, e.velocity.size()));
    blocks.push_back(VariableLeaderBlock(e.variable));
    blocks.push_back(VelocityBlock(e.velocity));
    blocks.push_back(CountBlock(kCorrelationId, e.correlation));
    blocks.push_back(CountBlock(kIntensityId, e.intensity));
    blocks.push_back(CountBlock(kPercentGoodId, e.percentGood));
    if (e.bottomTrack) blocks.push_back(BottomTrackBlock(*e.bottomTrack));
    blocks.insert(blocks.end(), e.navigation.begin(), e.navigation.end());
    return Frame(blocks);
}

}  // namespace fluvex::synth
