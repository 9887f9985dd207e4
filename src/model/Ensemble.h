#pragma once

// One ping of an ADCP, whatever instrument recorded it.
//
// The instrument's leaders and data blocks are kept as PD0 byte images, little-endian and at the
// block offsets of the PD0 format, so that one set of accessors serves every instrument family:
// the PD0 reader copies the recorded bytes, the readers of other families write their values into
// the same slots through the setters. Fields are read and written one by one through a checked
// little-endian helper, never by casting structs over the bytes.
//
// The per-cell blocks are sized to the ping's cell count rather than to the 200-cell maximum: a
// line holds thousands of pings, and most of them have a few dozen cells.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "model/BadValue.h"

namespace fluvex {

// Depth cells a ping may have; a fixed leader declaring more is refused by the readers.
inline constexpr int kMaxCells = 200;
// Beams assumed by every block, whatever the fixed leader says.
inline constexpr int kBeamCount = 4;

// Bits of `Ensemble::present`: which blocks the ping delivered.
namespace PresentBit {
inline constexpr std::uint8_t FixedLeader = 0x01;
inline constexpr std::uint8_t VariableLeader = 0x02;
inline constexpr std::uint8_t Velocity = 0x04;
inline constexpr std::uint8_t Correlation = 0x08;
inline constexpr std::uint8_t EchoIntensity = 0x10;
inline constexpr std::uint8_t PercentGood = 0x20;
inline constexpr std::uint8_t BottomTrack = 0x40;
// The position came from a navigation block inside the instrument file.
inline constexpr std::uint8_t EmbeddedPosition = 0x80;
}  // namespace PresentBit

namespace detail {
// Little-endian unsigned field of `width` bytes (1 to 4) at `offset`. A field that does not lie
// wholly inside `bytes` reads as 0 and is not written, so a wrong index never reaches past the end.
// Inline: the block images call them with constant offsets and widths, which then fold into
// plain loads and stores (sorting a large line reads the clock fields of every record).
inline bool FieldFits(std::size_t size, std::size_t offset, std::size_t width) {
    return width <= sizeof(std::uint32_t) && offset <= size && width <= size - offset;
}

inline std::uint32_t LoadLittleEndian(std::span<const std::uint8_t> bytes, std::size_t offset,
                                      std::size_t width) {
    if (!FieldFits(bytes.size(), offset, width)) return 0;
    const auto field = bytes.subspan(offset, width);
    std::uint32_t value = 0;
    for (auto byte = field.rbegin(); byte != field.rend(); ++byte)
        value = (value << 8) | *byte;
    return value;
}

inline void StoreLittleEndian(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t width,
                              std::uint32_t value) {
    if (!FieldFits(bytes.size(), offset, width)) return;
    for (std::uint8_t& byte : bytes.subspan(offset, width)) {
        byte = static_cast<std::uint8_t>(value & 0xFFU);
        value >>= 8;
    }
}
}  // namespace detail

// A fixed-size PD0 block image, as recorded. The typed subclasses name the fields we use; the
// rest of the bytes are held without being interpreted.
template <std::size_t Size>
class ByteImage {
public:
    std::span<const std::uint8_t, Size> Bytes() const { return bytes_; }

    // Copies the first `Size` bytes of a recorded block (starting at its ID); a shorter block
    // leaves the missing bytes zero.
    void AssignRecorded(std::span<const std::uint8_t> recorded) {
        bytes_.fill(0);
        std::copy_n(recorded.begin(), std::min(recorded.size(), Size), bytes_.begin());
    }

    void Clear() { bytes_.fill(0); }

    bool operator==(const ByteImage&) const = default;

protected:
    std::uint8_t U8(std::size_t at) const { return static_cast<std::uint8_t>(Load(at, 1)); }
    std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(Load(at, 2)); }
    std::int16_t I16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::uint32_t U32(std::size_t at) const { return Load(at, 4); }

