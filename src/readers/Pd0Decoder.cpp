#include "readers/Pd0Decoder.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

#include "model/Ensemble.h"
#include "model/LittleEndianView.h"
#include "readers/Pd0Navigation.h"

namespace fluvex {

namespace {

constexpr std::uint16_t kFixedLeaderId = 0x0000;
constexpr std::uint16_t kVariableLeaderId = 0x0080;
constexpr std::uint16_t kVelocityId = 0x0100;
constexpr std::uint16_t kCorrelationId = 0x0200;
constexpr std::uint16_t kEchoIntensityId = 0x0300;
constexpr std::uint16_t kPercentGoodId = 0x0400;
constexpr std::uint16_t kBottomTrackId = 0x0600;
constexpr std::uint16_t kVerticalBeamId = 0x4100;

// The shortest block that holds every field the program reads from it. Instruments write
// shorter blocks than the record's images (bottom track: 81-89 bytes of 93), so the images take
// what there is and stay zero beyond it; a block without the fields we read is refused.
constexpr std::size_t kFixedLeaderMinLength = 46;     // time tag u32 at 42
constexpr std::size_t kVariableLeaderMinLength = 28;  // temperature i16 at 26
constexpr std::size_t kBottomTrackMinLength = 32;     // beam velocities i16 at 24-31
constexpr std::size_t kVerticalBeamMinLength = 9;     // status u8 at 8

constexpr std::size_t kBlockIdSize = 2;
constexpr std::size_t kChecksumSize = 2;

FrameKind KindOf(std::uint16_t headerId) {
    return headerId == kWavesRecordHeaderId ? FrameKind::WavesRecord : FrameKind::Ensemble;
}

DecodeStatus ReadFixedLeader(Ensemble& ensemble, std::span<const std::uint8_t> block) {
    if (ensemble.Has(PresentBit::FixedLeader)) return DecodeStatus::RepeatedFixedLeader;
    if (block.size() < kFixedLeaderMinLength) return DecodeStatus::BlockTooShort;
    ensemble.fixedLeader.AssignRecorded(block);
    if (!ensemble.cellBlocks.ResetForAssignment(ensemble.fixedLeader.CellCount()))
        return DecodeStatus::TooManyCells;
    ensemble.MarkPresent(PresentBit::FixedLeader);
    return DecodeStatus::Ok;
}

DecodeStatus ReadVariableLeader(Ensemble& ensemble, std::span<const std::uint8_t> block) {
    if (block.size() < kVariableLeaderMinLength) return DecodeStatus::BlockTooShort;
    ensemble.variableLeader.AssignRecorded(block);
    ensemble.MarkPresent(PresentBit::VariableLeader);
    return DecodeStatus::Ok;
}

// Velocity, correlation, echo intensity and percent good: sized by the fixed leader's cell count.
DecodeStatus ReadCellBlock(Ensemble& ensemble, std::span<const std::uint8_t> block, CellBlock kind,
                           std::uint8_t presentBit) {
    if (!ensemble.Has(PresentBit::FixedLeader)) return DecodeStatus::ProfileBeforeFixedLeader;
    if (!ensemble.cellBlocks.AssignRecorded(kind, block)) return DecodeStatus::BlockTooShort;
    ensemble.MarkPresent(presentBit);
    return DecodeStatus::Ok;
}

DecodeStatus ReadBottomTrack(Ensemble& ensemble, std::span<const std::uint8_t> block) {
    if (block.size() < kBottomTrackMinLength) return DecodeStatus::BlockTooShort;
    ensemble.bottomTrack.AssignRecorded(block);
    ensemble.MarkPresent(PresentBit::BottomTrack);
    return DecodeStatus::Ok;
}

DecodeStatus ReadVerticalBeam(Ensemble& ensemble, std::span<const std::uint8_t> block) {
    if (block.size() < kVerticalBeamMinLength) return DecodeStatus::BlockTooShort;
    ensemble.verticalBeam.AssignRecorded(block);
    return DecodeStatus::Ok;
}

// One data type, starting at its ID. IDs we do not use (surface layer, fifth beam, instrument
// status, ...) are skipped.
DecodeStatus ReadBlock(Ensemble& ensemble, EmbeddedNavigation& navigation,
                       std::span<const std::uint8_t> block) {
    switch (LittleEndianView(block).U16(0)) {
        case kFixedLeaderId:
            return ReadFixedLeader(ensemble, block);
        case kVariableLeaderId:
            return ReadVariableLeader(ensemble, block);
        case kVelocityId:
            return ReadCellBlock(ensemble, block, CellBlock::Velocity, PresentBit::Velocity);
        case kCorrelationId:
            return ReadCellBlock(ensemble, block, CellBlock::Correlation, PresentBit::Correlation);
        case kEchoIntensityId:
            return ReadCellBlock(ensemble, block, CellBlock::EchoIntensity,
                                 PresentBit::EchoIntensity);
        case kPercentGoodId:
            return ReadCellBlock(ensemble, block, CellBlock::PercentGood, PresentBit::PercentGood);
        case kBottomTrackId:
            return ReadBottomTrack(ensemble, block);
        case kVerticalBeamId:
            return ReadVerticalBeam(ensemble, block);
        case kBinaryNavigationId:
            navigation.ReadBinaryNavigation(block);
            return DecodeStatus::Ok;
        case kNmeaNavigationId:
            navigation.ReadNmeaNavigation(block);
            return DecodeStatus::Ok;
        case kCompactNavigationId:
            navigation.ReadCompactNavigation(block);
            return DecodeStatus::Ok;
        default:
            return DecodeStatus::Ok;
    }
}

// The cell blocks were sized without being zeroed: those the ping did not deliver read as 0.
void ClearAbsentCellBlocks(Ensemble& ensemble) {
    constexpr std::array<std::pair<CellBlock, std::uint8_t>, 4> blocks{{
        {CellBlock::Velocity, PresentBit::Velocity},
        {CellBlock::Correlation, PresentBit::Correlation},
        {CellBlock::EchoIntensity, PresentBit::EchoIntensity},
        {CellBlock::PercentGood, PresentBit::PercentGood},
    }};
    for (const auto& [block, bit] : blocks)
        if (!ensemble.Has(bit)) ensemble.cellBlocks.ClearBlock(block);
}

// Walks the offset table. A block reaches to the next offset (the last one to the byte count),
// so every block is a span inside the counted bytes and no reader can step outside it.
DecodeStatus ReadBlocks(Ensemble& ensemble, EmbeddedNavigation& navigation,
                        std::span<const std::uint8_t> bytes) {
    const LittleEndianView header(bytes);
    if (header.Size() < kFrameHeaderSize || header.U16(0) != kEnsembleHeaderId)
        return DecodeStatus::BadHeader;
    const std::size_t byteCount = header.U16(2);
    const std::size_t typeCount = header.U8(5);
    const std::size_t tableEnd = kFrameHeaderSize + 2 * typeCount;
    if (byteCount > header.Size() || tableEnd > byteCount) return DecodeStatus::BadHeader;

    const auto counted = bytes.first(byteCount);
    for (std::size_t type = 0; type < typeCount; ++type) {
        const std::size_t start = header.U16(kFrameHeaderSize + 2 * type);
        const std::size_t end =
            type + 1 < typeCount ? header.U16(kFrameHeaderSize + 2 * (type + 1)) : byteCount;
        if (start < tableEnd || end > byteCount || end < start + kBlockIdSize)
            return DecodeStatus::BadOffset;
        const DecodeStatus status =
            ReadBlock(ensemble, navigation, counted.subspan(start, end - start));
        if (status != DecodeStatus::Ok) return status;
    }
    ClearAbsentCellBlocks(ensemble);
    const bool usable = ensemble.Has(PresentBit::FixedLeader) &&
                        ensemble.Has(PresentBit::VariableLeader) &&
                        ensemble.Has(PresentBit::Velocity);
    return usable ? DecodeStatus::Ok : DecodeStatus::MissingBlocks;
}

}  // namespace

bool FrameChecksumMatches(std::span<const std::uint8_t> frame) {
    const LittleEndianView view(frame);
    const std::size_t byteCount = view.U16(2);
    if (view.Size() < 4 || !view.Holds(byteCount, kChecksumSize)) return false;
    const auto counted = frame.first(byteCount);
    const std::uint32_t sum = std::accumulate(counted.begin(), counted.end(), std::uint32_t{0});
    return (sum & 0xFFFFU) == view.U16(byteCount);
}

namespace {

constexpr std::size_t kThroughFirstOffset = kFrameHeaderSize + 2;

// What a frame has to hold before its byte count is believed or its sum is worth taking (the
// decoder refuses any frame without it): an ensemble or waves header, at least one data type,
// an offset table inside the byte count, and a first data type that starts after the table with
// room for its ID. Garbage fails here in constant time (a run of 0x7F bytes claims 127 data types
// at offset 0x7F7F, which is the byte count itself). `header`: the first kThroughFirstOffset bytes.
bool MayStartFrame(std::span<const std::uint8_t, kThroughFirstOffset> header) {
    const auto u16 = [&header](std::size_t at) {
        return static_cast<std::size_t>(header[at] | (header[at + 1] << 8U));
    };
    const std::size_t id = u16(0);
    const std::size_t byteCount = u16(2);
    const std::size_t typeCount = header[5];
    const std::size_t tableEnd = kFrameHeaderSize + 2 * typeCount;
    const std::size_t firstOffset = u16(kFrameHeaderSize);
    return (id == kEnsembleHeaderId || id == kWavesRecordHeaderId) && typeCount > 0 &&
           tableEnd <= byteCount && firstOffset >= tableEnd &&
           firstOffset + kBlockIdSize <= byteCount;
}

}  // namespace

std::size_t DistanceToNextCandidate(std::span<const std::uint8_t> bytes) {
    constexpr std::uint8_t headerByte = 0x7F;
    std::size_t at = 1;
    for (; at + kThroughFirstOffset <= bytes.size(); ++at) {
        if (bytes[at] == headerByte &&
            MayStartFrame(bytes.subspan(at).first<kThroughFirstOffset>()))
            return at;
    }
    return std::min(at, bytes.size());
}

FrameCheck CheckFrameHeader(std::span<const std::uint8_t> bytes, bool endOfFile) {
    const LittleEndianView view(bytes);
    constexpr std::size_t idAndByteCount = 4;
    if (view.Size() < idAndByteCount) {
        return {.verdict = endOfFile ? FrameVerdict::NotAFrame : FrameVerdict::NeedMoreBytes};
    }
    const std::uint16_t headerId = view.U16(0);
    const std::uint16_t byteCount = view.U16(2);
    if ((headerId != kEnsembleHeaderId && headerId != kWavesRecordHeaderId) ||
        byteCount < kFrameHeaderSize) {
        return {.verdict = FrameVerdict::NotAFrame};
    }
    FrameCheck check{.verdict = FrameVerdict::Frame,
                     .kind = KindOf(headerId),
                     .length = std::size_t{byteCount} + kChecksumSize};
    // A waves record is skipped whole, so a wrong byte count would swallow what follows it: it
    // is believed only with its checksum, as are large ensembles.
    const bool trusted = byteCount <= kMaxUncheckedByteCount && check.kind == FrameKind::Ensemble;
    // Even a trusted byte count is taken only with a header that could be decoded: garbage just
    // before an ensemble would otherwise swallow its first bytes.
    if (bytes.size() < kThroughFirstOffset && !endOfFile)
        return {.verdict = FrameVerdict::NeedMoreBytes};
    if (bytes.size() < kThroughFirstOffset || !MayStartFrame(bytes.first<kThroughFirstOffset>()))
        return {.verdict = FrameVerdict::NotAFrame};
    if (bytes.size() < check.length) {
        // An oversized byte count that cannot be checked is as likely to be garbage as not.
        if (!endOfFile)
            check.verdict = FrameVerdict::NeedMoreBytes;
        else
            check.verdict = trusted ? FrameVerdict::Truncated : FrameVerdict::NotAFrame;
    } else {
        check.checksumNeeded = !trusted;
    }
    return check;
}

FrameCheck CheckFrame(std::span<const std::uint8_t> bytes, bool endOfFile) {
    FrameCheck check = CheckFrameHeader(bytes, endOfFile);
    if (check.checksumNeeded) {
        check.checksumNeeded = false;
        if (!FrameChecksumMatches(bytes.first(check.length)))
            check.verdict = FrameVerdict::NotAFrame;
    }
    return check;
}

std::string_view DescribeDecodeStatus(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::Ok:
            return "usable";
        case DecodeStatus::BadHeader:
            return "header or offset table does not fit the ensemble";
        case DecodeStatus::BadOffset:
            return "a data type offset lies outside the ensemble or out of order";
        case DecodeStatus::BlockTooShort:
            return "a data block is too short for its fields or cells";
        case DecodeStatus::TooManyCells:
            return "more than 200 depth cells";
        case DecodeStatus::RepeatedFixedLeader:
            return "a second fixed leader";
        case DecodeStatus::ProfileBeforeFixedLeader:
            return "a profile block before the fixed leader";
        case DecodeStatus::MissingBlocks:
            return "no fixed leader, variable leader or velocity block";
    }
    return "unknown";
}

bool ClockIsPossible(const VariableLeader& clock) {
    constexpr std::array<int, 12> monthLengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int month = clock.RtcMonth();  // held from 0
    if (month > 11) return false;
    const bool leapYear = clock.RtcYear() % 4 == 0;  // two-digit years: 2000-2099
    const int monthLength =
        monthLengths[static_cast<std::size_t>(month)] + (month == 1 && leapYear);
    return clock.RtcDay() >= 1 && clock.RtcDay() <= monthLength && clock.RtcHour() <= 23 &&
           clock.RtcMinute() <= 59 && clock.RtcSecond() <= 59 && clock.RtcHundredths() <= 99;
}

DecodeStatus DecodeEnsemble(Ensemble& ensemble, std::span<const std::uint8_t> bytes,
                            Geodesy* geodesy) {
    ensemble.ClearPingData();
    EmbeddedNavigation navigation;
    const DecodeStatus status = ReadBlocks(ensemble, navigation, bytes);
    if (status != DecodeStatus::Ok) {
        ensemble.ClearPingData();
        return status;
    }
    navigation.ApplyTo(ensemble, geodesy);
    ensemble.loaded = true;
    return DecodeStatus::Ok;
}

}  // namespace fluvex
