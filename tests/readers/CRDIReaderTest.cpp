#include "readers/CRDIReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "TestEnvironment.h"
#include "readers/HugePageArena.h"
#include "readers/Pd0Decoder.h"
#include "readers/Pd0Navigation.h"
#include "readers/ReadFeedback.h"
#include "services/Geodesy.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes.at(at) = static_cast<std::uint8_t>(value & 0xFFU);
    bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    PutU16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFFU));
    PutU16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutF64(Bytes& bytes, std::size_t at, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    PutU32(bytes, at, static_cast<std::uint32_t>(bits & 0xFFFFFFFFU));
    PutU32(bytes, at + 4, static_cast<std::uint32_t>(bits >> 32));
}

Bytes Block(std::uint16_t id, std::size_t length) {
    Bytes block(length, 0);
    PutU16(block, 0, id);
    return block;
}

// What a test ping holds; the clock fields are as a file records them (month 1-12).
struct Ping {
    int cells = 4;
    std::uint16_t number = 1;
    std::uint32_t timeTag = 0;
    std::uint8_t year = 21;
    std::uint8_t month = 3;
    std::uint8_t day = 10;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t hundredths = 0;
    std::uint16_t transducerDepthDm = 5;
};

Bytes FixedLeaderBlock(const Ping& ping) {
    Bytes block = Block(0x0000, 59);
    block.at(9) = static_cast<std::uint8_t>(ping.cells);
    PutU16(block, 12, 50);  // cell length, cm
    PutU32(block, 42, ping.timeTag);
    return block;
}

Bytes VariableLeaderBlock(const Ping& ping) {
    Bytes block = Block(0x0080, 65);
    PutU16(block, 2, ping.number);
    block.at(4) = ping.year;
    block.at(5) = ping.month;
    block.at(6) = ping.day;
    block.at(7) = ping.hour;
    block.at(8) = ping.minute;
    block.at(9) = ping.second;
    block.at(10) = ping.hundredths;
    PutU16(block, 16, ping.transducerDepthDm);
    return block;
}

// Velocity of cell c, beam b: 100 c + b, so that every value tells where it came from.
Bytes VelocityBlock(int cells) {
    Bytes block = Block(0x0100, 2 + 8 * static_cast<std::size_t>(cells));
    for (int c = 0; c < cells; ++c)
        for (int b = 0; b < 4; ++b)
            PutU16(block, static_cast<std::size_t>(2 + 8 * c + 2 * b),
                   static_cast<std::uint16_t>(100 * c + b));
    return block;
}

Bytes IntensityBlock(int cells) {
    Bytes block = Block(0x0300, 2 + 4 * static_cast<std::size_t>(cells));
    for (std::size_t i = 2; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i);
    return block;
}

std::vector<Bytes> PingBlocks(const Ping& ping) {
    return {FixedLeaderBlock(ping), VariableLeaderBlock(ping), VelocityBlock(ping.cells),
            IntensityBlock(ping.cells)};
}

// A frame: header, offset table, the blocks in order and the checksum.
Bytes Frame(const std::vector<Bytes>& blocks, std::uint16_t headerId = kEnsembleHeaderId) {
    Bytes frame(6 + 2 * blocks.size(), 0);
    PutU16(frame, 0, headerId);
    frame[5] = static_cast<std::uint8_t>(blocks.size());
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        PutU16(frame, 6 + 2 * k, static_cast<std::uint16_t>(frame.size()));
        frame.insert(frame.end(), blocks[k].begin(), blocks[k].end());
    }
    PutU16(frame, 2, static_cast<std::uint16_t>(frame.size()));
    const unsigned sum = std::accumulate(frame.begin(), frame.end(), 0U);
    frame.resize(frame.size() + 2);
    PutU16(frame, frame.size() - 2, static_cast<std::uint16_t>(sum & 0xFFFFU));
    return frame;
}