    void SetU8(std::size_t at, std::uint8_t value) { Store(at, 1, value); }
    void SetU16(std::size_t at, std::uint16_t value) { Store(at, 2, value); }
    void SetI16(std::size_t at, std::int16_t value) {
        SetU16(at, static_cast<std::uint16_t>(value));
    }
    void SetU32(std::size_t at, std::uint32_t value) { Store(at, 4, value); }

private:
    std::uint32_t Load(std::size_t at, std::size_t width) const {
        return detail::LoadLittleEndian(bytes_, at, width);
    }
    void Store(std::size_t at, std::size_t width, std::uint32_t value) {
        detail::StoreLittleEndian(bytes_, at, width, value);
    }

    std::array<std::uint8_t, Size> bytes_{};
};

// Axes the velocities of a PD0 ping were recorded in (coordinate transformation, bits 3-4).
enum class CoordinateFrame : std::uint8_t {
    Beam = 0x00,
    Instrument = 0x08,
    Ship = 0x10,
    Earth = 0x18
};

// The first 50 bytes of the fixed leader (ID 0x0000).
class FixedLeader : public ByteImage<50> {
public:
    // Bit 3: convex beam pattern; bits 8-9: beam angle code.
    std::uint16_t SystemConfiguration() const { return U16(SystemConfigurationAt); }
    void SetSystemConfiguration(std::uint16_t bits) { SetU16(SystemConfigurationAt, bits); }
    bool ConvexBeamPattern() const;
    // 15, 20, 30 or 25 degrees for the codes 0 to 3.
    double BeamAngleDegrees() const;

    // Number of depth cells N, 0 to 200 in a usable ping.
    std::uint8_t CellCount() const { return U8(CellCountAt); }
    void SetCellCount(std::uint8_t cells) { SetU8(CellCountAt, cells); }

    std::uint16_t DepthCellLengthCm() const { return U16(DepthCellLengthAt); }
    void SetDepthCellLengthCm(std::uint16_t cm) { SetU16(DepthCellLengthAt, cm); }

    std::uint16_t BlankAfterTransmitCm() const { return U16(BlankAfterTransmitAt); }
    void SetBlankAfterTransmitCm(std::uint16_t cm) { SetU16(BlankAfterTransmitAt, cm); }

    // Counts.
    std::uint8_t LowCorrelationThreshold() const { return U8(LowCorrelationThresholdAt); }
    void SetLowCorrelationThreshold(std::uint8_t counts) {
        SetU8(LowCorrelationThresholdAt, counts);
    }

    // Bits 3-4: the recorded axes; bit 2: tilts already applied.
    std::uint8_t CoordinateTransform() const { return U8(CoordinateTransformAt); }
    void SetCoordinateTransform(std::uint8_t bits) { SetU8(CoordinateTransformAt, bits); }
    CoordinateFrame Frame() const;
    bool TiltsApplied() const;

    // Bit 3: pitch comes from the tilt sensor.
    std::uint8_t SensorSource() const { return U8(SensorSourceAt); }
    void SetSensorSource(std::uint8_t bits) { SetU8(SensorSourceAt, bits); }
    bool PitchFromTiltSensor() const;

    // Transducer to the centre of cell 1.
    std::uint16_t Bin1DistanceCm() const { return U16(Bin1DistanceAt); }
    void SetBin1DistanceCm(std::uint16_t cm) { SetU16(Bin1DistanceAt, cm); }

    std::uint16_t TransmitPulseLengthCm() const { return U16(TransmitPulseLengthAt); }
    void SetTransmitPulseLengthCm(std::uint16_t cm) { SetU16(TransmitPulseLengthAt, cm); }

    // The ping time when the ADCP clock is not used for timing.
    std::uint32_t TimeTagMs() const { return U32(TimeTagAt); }
    void SetTimeTagMs(std::uint32_t ms) { SetU32(TimeTagAt, ms); }

private:
    static constexpr std::size_t SystemConfigurationAt = 4;
    static constexpr std::size_t CellCountAt = 9;
    static constexpr std::size_t DepthCellLengthAt = 12;
    static constexpr std::size_t BlankAfterTransmitAt = 14;
    static constexpr std::size_t LowCorrelationThresholdAt = 17;
    static constexpr std::size_t CoordinateTransformAt = 25;
    static constexpr std::size_t SensorSourceAt = 30;
    static constexpr std::size_t Bin1DistanceAt = 32;
    static constexpr std::size_t TransmitPulseLengthAt = 34;
    static constexpr std::size_t TimeTagAt = 42;
};

