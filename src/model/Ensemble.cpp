#include "model/Ensemble.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace fluvex {

namespace {

bool IsBeam(int beam) {
    return beam >= 0 && beam < kBeamCount;
}

// Offset of a per-beam field in a block image, for a beam already checked.
std::size_t BeamFieldAt(std::size_t firstBeamAt, int beam, std::size_t width) {
    return firstBeamAt + static_cast<std::size_t>(beam) * width;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fixed leader

bool FixedLeader::ConvexBeamPattern() const {
    return (SystemConfiguration() & 0x0008U) != 0;
}

double FixedLeader::BeamAngleDegrees() const {
    static constexpr std::array<double, 4> DegreesByCode = {15.0, 20.0, 30.0, 25.0};
    return DegreesByCode[(SystemConfiguration() >> 8) & 0x03U];
}

CoordinateFrame FixedLeader::Frame() const {
    return static_cast<CoordinateFrame>(CoordinateTransform() & 0x18U);
}

bool FixedLeader::TiltsApplied() const {
    return (CoordinateTransform() & 0x04U) != 0;
}

bool FixedLeader::PitchFromTiltSensor() const {
    return (SensorSource() & 0x08U) != 0;
}

// ---------------------------------------------------------------------------------------------
// Variable leader

void VariableLeader::AssignRecorded(std::span<const std::uint8_t> recorded) {
    ByteImage::AssignRecorded(recorded);
    // Files count months from 1, the date arithmetic from 0. A recorded 0 becomes 255, which the
    // time functions refuse as a month.
    SetRtcMonth(static_cast<std::uint8_t>(RtcMonth() - 1));
    // 0xFFFF is what the instrument records when no transducer depth was entered.
    if (TransducerDepthDm() == 0xFFFFU) SetTransducerDepthDm(0);
}

// ---------------------------------------------------------------------------------------------
// Bottom track

namespace {
constexpr std::size_t BottomTrackRangeAt = 16;
constexpr std::size_t BottomTrackVelocityAt = 24;
}  // namespace

std::uint16_t BottomTrack::RangeCm(int beam) const {
    return IsBeam(beam) ? U16(BeamFieldAt(BottomTrackRangeAt, beam, 2)) : 0;
}

void BottomTrack::SetRangeCm(int beam, std::uint16_t cm) {
    if (IsBeam(beam)) SetU16(BeamFieldAt(BottomTrackRangeAt, beam, 2), cm);
}

std::int16_t BottomTrack::Velocity(int beam) const {
    return IsBeam(beam) ? I16(BeamFieldAt(BottomTrackVelocityAt, beam, 2)) : kBadVelocity;
}

void BottomTrack::SetVelocity(int beam, std::int16_t mmPerS) {
    if (IsBeam(beam)) SetI16(BeamFieldAt(BottomTrackVelocityAt, beam, 2), mmPerS);
}

// ---------------------------------------------------------------------------------------------
// Per-cell blocks
//
// bytes_ holds the four blocks one after the other without their IDs: velocity (8 bytes per
// cell), then correlation, echo intensity and percent good (4 bytes per cell each).

namespace {

constexpr std::size_t RecordedIdBytes = 2;

constexpr std::size_t ValueWidth(CellBlock block) {
    return block == CellBlock::Velocity ? 2 : 1;
}

constexpr std::size_t BytesPerCell(CellBlock block) {
    return ValueWidth(block) * kBeamCount;
}

// Bytes per cell of the blocks stored before `block`.
constexpr std::size_t BytesPerCellBefore(CellBlock block) {
    switch (block) {
        case CellBlock::Velocity:
            return 0;
        case CellBlock::Correlation:
            return 8;
        case CellBlock::EchoIntensity:
            return 8 + 4;
        case CellBlock::PercentGood:
            return 8 + 4 + 4;
    }
    return 0;
}

constexpr std::size_t BytesPerCellAllBlocks =
    BytesPerCellBefore(CellBlock::PercentGood) + BytesPerCell(CellBlock::PercentGood);
static_assert(BytesPerCellAllBlocks == 20);
static_assert(BytesPerCellBefore(CellBlock::EchoIntensity) == 12);

struct Extent {
    std::size_t offset;
    std::size_t size;
};

// Where a block's values lie inside the storage of `cellCount` cells.
Extent RegionExtent(CellBlock block, int cellCount) {
    const auto cells = static_cast<std::size_t>(cellCount);
    return {BytesPerCellBefore(block) * cells, BytesPerCell(block) * cells};
}

// Offset of one value inside its block's region, or nothing for a cell or beam out of range.
std::optional<std::size_t> ValueAt(CellBlock block, int cell, int beam, int cellCount) {
    if (cell < 0 || cell >= cellCount || !IsBeam(beam)) return std::nullopt;
    return static_cast<std::size_t>(cell) * BytesPerCell(block) +
           BeamFieldAt(0, beam, ValueWidth(block));
}

}  // namespace

bool CellBlocks::Reset(int cellCount) {
    const bool valid = cellCount >= 0 && cellCount <= kMaxCells;
    // assign() keeps the capacity, so a reader's work record is not reallocated for every ping.
    bytes_.assign(valid ? static_cast<std::size_t>(cellCount) * BytesPerCellAllBlocks : 0, 0);
    return valid;
}

bool CellBlocks::ResetForAssignment(int cellCount) {
    const bool valid = cellCount >= 0 && cellCount <= kMaxCells;
    bytes_.resize(valid ? static_cast<std::size_t>(cellCount) * BytesPerCellAllBlocks : 0);
    return valid;
}

void CellBlocks::ClearBlock(CellBlock block) {
    const auto region = Region(block);
    std::fill(region.begin(), region.end(), std::uint8_t{0});
}

std::span<const std::uint8_t> CellBlocks::Region(CellBlock block) const {
    const auto [offset, size] = RegionExtent(block, CellCount());
    return std::span(bytes_).subspan(offset, size);
}

std::span<std::uint8_t> CellBlocks::Region(CellBlock block) {
    const auto [offset, size] = RegionExtent(block, CellCount());
    return std::span(bytes_).subspan(offset, size);
}

bool CellBlocks::AssignRecorded(CellBlock block, std::span<const std::uint8_t> recorded) {
    const auto region = Region(block);
    if (recorded.size() < RecordedIdBytes + region.size()) return false;
    // A plain memory copy: the ranges algorithm over spans is not turned into one by g++ 12, and
    // this copy is most of the decoding time of a file.
    if (!region.empty())
        std::memcpy(region.data(), recorded.data() + RecordedIdBytes, region.size());
    return true;
}

std::optional<std::uint32_t> CellBlocks::Read(CellBlock block, int cell, int beam) const {
    const auto at = ValueAt(block, cell, beam, CellCount());
    if (!at) return std::nullopt;
    return detail::LoadLittleEndian(Region(block), *at, ValueWidth(block));
}

void CellBlocks::Write(CellBlock block, int cell, int beam, std::uint32_t value) {
    const auto at = ValueAt(block, cell, beam, CellCount());
    if (at) detail::StoreLittleEndian(Region(block), *at, ValueWidth(block), value);
}

std::int16_t CellBlocks::Velocity(int cell, int beam) const {
    const auto value = Read(CellBlock::Velocity, cell, beam);
    return value ? static_cast<std::int16_t>(*value) : kBadVelocity;
}

std::uint8_t CellBlocks::Correlation(int cell, int beam) const {
    return static_cast<std::uint8_t>(Read(CellBlock::Correlation, cell, beam).value_or(0));
}

std::uint8_t CellBlocks::EchoIntensity(int cell, int beam) const {
    return static_cast<std::uint8_t>(Read(CellBlock::EchoIntensity, cell, beam).value_or(0));
}

std::uint8_t CellBlocks::PercentGood(int cell, int beam) const {
    return static_cast<std::uint8_t>(Read(CellBlock::PercentGood, cell, beam).value_or(0));
}

void CellBlocks::SetVelocity(int cell, int beam, std::int16_t mmPerS) {
    Write(CellBlock::Velocity, cell, beam, static_cast<std::uint16_t>(mmPerS));
}

void CellBlocks::SetCorrelation(int cell, int beam, std::uint8_t counts) {
    Write(CellBlock::Correlation, cell, beam, counts);
}

void CellBlocks::SetEchoIntensity(int cell, int beam, std::uint8_t counts) {
    Write(CellBlock::EchoIntensity, cell, beam, counts);
}

void CellBlocks::SetPercentGood(int cell, int beam, std::uint8_t percent) {
    Write(CellBlock::PercentGood, cell, beam, percent);
}

// ---------------------------------------------------------------------------------------------
// Ensemble

void Ensemble::MarkAbsent(std::uint8_t presentBit) {
    present = static_cast<std::uint8_t>(present & ~presentBit);
}

void Ensemble::ClearPingData() {
    fixedLeader.Clear();
    navigation = NavRecord{};
    loaded = false;
    present = 0;
    variableLeader.Clear();
    cellBlocks.Reset(0);
    bottomTrack.Clear();
    verticalBeam.Clear();
}

void Ensemble::Clear() {
    ClearPingData();
    sonTekFlag1 = 0;
    sonTekFlag2 = 0;
    part = MeasurementPart::Transect;
    // Frees the storage (on the heap; an arena takes it back all at once); clear() alone would
    // keep it.
    cells.clear();
    cells.shrink_to_fit();
}

}  // namespace fluvex