Bytes PingFrame(const Ping& ping) {
    return Frame(PingBlocks(ping));
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// A header claiming 32 KB, and `pattern` repeated to at least `size` bytes.
const Bytes kPlausibleHeader{0x7F, 0x7F, 0x00, 0x80, 0x00, 0x01, 0x08, 0x00};
Bytes Repeated(const Bytes& pattern, std::size_t size) {
    Bytes bytes;
    while (bytes.size() < size)
        bytes.insert(bytes.end(), pattern.begin(), pattern.end());
    return bytes;
}

Bytes GgaBlock(double latitude, char northSouth, double longitude, char eastWest) {
    Bytes block = Block(kNmeaNavigationId, 71);
    PutU16(block, 2, 104);
    PutF64(block, 31, latitude);
    block[39] = static_cast<std::uint8_t>(northSouth);
    PutF64(block, 40, longitude);
    block[48] = static_cast<std::uint8_t>(eastWest);
    return block;
}

EmbeddedNavigation Navigate(std::initializer_list<Bytes> blocks) {
    EmbeddedNavigation navigation;
    for (const Bytes& block : blocks) {
        if (block.at(0) == 0x22)
            navigation.ReadNmeaNavigation(block);
        else if (block.at(0) == 0x00)
            navigation.ReadBinaryNavigation(block);
        else
            navigation.ReadCompactNavigation(block);
    }
    return navigation;
}

// Up to 4095 bytes the byte count is trusted whatever the checksum; past it only a matching
// checksum makes a frame. At the end of the file a trusted frame is truncated, an unverifiable
// one garbage.
TEST(Pd0Frame, VerdictsFollowHeaderByteCountAndChecksum) {
    const Bytes small = PingFrame({});
    const Bytes big = Frame({Block(0x7777, 4200)});
    const auto flipped = [](Bytes bytes) {
        bytes.back() ^= 0x01U;
        return bytes;
    };
    const auto cut = [](const Bytes& bytes) { return Bytes(bytes.begin(), bytes.end() - 1); };
    const struct {
        const char* what;
        Bytes bytes;
        bool endOfFile;
        FrameVerdict verdict;
    } cases[] = {
        {"ensemble", small, false, FrameVerdict::Frame},
        {"0x7F 0x7E", Bytes{0x7F, 0x7E, 0x10, 0x00, 0, 0}, true, FrameVerdict::NotAFrame},
        {"byte count 5", Bytes{0x7F, 0x7F, 0x05, 0x00, 0, 0, 0}, true, FrameVerdict::NotAFrame},
        {"three bytes", Bytes{0x7F, 0x7F, 0x10}, false, FrameVerdict::NeedMoreBytes},
        {"small, bad checksum", flipped(small), true, FrameVerdict::Frame},
        {"big", big, true, FrameVerdict::Frame},
        {"big, bad checksum", flipped(big), true, FrameVerdict::NotAFrame},
        {"small, cut at the end", cut(small), true, FrameVerdict::Truncated},
        {"big, cut at the end", cut(big), true, FrameVerdict::NotAFrame},
        {"big, more to come", cut(big), false, FrameVerdict::NeedMoreBytes},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckFrame(c.bytes, c.endOfFile).verdict, c.verdict) << c.what;
    EXPECT_EQ(CheckFrame(small, false).length, small.size());
    EXPECT_EQ(CheckFrame(Frame({Block(0x0101, 20)}, kWavesRecordHeaderId), false).kind,
              FrameKind::WavesRecord);
}

// The recorded values are checked against the real files; here a bottom track shorter than its
// full layout, which is zero-filled.
TEST(DecodeEnsemble, AShortBottomTrackIsZeroFilled) {
    Bytes bottomTrack(81, 0xEE);
    PutU16(bottomTrack, 0, 0x0600);
    auto blocks = PingBlocks({});
    blocks.push_back(bottomTrack);
    Ensemble ensemble;
    ASSERT_EQ(DecodeEnsemble(ensemble, Frame(blocks), nullptr), DecodeStatus::Ok);
    const auto image = ensemble.bottomTrack.Bytes();
    EXPECT_EQ(image[80], 0xEE);
    EXPECT_TRUE(std::all_of(image.begin() + 81, image.end(), [](auto b) { return b == 0; }));
}

TEST(DecodeEnsemble, RefusesMalformedEnsemblesAndLeavesTheRecordCleared) {
    const Ping ping;
    const auto blocks = PingBlocks(ping);
    Bytes offsetPastEnd = PingFrame(ping);
    PutU16(offsetPastEnd, 8, static_cast<std::uint16_t>(offsetPastEnd.size()));
    Bytes insideTable = PingFrame(ping);
    PutU16(insideTable, 6, 12);  // the first block starts on the table's last entry
    Bytes fixedTooShort = FixedLeaderBlock(ping);
    fixedTooShort.resize(45);  // the time tag needs 46
    Bytes velocityTooShort = VelocityBlock(ping.cells);
    velocityTooShort.pop_back();
    const Bytes pingBytes = PingFrame(ping);

    const struct {
        const char* what;
        Bytes bytes;
        DecodeStatus status;
    } cases[] = {
        {"velocity before fixed leader", Frame({blocks[2], blocks[0], blocks[1]}),
         DecodeStatus::ProfileBeforeFixedLeader},
        {"no variable leader", Frame({blocks[0], blocks[2]}), DecodeStatus::MissingBlocks},
        {"offset past the byte count", offsetPastEnd, DecodeStatus::BadOffset},
        {"block inside the offset table", insideTable, DecodeStatus::BadOffset},
        {"201 cells", PingFrame({.cells = 201}), DecodeStatus::TooManyCells},
        {"fixed leader of 45 bytes", Frame({fixedTooShort, blocks[1], blocks[2]}),
         DecodeStatus::BlockTooShort},
        {"velocity block a byte short", Frame({blocks[0], blocks[1], velocityTooShort}),
         DecodeStatus::BlockTooShort},
        {"bottom track of 31 bytes", Frame({blocks[0], blocks[1], blocks[2], Block(0x0600, 31)}),
         DecodeStatus::BlockTooShort},
        {"two fixed leaders", Frame({blocks[0], blocks[1], blocks[2], blocks[0]}),
         DecodeStatus::RepeatedFixedLeader},
        {"fewer bytes than the byte count", Bytes(pingBytes.begin(), pingBytes.end() - 3),
         DecodeStatus::BadHeader},
        {"waves record", Frame(blocks, kWavesRecordHeaderId), DecodeStatus::BadHeader},
    };
    for (const auto& c : cases) {
        Ensemble ensemble;
        ASSERT_EQ(DecodeEnsemble(ensemble, PingFrame(ping), nullptr), DecodeStatus::Ok);
        EXPECT_EQ(DecodeEnsemble(ensemble, c.bytes, nullptr), c.status) << c.what;
        EXPECT_FALSE(ensemble.loaded) << c.what;
        EXPECT_EQ(ensemble.present, 0) << c.what;
        EXPECT_EQ(ensemble.cellBlocks.CellCount(), 0) << c.what;
    }
}

// The cell blocks are sized without zeroing: a block the next ping lacks must still read 0,
// with fewer cells (the old bytes shift into other blocks) and with as many.
TEST(DecodeEnsemble, ReusedRecordKeepsNothingOfThePreviousPing) {
    auto created = Geodesy::Create("EPSG:32633", 1.0);
    ASSERT_TRUE(created.geodesy) << created.error;
    for (const int nextCells : {2, 30}) {
        auto rich = PingBlocks({.cells = 30});
        for (const std::uint16_t id : {std::uint16_t{0x0200}, std::uint16_t{0x0400}}) {
            Bytes filled = Block(id, 2 + 4 * 30);
            std::fill(filled.begin() + 2, filled.end(), std::uint8_t{0xA5});
            rich.push_back(filled);
        }
        rich.push_back(Block(0x0600, 85));
        rich.push_back(GgaBlock(45.0, 'N', 15.0, 'E'));

        Ensemble work;
        ASSERT_EQ(DecodeEnsemble(work, Frame(rich), created.geodesy.get()), DecodeStatus::Ok);
        ASSERT_TRUE(work.navigation.positionValid);
        ASSERT_EQ(work.cellBlocks.PercentGood(29, 3), 0xA5);
        ASSERT_EQ(DecodeEnsemble(work, PingFrame({.cells = nextCells}), created.geodesy.get()),
                  DecodeStatus::Ok);
        Ensemble fresh;
        ASSERT_EQ(DecodeEnsemble(fresh, PingFrame({.cells = nextCells}), nullptr),
                  DecodeStatus::Ok);
        EXPECT_EQ(work, fresh) << nextCells << " cells";
    }
}

// North and west are checked against the real files.
TEST(Pd0Navigation, GgaHemispheresSignTheValuesAndTheLastValidFixWins) {
    const auto fix = [](std::initializer_list<Bytes> blocks) { return Navigate(blocks).Fix(); };
    EXPECT_EQ(fix({GgaBlock(33.9, 'S', 18.4, 'E')}), (GeographicFix{-33.9, 18.4}));

    // Appended recordings leave stale bytes in later blocks: they must not replace a good fix.
    const Bytes good = GgaBlock(44.9, 'N', 66.9, 'W');
    EXPECT_EQ(fix({GgaBlock(1, 'N', 2, 'E'), good, GgaBlock(3.8e66, 'N', 66.9, 'W'),
                   GgaBlock(44.0, 'X', 66.0, 'W'), GgaBlock(44.0, 'N', 181.0, 'W'),
                   GgaBlock(std::nan(""), 'N', 1, 'E'), Bytes(good.begin(), good.end() - 23)}),
              (GeographicFix{44.9, -66.9}));

    Bytes signedGga = Block(kNmeaNavigationId, 80);
    PutU16(signedGga, 2, 100);
    PutF64(signedGga, 54, -12.5);
    PutF64(signedGga, 64, 130.25);
    EXPECT_EQ(fix({signedGga}), (GeographicFix{-12.5, 130.25}));
}

// The two fixes are 2^14 binary-angle units (0.001373291015625 degrees) apart in latitude; the
// ensemble is stamped on a PC clock one hour ahead of UTC. Course and speed, and the usual case,
// are checked against the real files.
Bytes BinaryNavigation(std::int32_t firstFixTime, std::int32_t lastFixTime,
                       std::int32_t ensembleTime) {
    Bytes block = Block(kBinaryNavigationId, 78);
    PutU32(block, 6, static_cast<std::uint32_t>(firstFixTime));
    PutU32(block, 10, 3600000);          // PC clock - UTC, ms
    PutU32(block, 14, 1U << 24);         // first latitude: 1.40625 degrees
    PutU32(block, 18, 0U - (1U << 24));  // first longitude: -1.40625 degrees
    PutU32(block, 22, static_cast<std::uint32_t>(lastFixTime));
    PutU32(block, 26, (1U << 24) + (1U << 14));
    PutU32(block, 30, 0U - (1U << 24));
    PutU32(block, 58, static_cast<std::uint32_t>(ensembleTime));
    return block;
}

TEST(Pd0Navigation, BinaryNavigationMovesTheLastFixToTheEnsembleTimeOnUtc) {
    constexpr double first = 1.40625;
    constexpr double last = first + 0.001373291015625;
    const GeographicFix extrapolated{last + (last - first) / 2, -first};
    // Fixes 8 s apart, the ensemble 4 s after the last (times in 0.0001 s and 0.01 s); then the
    // last fix at 23:59:56 UTC and the ensemble at 00:00:00 UTC. Fixes at one time are in the
    // real files.
    EXPECT_EQ(Navigate({BinaryNavigation(0, 80000, 361200)}).Fix(), extrapolated);
    EXPECT_EQ(Navigate({BinaryNavigation(863880000, 863960000, 360000)}).Fix(), extrapolated);
}

TEST(Pd0Navigation, CompactNavigationFollowsItsFlags) {
    Bytes block = Block(kCompactNavigationId, 60);
    block[29] = 12;
    PutU32(block, 30, 5000000);  // 12.5 degrees
    block[34] = 'S';
    block[35] = 100;
    PutU32(block, 36, 2500000);  // 100.25 degrees
    block[40] = 'W';
    PutU32(block, 41, 200000);   // 2 knots
    PutU32(block, 45, 4500000);  // 45 degrees

    block[10] = 0x04;  // half the position flags: nothing
    EXPECT_FALSE(Navigate({block}).Fix());
    block[10] = 0x0C | 0x10 | 0x20;
    const EmbeddedNavigation navigation = Navigate({block});
    EXPECT_EQ(navigation.Fix(), (GeographicFix{-12.5, -100.25}));
    EXPECT_EQ(navigation.SpeedMmPerS(), 2.0 * 514.444444);
    EXPECT_EQ(navigation.CourseDegrees(), 45.0);
}

// Small lines stay in the small first block; an allocation larger than a block gets one of its
// own without disturbing what was handed out before; a rewind hands the same storage out again.
TEST(HugePageArena, AllocationsAreAlignedDisjointAndReusedAfterRewind) {
    HugePageArena arena;
    void* first = arena.allocate(600, 1);
    auto* aligned = static_cast<std::byte*>(arena.allocate(3, 64));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % 64, 0U);
    std::ranges::fill(std::span(aligned, 3), std::byte{2});
    EXPECT_EQ(arena.ReservedBytes(), HugePageArena::kFirstBlockSize);
    const std::size_t large = HugePageArena::kBlockSize + 1;
    std::ranges::fill(std::span(static_cast<std::byte*>(arena.allocate(large, 16)), large),
                      std::byte{3});
    EXPECT_TRUE(
        std::ranges::all_of(std::span(aligned, 3), [](auto b) { return b == std::byte{2}; }));
    const std::size_t reserved = arena.ReservedBytes();
    arena.Rewind();
    EXPECT_EQ(arena.allocate(600, 1), first);
    EXPECT_EQ(arena.ReservedBytes(), reserved);
}