// The first 57 bytes of the variable leader (ID 0x0080). Held as recorded except the month,
// which counts from 0 here, and a transducer depth of 0xFFFF, which is held as 0.
class VariableLeader : public ByteImage<57> {
public:
    // Copies a block read from a file and brings month and transducer depth to the held form.
    void AssignRecorded(std::span<const std::uint8_t> recorded);

    std::uint16_t EnsembleNumber() const { return U16(EnsembleNumberAt); }
    void SetEnsembleNumber(std::uint16_t number) { SetU16(EnsembleNumberAt, number); }

    // Instrument clock: two-digit year (2000 + value), month 0 = January ... 11 = December.
    std::uint8_t RtcYear() const { return U8(RtcYearAt); }
    std::uint8_t RtcMonth() const { return U8(RtcMonthAt); }
    std::uint8_t RtcDay() const { return U8(RtcDayAt); }
    std::uint8_t RtcHour() const { return U8(RtcHourAt); }
    std::uint8_t RtcMinute() const { return U8(RtcMinuteAt); }
    std::uint8_t RtcSecond() const { return U8(RtcSecondAt); }
    std::uint8_t RtcHundredths() const { return U8(RtcHundredthsAt); }
    void SetRtcYear(std::uint8_t year) { SetU8(RtcYearAt, year); }
    void SetRtcMonth(std::uint8_t month) { SetU8(RtcMonthAt, month); }
    void SetRtcDay(std::uint8_t day) { SetU8(RtcDayAt, day); }
    void SetRtcHour(std::uint8_t hour) { SetU8(RtcHourAt, hour); }
    void SetRtcMinute(std::uint8_t minute) { SetU8(RtcMinuteAt, minute); }
    void SetRtcSecond(std::uint8_t second) { SetU8(RtcSecondAt, second); }
    void SetRtcHundredths(std::uint8_t hundredths) { SetU8(RtcHundredthsAt, hundredths); }

    // m/s.
    std::uint16_t SpeedOfSound() const { return U16(SpeedOfSoundAt); }
    void SetSpeedOfSound(std::uint16_t ms) { SetU16(SpeedOfSoundAt, ms); }

    // Decimetres.
    std::uint16_t TransducerDepthDm() const { return U16(TransducerDepthAt); }
    void SetTransducerDepthDm(std::uint16_t dm) { SetU16(TransducerDepthAt, dm); }

    // Attitude in hundredths of a degree.
    std::uint16_t Heading() const { return U16(HeadingAt); }
    std::int16_t Pitch() const { return I16(PitchAt); }
    std::int16_t Roll() const { return I16(RollAt); }
    void SetHeading(std::uint16_t hundredths) { SetU16(HeadingAt, hundredths); }
    void SetPitch(std::int16_t hundredths) { SetI16(PitchAt, hundredths); }
    void SetRoll(std::int16_t hundredths) { SetI16(RollAt, hundredths); }

    // Parts per thousand.
    std::uint16_t Salinity() const { return U16(SalinityAt); }
    void SetSalinity(std::uint16_t ppt) { SetU16(SalinityAt, ppt); }

    // Hundredths of a degree Celsius.
    std::int16_t Temperature() const { return I16(TemperatureAt); }
    void SetTemperature(std::int16_t hundredths) { SetI16(TemperatureAt, hundredths); }

private:
    static constexpr std::size_t EnsembleNumberAt = 2;
    static constexpr std::size_t RtcYearAt = 4;
    static constexpr std::size_t RtcMonthAt = 5;
    static constexpr std::size_t RtcDayAt = 6;
    static constexpr std::size_t RtcHourAt = 7;
    static constexpr std::size_t RtcMinuteAt = 8;
    static constexpr std::size_t RtcSecondAt = 9;
    static constexpr std::size_t RtcHundredthsAt = 10;
    static constexpr std::size_t SpeedOfSoundAt = 14;
    static constexpr std::size_t TransducerDepthAt = 16;
    static constexpr std::size_t HeadingAt = 18;
    static constexpr std::size_t PitchAt = 20;
    static constexpr std::size_t RollAt = 22;
    static constexpr std::size_t SalinityAt = 24;
    static constexpr std::size_t TemperatureAt = 26;
};

