#pragma once

// The PD0 ensemble format: how ensembles are framed in a file, and the decoding of one ensemble
// into an `Ensemble` record.
//
// An ensemble starts with the bytes 0x7F 0x7F, a u16 byte count (everything but the 2-byte
// checksum that follows), a spare byte, the number of data types and a table of u16 offsets, one
// per data type, from the start of the ensemble. Each data type starts with its u16 ID. Waves
// instruments interleave records that start 0x7F 0x79 and are framed alike.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace fluvex {

class Geodesy;
class VariableLeader;
struct Ensemble;

inline constexpr std::uint16_t kEnsembleHeaderId = 0x7F7F;
inline constexpr std::uint16_t kWavesRecordHeaderId = 0x797F;  // bytes 0x7F 0x79
// Byte counts up to this are taken on trust. Larger ones are accepted only when the checksum
// matches: river software writes ensembles of several kilobytes, but a random 0x7F 0x7F in
// garbage also reads as a large byte count.
inline constexpr std::uint16_t kMaxUncheckedByteCount = 4095;
// A frame's smallest byte count: the header up to the number of data types.
inline constexpr std::size_t kFrameHeaderSize = 6;
// The longest frame a byte count can describe, checksum included.
inline constexpr std::size_t kMaxFrameLength = 0xFFFF + 2;

enum class FrameKind : std::uint8_t { Ensemble, WavesRecord };

enum class FrameVerdict : std::uint8_t {
    Frame,          // a whole frame of `length` bytes starts here
    NotAFrame,      // no frame starts here: resynchronise from the next byte
    NeedMoreBytes,  // more bytes are needed to tell
    Truncated,      // a frame starts here but the file ends inside it
};

struct FrameCheck {
    FrameVerdict verdict = FrameVerdict::NotAFrame;
    FrameKind kind = FrameKind::Ensemble;
    std::size_t length = 0;  // byte count + 2: the checksum is part of the frame
    // A whole Frame that still has to match its checksum (CheckFrameHeader only).
    bool checksumNeeded = false;
};

// What starts at `bytes[0]`. `endOfFile`: no bytes follow `bytes`, so NeedMoreBytes is never
// the answer. A waves record, or an ensemble over kMaxUncheckedByteCount, whose checksum does not
// match, or that the file ends inside, is not a frame.
FrameCheck CheckFrame(std::span<const std::uint8_t> bytes, bool endOfFile);

// CheckFrame without the checksum: every test that costs constant time, so that a scanner which
// can sum any range in constant time (see the scan) never sums a candidate twice. A frame that
// must match its checksum is a Frame with `checksumNeeded` set.
FrameCheck CheckFrameHeader(std::span<const std::uint8_t> bytes, bool endOfFile);

// How far from bytes[0] the next byte lies at which a frame may start (it passes every test of
// CheckFrameHeader short of the byte count being in hand), or where too few bytes are left to
// tell; at least 1 for non-empty bytes. The scan's fast path over what is not a frame.
std::size_t DistanceToNextCandidate(std::span<const std::uint8_t> bytes);

// The checksum of a frame: the u16 after the byte count equals the sum of the counted bytes
// modulo 65536. False when `frame` is shorter than its byte count + 2.
bool FrameChecksumMatches(std::span<const std::uint8_t> frame);

// Why an ensemble could not be used.
enum class DecodeStatus : std::uint8_t {
    Ok,
    BadHeader,                 // not 0x7F 0x7F, or shorter than its byte count or offset table
    BadOffset,                 // a data type offset past the byte count, or offsets out of order
    BlockTooShort,             // a leader, bottom-track, vertical-beam or profile block too short
    TooManyCells,              // the fixed leader declares more than 200 cells
    RepeatedFixedLeader,       // a second fixed leader would change the cell count mid-ensemble
    ProfileBeforeFixedLeader,  // a per-cell block before the cell count is known
    MissingBlocks,             // no fixed leader, variable leader or velocity block
};

std::string_view DescribeDecodeStatus(DecodeStatus status);

// Whether the variable leader's clock (month held from 0) names a real moment: a month of the
// year, a day of that month, hour 0-23, minute and second 0-59, hundredths 0-99.
bool ClockIsPossible(const VariableLeader& clock);

// Decodes one ensemble (`bytes` from its 0x7F 0x7F header; at least byte count bytes, the
// checksum is neither needed nor checked) into `ensemble`, which is cleared of any earlier ping
// first (Ensemble::ClearPingData). On Ok the ensemble is loaded; on any other status it is left
// cleared. Embedded navigation positions are converted through `geodesy`, which may be null: the
// position then stays invalid. Nothing outside `bytes` is read.
DecodeStatus DecodeEnsemble(Ensemble& ensemble, std::span<const std::uint8_t> bytes,
                            Geodesy* geodesy);

}  // namespace fluvex