// The populator faults pages in on its own thread while they are being written: it must never
// change a byte, whether it gets there before the writer or after.
TEST(HugePageArena, PopulatedBlocksKeepWhatIsWritten) {
    PagePopulator populator;
    HugePageArena arena(&populator);
    std::vector<std::span<std::uint8_t>> pieces;
    for (int i = 0; i < 64; ++i) {
        constexpr std::size_t size = std::size_t{300} << 10;
        pieces.emplace_back(static_cast<std::uint8_t*>(arena.allocate(size, 8)), size);
        std::ranges::fill(pieces.back(), static_cast<std::uint8_t>(i + 1));
    }
    for (std::size_t i = 0; i < pieces.size(); ++i)
        ASSERT_TRUE(std::ranges::all_of(pieces[i], [i](auto b) { return b == i + 1; })) << i;
}

class CRDIReaderFile : public test::TemporaryHostFolders {
protected:
    std::filesystem::path WriteBytes(const Bytes& bytes, const char* name = "line.pd0") {
        WriteText(Root() / name, std::string(bytes.begin(), bytes.end()));
        return Root() / name;
    }
    OpenStatus OpenBytes(const Bytes& bytes) { return reader.Open(WriteBytes(bytes)); }

    std::vector<std::uint64_t> IndexedOffsets() const {
        std::vector<std::uint64_t> offsets;
        for (const IndexEntry& entry : reader.Index())
            offsets.push_back(entry.fileOffset);
        return offsets;
    }