// The first 93 bytes of the bottom-track block (ID 0x0600). A beam outside 0-3 reads as range 0
// and a bad velocity, and is not written.
class BottomTrack : public ByteImage<93> {
public:
    // Centimetres along the beam; 0 = no bottom detected.
    std::uint16_t RangeCm(int beam) const;
    void SetRangeCm(int beam, std::uint16_t cm);

    // mm/s in the recorded axes; kBadVelocity when the beam had no bottom lock.
    std::int16_t Velocity(int beam) const;
    void SetVelocity(int beam, std::int16_t mmPerS);
};

// The vertical beam block (ID 0x4100): bytes 0-3 held, the range, the status.
class VerticalBeam : public ByteImage<9> {
public:
    std::uint32_t RangeMm() const { return U32(RangeAt); }
    void SetRangeMm(std::uint32_t mm) { SetU32(RangeAt, mm); }

    std::uint8_t Status() const { return U8(StatusAt); }
    void SetStatus(std::uint8_t status) { SetU8(StatusAt, status); }

private:
    static constexpr std::size_t RangeAt = 4;
    static constexpr std::size_t StatusAt = 8;
};

// The per-cell PD0 blocks that depend on the cell count.
enum class CellBlock : std::uint8_t { Velocity, Correlation, EchoIntensity, PercentGood };

namespace detail {
// A polymorphic allocator whose value-less construction leaves bytes as they are: a decoder that
// is about to copy every recorded block over its cells need not zero them first (that pass and
// its cache misses were a fifth of opening a large file). Copies go to the default resource, as
// a std::pmr container's do.
template <class T>
class DefaultInitAllocator : public std::pmr::polymorphic_allocator<T> {
public:
    using Base = std::pmr::polymorphic_allocator<T>;
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };

    DefaultInitAllocator() = default;
    DefaultInitAllocator(std::pmr::memory_resource* resource) : Base(resource) {}  // NOLINT
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U>& other) noexcept  // NOLINT
        : Base(other.resource()) {}

    template <class U>
    void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Arguments>
    void construct(U* place, Arguments&&... arguments) {
        Base::construct(place, std::forward<Arguments>(arguments)...);
    }

    DefaultInitAllocator select_on_container_copy_construction() const { return {}; }
};
}  // namespace detail

// Velocity (i16 per cell and beam, mm/s), correlation magnitude, echo intensity and percent good
// (u8 per cell and beam) of N cells, in one allocation of 20 * N bytes. The velocities stay in
// their recorded little-endian form. A cell or beam out of range reads as kBadVelocity (velocity)
// or 0 and is not written, so callers may index with whatever the data gives them.
//
// The bytes live on the heap unless a storage resource is given (a reader's arena). A copy is
// always on the heap, so that it may outlive that storage; a move keeps the storage of the
// original.
class CellBlocks {
public:
    CellBlocks() = default;
    // `storage` must outlive these blocks and whatever is moved from them.
    explicit CellBlocks(std::pmr::memory_resource* storage) : bytes_(storage) {}

    int CellCount() const { return static_cast<int>(bytes_.size() / kBytesPerCell); }

    // N zero-filled cells. A count outside 0 ... kMaxCells leaves no cells and returns false.
    bool Reset(int cellCount);
    // As Reset, but the values are left as they happen to be: for a decoder that then assigns
    // every block or clears it (ClearBlock), so that no byte is written twice.
    bool ResetForAssignment(int cellCount);
    // Zeroes one block of every cell.
    void ClearBlock(CellBlock block);

    // Copies one recorded block (starting at its 2-byte ID; cell c, beam b of the velocity block
    // at 2 + 8c + 2b, of the others at 2 + 4c + b). False, with the block left as it was, when
    // the recorded block is too short for the current cell count.
    bool AssignRecorded(CellBlock block, std::span<const std::uint8_t> recorded);