    std::vector<int> Numbers() const {
        std::vector<int> numbers;
        for (const Ensemble& e : reader.Ensembles())
            numbers.push_back(e.variableLeader.EnsembleNumber());
        return numbers;
    }

    CRDIReader reader;
};

TEST_F(CRDIReaderFile, EmptyMissingAndFolderPaths) {
    EXPECT_EQ(OpenBytes({}), OpenStatus::Ok);
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_EQ(reader.Open(Root() / "absent.pd0"), OpenStatus::CannotOpen);
    EXPECT_EQ(reader.Open(Root()), OpenStatus::CannotOpen);
}

TEST_F(CRDIReaderFile, SkipsJunkOversizedHeadersAndWavesRecordsAndStopsAtATruncatedEnd) {
    // Junk holding a header whose byte count of 4096 has no checksum to back it.
    const Bytes junk{0x01, 0x7F, 0x7F, 0x00, 0x10, 0x22};
    const Bytes first = PingFrame({.number = 1});
    // A waves record that happens to hold a whole ensemble: skipped whole, not resynchronised.
    const Bytes waves = Frame({Block(0x0501, 10), PingFrame({.number = 99})}, kWavesRecordHeaderId);
    const Bytes second = PingFrame({.number = 2});
    const Bytes truncated = PingFrame({.number = 3});
    const Bytes file =
        Joined({junk, first, waves, second, Bytes(truncated.begin(), truncated.end() - 1)});

    ASSERT_EQ(OpenBytes(file), OpenStatus::Ok);
    EXPECT_EQ(Numbers(), (std::vector<int>{1, 2}));
    const std::uint64_t wavesAt = junk.size() + first.size();
    const std::uint64_t truncatedAt = wavesAt + waves.size() + second.size();
    EXPECT_EQ(IndexedOffsets(), (std::vector<std::uint64_t>{junk.size(), wavesAt + waves.size()}));
    EXPECT_EQ(
        reader.Warnings(),
        (std::vector<ReadWarning>{
            {.problem = ReadProblem::SkippedBytes, .fileOffset = 0, .length = junk.size()},
            {.problem = ReadProblem::WavesRecord, .fileOffset = wavesAt, .length = waves.size()},
            {.problem = ReadProblem::TruncatedEnsemble,
             .fileOffset = truncatedAt,
             .length = truncated.size() - 1}}));
}