    std::int16_t Velocity(int cell, int beam) const;
    std::uint8_t Correlation(int cell, int beam) const;
    std::uint8_t EchoIntensity(int cell, int beam) const;
    std::uint8_t PercentGood(int cell, int beam) const;
    // The four beams of one cell at once, for loops over every cell of a line; a cell out of
    // range reads as the single-value reads do. Inline: they run once per cell of a line.
    std::array<std::int16_t, kBeamCount> CellVelocities(int cell) const {
        std::array<std::int16_t, kBeamCount> values;
        values.fill(kBadVelocity);
        if (cell < 0 || cell >= CellCount()) return values;
        const std::uint8_t* at = bytes_.data() + static_cast<std::size_t>(cell) * 2 * kBeamCount;
        for (std::size_t beam = 0; beam < values.size(); ++beam)
            values[beam] = static_cast<std::int16_t>(at[2 * beam] | at[2 * beam + 1] << 8);
        return values;
    }
    std::array<std::uint8_t, kBeamCount> CellEchoIntensities(int cell) const {
        std::array<std::uint8_t, kBeamCount> values{};
        if (cell < 0 || cell >= CellCount()) return values;
        const std::size_t intensitiesAt = bytes_.size() / kBytesPerCell * (2 + 1) * kBeamCount;
        std::copy_n(bytes_.data() + intensitiesAt + static_cast<std::size_t>(cell) * kBeamCount,
                    kBeamCount, values.begin());
        return values;
    }
    // Every value of one block, cell after cell, as recorded (velocities little-endian, two
    // bytes per beam): for loops over every cell of a line that check the cells once.
    std::span<const std::uint8_t> BlockBytes(CellBlock block) const { return Region(block); }

    void SetVelocity(int cell, int beam, std::int16_t mmPerS);
    void SetCorrelation(int cell, int beam, std::uint8_t counts);
    void SetEchoIntensity(int cell, int beam, std::uint8_t counts);
    void SetPercentGood(int cell, int beam, std::uint8_t percent);

    bool operator==(const CellBlocks&) const = default;

private:
    // Velocity (two bytes per beam), correlation, echo intensity and percent good (one each).
    static constexpr std::size_t kBytesPerCell = (2 + 1 + 1 + 1) * kBeamCount;

    std::span<const std::uint8_t> Region(CellBlock block) const;
    std::span<std::uint8_t> Region(CellBlock block);
    std::optional<std::uint32_t> Read(CellBlock block, int cell, int beam) const;
    void Write(CellBlock block, int cell, int beam, std::uint32_t value);

    std::vector<std::uint8_t, detail::DefaultInitAllocator<std::uint8_t>> bytes_;
};

// One processed depth cell, or a velocity vector of the same shape (reference, bottom track,
// depth mean). mm/s in earth axes.
struct CellVelocity {
    std::int16_t east = 0;
    std::int16_t north = 0;
    std::int16_t up = 0;
    // For a cell: the integer mean of its four echo intensities (0 without an intensity block),
    // kept even when the velocity is bad; the views' "Error" component shows it. 0 for the other
    // vectors.
    std::int16_t echoIntensity = 0;

    // The echo intensity does not count: it is not a velocity.
    bool IsBad() const {
        return east == kBadVelocity || north == kBadVelocity || up == kBadVelocity;
    }

    bool operator==(const CellVelocity&) const = default;
};

// The processed cells of one ping. A loaded line's records keep them in the reader's arena, beside
// their cell blocks: a first processing pass then takes no heap allocation per ping.
using ProcessedCells = std::vector<CellVelocity, detail::DefaultInitAllocator<CellVelocity>>;

// A velocity with what the views derive from it. Members without a valid input hold kBadValue.
struct VelocityInfo {
    std::int16_t east = 0;
    std::int16_t north = 0;
    std::int16_t up = 0;
    std::int16_t echoIntensity = 0;
    double magnitude2D = 0.0;  // mm/s
    double magnitude3D = 0.0;  // mm/s
    double direction = 0.0;    // degrees clockwise from north, 0 <= d < 360
};