// Several megabytes, so that frames straddle the reader's chunks: frames of any size with junk
// between them; then, as the list is reserved from the frames seen so far, frames far shorter
// than the first one (or than a lead of junk) make it grow while decoding. Every frame is found
// and every ping keeps its cells.
TEST_F(CRDIReaderFile, FindsEveryFrameAcrossReadChunksAndKeepsItsCells) {
    std::mt19937 random(7);
    enum Lead { kJunkBetween, kLongFirstFrame, kJunkFirst };
    for (const Lead lead : {kJunkBetween, kLongFirstFrame, kJunkFirst}) {
        Bytes file(lead == kJunkFirst ? 5000 : 0, 0x00);
        std::vector<std::uint64_t> expected;
        for (int i = 0; i < 3000; ++i) {
            const bool junk = lead == kJunkBetween && random() % 3 == 0;
            for (std::size_t j = junk ? random() % 700 : 0; j > 0; --j)
                file.push_back(static_cast<std::uint8_t>(random() % 0x7F));
            expected.push_back(file.size());
            const int cells = lead == kJunkBetween                ? static_cast<int>(random() % 200)
                              : lead == kLongFirstFrame && i == 0 ? 200
                                                                  : 1 + i % 2;
            const Bytes frame =
                PingFrame({.cells = cells, .number = static_cast<std::uint16_t>(i)});
            file.insert(file.end(), frame.begin(), frame.end());
        }
        ASSERT_EQ(OpenBytes(file), OpenStatus::Ok);
        EXPECT_EQ(IndexedOffsets(), expected) << lead;
        for (const Ensemble& ping : reader.Ensembles()) {
            const int cells = ping.cellBlocks.CellCount();
            if (cells > 0) {
                ASSERT_EQ(ping.cellBlocks.Velocity(cells - 1, 3), 100 * (cells - 1) + 3) << lead;
            }
        }
    }
}