// Navigation of one ping, from the survey's edited file or from the instrument file.
struct NavRecord {
    bool positionValid = false;  // x and y hold a grid position
    double x = 0.0;              // grid easting, project distance unit
    double y = 0.0;              // grid northing
    // From the first positioned ping of the line, or the interpolated along-line distance.
    double distance = 0.0;
    double depth1 = 0.0;    // echo sounder, high frequency
    double depth2 = 0.0;    // echo sounder, low frequency
    double course = 0.0;    // over ground, degrees from north
    double speed = 0.0;     // over ground, mm/s
    double heading = 0.0;   // degrees, edited file
    double pitch = 0.0;     // degrees, edited file
    double roll = 0.0;      // degrees, edited file
    double vertical = 0.0;  // fourth interpolated sensor; vertical boat velocity

    bool operator==(const NavRecord&) const = default;
};

// The beam geometry of a ping of the other instrument family, radians per beam. A PD0 ping carries
// none: its fixed leader gives it.
struct BeamAngles {
    std::array<double, kBeamCount> elevation{};
    std::array<double, kBeamCount> azimuth{};

    bool operator==(const BeamAngles&) const = default;
};

// One set of beam angles shared by every ping of a file that has it, rather than 64 bytes in
// every record of every line: immutable, all zero until set, and compared by value.
class SharedBeamAngles {
public:
    SharedBeamAngles() = default;
    explicit SharedBeamAngles(const BeamAngles& angles)
        : angles_(std::make_shared<const BeamAngles>(angles)) {}

    const BeamAngles& Get() const {
        static const BeamAngles none;
        return angles_ ? *angles_ : none;
    }

    bool operator==(const SharedBeamAngles& other) const { return Get() == other.Get(); }

private:
    std::shared_ptr<const BeamAngles> angles_;
};

// Which part of a discharge measurement a ping belongs to. Transects of the other instrument
// family mark the pings taken while the boat is held near a bank before and after crossing.
enum class MeasurementPart : std::uint8_t { Transect = 0, StartEdge = 1, EndEdge = 2 };

// One ping. A plain value: copying it copies every block and the cells list, onto the heap.
struct Ensemble {
    Ensemble() = default;
    // Cell blocks and processed cells kept in `cellStorage` (a reader's arena), which must
    // outlive this record and any record moved from it. Copies do not depend on it.
    explicit Ensemble(std::pmr::memory_resource* cellStorage)
        : cells(cellStorage), cellBlocks(cellStorage) {}

    FixedLeader fixedLeader;
    // Only pings of SonTek instruments carry them; PD0 pings leave them 0.
    SharedBeamAngles beamAngles;
    NavRecord navigation;
    // Fixed leader, variable leader and velocity all arrived; nothing else is read otherwise.
    bool loaded = false;
    std::uint8_t present = 0;  // PresentBit values
    // Empty until processed, then one element per cell.
    ProcessedCells cells;
    // What processing subtracts from every cell: bottom or boat velocity, mm/s.
    CellVelocity referenceVelocity;
    // Earth-axes bottom-track velocity, kept for the boat-speed view whatever the reference.
    CellVelocity bottomTrackVelocity;
    // Set by the two SonTek reading paths, one each; both 0 for PD0 pings.
    std::uint8_t sonTekFlag1 = 0;
    std::uint8_t sonTekFlag2 = 0;
    // Edge pings count for the edge estimates of the discharge, not for its measured part.
    MeasurementPart part = MeasurementPart::Transect;
    VariableLeader variableLeader;
    CellBlocks cellBlocks;
    BottomTrack bottomTrack;
    VerticalBeam verticalBeam;

    bool Has(std::uint8_t presentBit) const { return (present & presentBit) != 0; }
    void MarkPresent(std::uint8_t presentBit) { present |= presentBit; }
    void MarkAbsent(std::uint8_t presentBit);

    bool IsSonTek() const { return sonTekFlag1 != 0 || sonTekFlag2 != 0; }

    // Everything a decoder fills from one ping: both leaders, the data blocks, the navigation
    // record, the present bits and the loaded flag. The SonTek flags, beam geometry, processed
    // velocities and cells stay, so that a reader can reuse one work record.
    void ClearPingData();

    // ClearPingData, the SonTek flags, the measurement part, and the cells list released. Beam
    // geometry and the reference and bottom-track velocities are left as they are: processing
    // rewrites the velocities and only SonTek readers write the geometry.
    void Clear();

    bool operator==(const Ensemble&) const = default;
};

}  // namespace fluvex