// Damaged and foreign bytes, one row per outcome: the pings kept, and what the surveyor is told.
TEST_F(CRDIReaderFile, DamagedFilesKeepEveryGoodEnsembleAndSayWhatWasPassedOver) {
    auto blocks = PingBlocks({.number = 5});
    for (int i = 0; i < 60; ++i)
        blocks.push_back(GgaBlock(44.9, 'N', 66.9, 'W'));
    const Bytes big = Frame(blocks);  // over 4095 bytes: taken on its checksum only
    Bytes corruptBig = big;
    corruptBig[100] ^= 0x01U;
    const Bytes waves = Frame({Block(0x0501, 300)}, kWavesRecordHeaderId);
    Bytes corruptWaves = waves;
    corruptWaves[50] ^= 0x01U;
    const Bytes one = PingFrame({});
    const auto clock = [&one](const Ping& ping) { return Joined({one, PingFrame(ping)}); };
    using P = ReadProblem;
    const struct {
        const char* what;
        Bytes bytes;
        std::vector<int> numbers;
        std::vector<ReadProblem> told;
    } cases[] = {
        // clang-format off
        {"oversized, good and corrupt", Joined({big, corruptBig, PingFrame({.number = 6})}),
         {5, 6}, {P::SkippedBytes}},
        // Header-like garbage makes the reader sum by prefixes for the rest of its window.
        {"oversized after header-like garbage",
         Joined({big, Repeated(kPlausibleHeader, 8192), corruptBig, big, PingFrame({.number = 6})}),
         {5, 5, 6}, {P::SkippedBytes}},
        // Every position a candidate claiming 32 KB: each must be refused without summing its
        // claimed length, or a few MB take minutes (the bench times this and a run of 0x7F).
        {"3 MB of headers",
         Joined({Repeated(kPlausibleHeader, 3 << 20), {0}, PingFrame({.number = 7})}),
         {7}, {P::SkippedBytes}},
        {"a cut waves record does not swallow the next file",
         Joined({PingFrame({.number = 0}), Bytes(waves.begin(), waves.begin() + 100),
                 PingFrame({.number = 1}), PingFrame({.number = 2})}),
         {0, 1, 2}, {P::SkippedBytes}},
        {"waves record with a wrong checksum", Joined({corruptWaves, PingFrame({.number = 3})}),
         {3}, {P::SkippedBytes}},
        {"no variable leader", Joined({one, Frame({FixedLeaderBlock({}), VelocityBlock(4)})}),
         {1}, {P::Undecodable}},
        {"day 0", clock({.day = 0}), {1}, {P::InvalidClock}},
        {"month 13", clock({.month = 13}), {1}, {P::InvalidClock}},
        {"29 February 2021", clock({.year = 21, .month = 2, .day = 29}), {1}, {P::InvalidClock}},
        {"29 February 2020", clock({.year = 20, .month = 2, .day = 29}), {1, 1}, {}},
        {"hundredths 100", clock({.hundredths = 100}), {1}, {P::InvalidClock}},
        {"31 December 23:59:59.99",
         clock({.month = 12, .day = 31, .hour = 23, .minute = 59, .second = 59, .hundredths = 99}),
         {1, 1}, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        ASSERT_EQ(OpenBytes(c.bytes), OpenStatus::Ok) << c.what;
        EXPECT_EQ(Numbers(), c.numbers) << c.what;
        std::vector<ReadProblem> told;
        for (const ReadWarning& warning : reader.Warnings())
            told.push_back(warning.problem);
        EXPECT_EQ(told, c.told) << c.what;
    }
    EXPECT_EQ(DescribeReadWarning({P::Undecodable, DecodeStatus::MissingBlocks, 10, 20}),
              "offset 10, 20 bytes: ensemble refused: no fixed leader, variable leader or "
              "velocity block");
}

// The regression net of the hostile-input runs: a real file cut at every few offsets and with
// bytes flipped at random always opens, never gains an ensemble, and keeps every whole ensemble
// before the damage.
TEST_F(CRDIReaderFile, CutAndFlippedRealFilesOpenWithoutGainingEnsembles) {
    std::ifstream in(std::filesystem::path(FLUVEX_TEST_DATA) / "pd0" / "RDI_test01.000",
                     std::ios::binary);
    const Bytes real((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(OpenBytes(real), OpenStatus::Ok);
    const int whole = reader.Count();
    const std::vector<std::uint64_t> offsets = IndexedOffsets();
    for (std::size_t cut = 0; cut < real.size(); cut += 97) {
        ASSERT_EQ(OpenBytes(Bytes(real.begin(), real.begin() + static_cast<std::ptrdiff_t>(cut))),
                  OpenStatus::Ok);
        // Ensembles that end before the cut (each reaches to the next one, the last to the end).
        long before = 0;
        for (std::size_t i = 0; i < offsets.size(); ++i)
            before += (i + 1 < offsets.size() ? offsets[i + 1] : real.size()) <= cut;
        EXPECT_GE(reader.Count(), before) << "cut at " << cut;
        EXPECT_LE(reader.Count(), whole);
    }
    std::mt19937 random(16);
    for (int flip = 0; flip < 200; ++flip) {
        Bytes damaged = real;
        for (int k = 0; k < 4; ++k)
            damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1U << (random() % 8));
        ASSERT_EQ(OpenBytes(damaged), OpenStatus::Ok);
        EXPECT_LE(reader.Count(), whole);
    }
}

// Forty pings on three times: an unstable sort reorders equals only past 16 elements.
TEST_F(CRDIReaderFile, SortIsStableForEqualTimesInEitherClock) {
    constexpr int kPings = 40;
    Bytes file;
    std::vector<int> byTag;
    std::vector<int> byClock;
    for (int time = 0; time < 3; ++time)
        for (int i = 0; i < kPings; ++i) {
            // Time tags of files not written by the survey acquisition are one constant.
            if ((i * 7) % 3 == time) byTag.push_back(i);
            if ((i * 5) % 3 == time) byClock.push_back(i);
        }
    for (int i = 0; i < kPings; ++i) {
        const Bytes frame = PingFrame({.number = static_cast<std::uint16_t>(i),
                                       .timeTag = static_cast<std::uint32_t>((i * 7) % 3) * 1000,
                                       .second = static_cast<std::uint8_t>((i * 5) % 3)});
        file.insert(file.end(), frame.begin(), frame.end());
    }
    reader.SetTimingMode(kTimingTimeTag);
    ASSERT_EQ(OpenBytes(file), OpenStatus::Ok);
    EXPECT_EQ(Numbers(), byTag);
    reader.SetTimingMode(kTimingInstrumentClock);
    ASSERT_EQ(OpenBytes(file), OpenStatus::Ok);
    EXPECT_EQ(Numbers(), byClock);
}

// The cell blocks of the list live in the reader's arena: sorting, removing and loading again
// must keep each ping's cells with it, and copies must not depend on the reader. Indexes out of
// range are ignored.
TEST_F(CRDIReaderFile, CellsFollowTheirEnsemblesAndCopiesOutliveTheReader) {
    auto owned = std::make_unique<CRDIReader>();
    // Out of time order, each with its own cell count.
    const auto path = WriteBytes(Joined({PingFrame({.cells = 3, .number = 3, .second = 30}),
                                         PingFrame({.cells = 1, .number = 1, .second = 10}),
                                         PingFrame({.cells = 2, .number = 2, .second = 20})}));
    owned->SetTimingMode(kTimingInstrumentClock);
    ASSERT_EQ(owned->Open(path), OpenStatus::Ok);
    owned->RemoveEnsemble(0);
    owned->RemoveEnsemble(5);
    const auto expectCells = [](const Ensemble& ensemble, int cells) {
        EXPECT_EQ(ensemble.cellBlocks.CellCount(), cells);
        EXPECT_EQ(ensemble.cellBlocks.Velocity(cells - 1, 3), 100 * (cells - 1) + 3);
    };
    ASSERT_EQ(owned->Count(), 2);
    expectCells(owned->Ensembles()[0], 2);
    expectCells(owned->Ensembles()[1], 3);

    Ensemble fetched;
    ASSERT_TRUE(owned->GetEnsemble(1, fetched));
    EXPECT_FALSE(owned->GetEnsemble(2, fetched));
    EXPECT_FALSE(owned->GetEnsemble(-1, fetched));
    const Ensemble copied = owned->Ensembles()[0];
    // Loading again rebuilds the list in the same storage, in file order.
    ASSERT_TRUE(owned->Load());
    expectCells(owned->Ensembles()[0], 3);
    expectCells(owned->Ensembles()[2], 2);
    ASSERT_EQ(owned->Open(path), OpenStatus::Ok);
    owned.reset();
    expectCells(fetched, 3);
    expectCells(copied, 2);
}

// Merged navigation belongs to a ping, not to a place in the list: a Load after the merge gives
// each record back to its ping even when sorting and a refused ping moved the list.
TEST_F(CRDIReaderFile, MergedNavigationStaysWithItsPingAcrossLoad) {
    const Bytes refused = Frame({Block(0x0080, 65)});  // no fixed leader
    ASSERT_EQ(OpenBytes(Joined({PingFrame({.number = 1, .timeTag = 3000}), refused,
                                PingFrame({.number = 2, .timeTag = 1000}),
                                PingFrame({.number = 3, .timeTag = 2000})})),
              OpenStatus::Ok);
    std::vector<NavRecord> merged(3);
    for (std::size_t k = 0; k < merged.size(); ++k) {
        merged[k].positionValid = true;
        merged[k].x = reader.Ensembles()[k].variableLeader.EnsembleNumber();
    }
    reader.ApplyNavigation(merged);
    ASSERT_TRUE(reader.Load());
    reader.SortByTime();
    for (const Ensemble& ensemble : reader.Ensembles()) {
        EXPECT_EQ(ensemble.navigation.x, ensemble.variableLeader.EnsembleNumber());
        EXPECT_FALSE(ensemble.Has(PresentBit::EmbeddedPosition));
    }
}

// A Load reads several chunks ahead of its decoding: a file cut short after the scan keeps the
// pings before the cut, in file order, and reports every one after it as unreadable.
TEST_F(CRDIReaderFile, LoadOfAFileCutAfterTheScanKeepsThePingsBeforeTheCut) {
    Bytes file;
    for (int i = 0; i < 3000; ++i) {
        const Bytes frame = PingFrame({.cells = 100, .number = static_cast<std::uint16_t>(i)});
        file.insert(file.end(), frame.begin(), frame.end());
    }
    const std::filesystem::path path = WriteBytes(file);
    ASSERT_EQ(reader.Open(path), OpenStatus::Ok);
    const std::uint64_t cut = reader.Index()[2000].fileOffset + 10;
    std::filesystem::resize_file(path, cut);

    ASSERT_TRUE(reader.Load());
    ASSERT_EQ(reader.Count(), 2000);
    EXPECT_EQ(reader.Ensembles()[1999].variableLeader.EnsembleNumber(), 1999);
    const auto unreadable = std::ranges::count_if(reader.Warnings(), [](const ReadWarning& w) {
        return w.problem == ReadProblem::ReadFailed;
    });
    EXPECT_EQ(unreadable, 1000);
}

TEST_F(CRDIReaderFile, FeedbackSeesProgressAndCanCancel) {
    ReadFeedback feedback;
    reader.SetFeedback(&feedback);
    const Bytes file = Joined({PingFrame({}), PingFrame({})});
    ASSERT_EQ(OpenBytes(file), OpenStatus::Ok);
    EXPECT_EQ(feedback.Progress(), 1.0);

    feedback.Cancel();
    EXPECT_EQ(OpenBytes(file), OpenStatus::Canceled);
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_TRUE(reader.Index().empty());
}

}  // namespace
}  // namespace fluvex
