#include "model/Ensemble.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory_resource>
#include <tuple>
#include <utility>
#include <vector>

namespace fluvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A zero block of `size` bytes with the given bytes written at their offsets.
Bytes Block(std::size_t size, std::initializer_list<std::pair<std::size_t, Bytes>> fields) {
    Bytes block(size, 0);
    for (const auto& [offset, bytes] : fields) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            block.at(offset + i) = bytes[i];
    }
    return block;
}

Bytes Image(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

// Every field the program reads, little-endian at its offset, nothing else.
const Bytes RecordedFixedLeader = Block(50, {{4, {0x4A, 0x02}},
                                             {9, {30}},
                                             {12, {0xF4, 0x01}},
                                             {14, {0xB0, 0x00}},
                                             {17, {64}},
                                             {25, {0x1C}},
                                             {30, {0x08}},
                                             {32, {0xD5, 0x02}},
                                             {34, {0x40, 0x02}},
                                             {42, {0x78, 0x56, 0x34, 0x12}}});

TEST(EnsembleFixedLeader, DecodesConfigurationBitsAndCopiesOnlyWhatFits) {
    FixedLeader leader;
    leader.AssignRecorded(RecordedFixedLeader);
    EXPECT_EQ(std::tuple(leader.ConvexBeamPattern(), leader.BeamAngleDegrees(), leader.Frame(),
                         leader.TiltsApplied(), leader.PitchFromTiltSensor()),
              std::tuple(true, 30.0, CoordinateFrame::Earth, true, true));
    // Only bits 8-9 choose the angle and only bit 3 the pattern.
    leader.SetSystemConfiguration(0xFCF7);
    EXPECT_EQ(leader.BeamAngleDegrees(), 15.0);
    EXPECT_FALSE(leader.ConvexBeamPattern());
    leader.SetCoordinateTransform(0xEF);
    EXPECT_EQ(leader.Frame(), CoordinateFrame::Instrument);

    // A recorded block of another length copies only what fits.
    Bytes longer = RecordedFixedLeader;
    longer[49] = 0xAB;
    longer.resize(80, 0xCD);
    leader.AssignRecorded(longer);
    EXPECT_EQ(Image(leader.Bytes()).back(), 0xAB);

    leader.AssignRecorded(std::span(RecordedFixedLeader).first(10));
    EXPECT_EQ(leader.CellCount(), 30);
    EXPECT_EQ(leader.TimeTagMs(), 0U);
    EXPECT_EQ(Image(leader.Bytes()).back(), 0);
}

// An impossible month 0 must stay recognisable as invalid. (The signs of the attitude fields are
// proven on real files.)
TEST(EnsembleVariableLeader, MonthFromZeroAndNoDepthAsZero) {
    const struct {
        std::uint8_t month;
        Bytes depth;
        int rtcMonth, depthDm;
    } cases[] = {{12, {0xFF, 0xFF}, 11, 0}, {1, {0x32, 0x00}, 0, 50}, {0, {0x00, 0x00}, 255, 0}};
    VariableLeader leader;
    for (const auto& c : cases) {
        leader.AssignRecorded(Block(57, {{5, {c.month}}, {16, c.depth}}));
        EXPECT_EQ(leader.RtcMonth(), c.rtcMonth) << int{c.month};
        EXPECT_EQ(leader.TransducerDepthDm(), c.depthDm) << int{c.month};
    }
}

// The beam fields' offsets are proven on real files (readers/RealFilesTest).
TEST(EnsembleBottomTrack, RefusesOtherBeams) {
    BottomTrack track;
    track.AssignRecorded(Block(93, {{16, {0xE8, 0x03}}, {24, {0x00, 0x80}}}));
    const BottomTrack before = track;
    for (const int beam : {-1, 4}) {
        EXPECT_EQ(track.RangeCm(beam), 0);
        EXPECT_EQ(track.Velocity(beam), kBadVelocity);
        track.SetRangeCm(beam, 1);
        track.SetVelocity(beam, 1);
    }
    EXPECT_EQ(track, before);
}

// A recorded per-cell block of 3 cells: its ID, then for cell c and beam b the value
// c * 4 + b + `base`, one byte wide or, for velocities, as the i16 (value - 256).
Bytes RecordedCellBlock(std::uint8_t id, int base, bool velocity) {
    Bytes block = {0x00, id};
    for (int value = base; value < base + 3 * kBeamCount; ++value) {
        block.push_back(static_cast<std::uint8_t>(value));
        if (velocity) block.push_back(0xFF);
    }
    return block;
}

TEST(EnsembleCellBlocks, ResetZeroFillsAssignsAtTheOffsetsAndOutOfRangeIsNeitherReadNorWritten) {
    CellBlocks blocks;
    EXPECT_EQ(blocks.Velocity(0, 0), kBadVelocity);
    EXPECT_EQ(blocks.EchoIntensity(0, 0), 0);
    blocks.SetVelocity(0, 0, 5);
    EXPECT_EQ(blocks, CellBlocks{});

    ASSERT_TRUE(blocks.Reset(2));
    blocks.SetEchoIntensity(1, 1, 9);
    ASSERT_TRUE(blocks.Reset(3));
    EXPECT_EQ(blocks.EchoIntensity(1, 1), 0);

    ASSERT_TRUE(blocks.Reset(kMaxCells));
    blocks.SetPercentGood(199, 3, 100);
    EXPECT_EQ(blocks.PercentGood(199, 3), 100);
    const CellBlocks before = blocks;
    const std::pair<int, int> outside[] = {{200, 0}, {-1, 0}, {0, 4}, {0, -1}};
    for (const auto& [cell, beam] : outside) {
        EXPECT_EQ(blocks.Velocity(cell, beam), kBadVelocity) << cell << ',' << beam;
        blocks.SetVelocity(cell, beam, 7);
        blocks.SetCorrelation(cell, beam, 7);
        blocks.SetEchoIntensity(cell, beam, 7);
        blocks.SetPercentGood(cell, beam, 7);
    }
    EXPECT_EQ(blocks, before);

    for (const int refused : {kMaxCells + 1, -1}) {
        ASSERT_TRUE(blocks.Reset(1));
        EXPECT_FALSE(blocks.Reset(refused));
        EXPECT_EQ(blocks.CellCount(), 0) << refused;
    }

    // Recorded blocks are assigned at their cell and beam offsets.
    ASSERT_TRUE(blocks.Reset(3));
    ASSERT_TRUE(blocks.AssignRecorded(CellBlock::Velocity, RecordedCellBlock(0x01, 1, true)));
    ASSERT_TRUE(blocks.AssignRecorded(CellBlock::PercentGood, RecordedCellBlock(0x04, 201, false)));
    for (int cell = 0; cell < 3; ++cell) {
        for (int beam = 0; beam < kBeamCount; ++beam) {
            const int value = cell * 4 + beam + 1;
            EXPECT_EQ(blocks.Velocity(cell, beam), value - 256);
            EXPECT_EQ(blocks.PercentGood(cell, beam), value + 200);
        }
    }

    const CellBlocks assigned = blocks;
    Bytes shortVelocity = RecordedCellBlock(0x01, 50, true);
    shortVelocity.pop_back();
    EXPECT_FALSE(blocks.AssignRecorded(CellBlock::Velocity, shortVelocity));
    EXPECT_FALSE(blocks.AssignRecorded(CellBlock::PercentGood, Bytes{0x00, 0x04}));
    EXPECT_EQ(blocks, assigned);
}

TEST(EnsembleCellVelocity, FourthSlotDoesNotMakeACellBad) {
    EXPECT_FALSE((CellVelocity{1, 2, 3, kBadVelocity}.IsBad()));
    EXPECT_TRUE((CellVelocity{1, 2, kBadVelocity, 40}.IsBad()));
    EXPECT_TRUE((CellVelocity{kBadVelocity, 2, 3, 40}.IsBad()));
}

Ensemble FilledEnsemble() {
    Ensemble ensemble;
    ensemble.fixedLeader.AssignRecorded(RecordedFixedLeader);
    ensemble.beamAngles = SharedBeamAngles({{0.1, 0.2, 0.3, 0.4}, {0.5, 0.6, 0.7, 0.8}});
    ensemble.navigation.positionValid = true;
    ensemble.navigation.x = 512345.5;
    ensemble.loaded = true;
    ensemble.present = 0xFF;
    ensemble.cells = {{10, 20, 30, 40}, {kBadVelocity, 0, 0, 55}};
    ensemble.referenceVelocity = {1, 2, 3, 4};
    ensemble.bottomTrackVelocity = {5, 6, 7, 8};
    ensemble.sonTekFlag2 = 1;
    ensemble.variableLeader.SetHeading(9000);
    ensemble.cellBlocks.Reset(30);
    ensemble.cellBlocks.SetVelocity(29, 3, -400);
    ensemble.bottomTrack.SetRangeCm(2, 1020);
    ensemble.verticalBeam.SetRangeMm(8000);
    return ensemble;
}

// Counts what a record takes from it, so that a test sees which storage a copy or move uses.
struct CountingResource : std::pmr::memory_resource {
    int allocations = 0;
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        ++allocations;
        return std::pmr::new_delete_resource()->allocate(bytes, alignment);
    }
    void do_deallocate(void* block, std::size_t bytes, std::size_t alignment) override {
        std::pmr::new_delete_resource()->deallocate(block, bytes, alignment);
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }
};

// Copies are deep (a shallow copy of the cell blocks would alias the original's storage).
TEST(EnsembleRecord, CopiesAreIndependentAndLeaveTheCellStorageMovesKeepIt) {
    CountingResource storage;
    Ensemble stored(&storage);
    stored.cellBlocks.Reset(30);
    stored.cellBlocks.SetVelocity(29, 3, -400);
    stored.cells = {{10, 20, 30, 40}};
    ASSERT_EQ(storage.allocations, 2);  // the cell blocks and the processed cells

    Ensemble copied = stored;
    Ensemble assigned;
    assigned = stored;
    EXPECT_EQ(storage.allocations, 2);
    EXPECT_EQ(copied, stored);
    EXPECT_EQ(assigned, stored);
    copied.cellBlocks.SetVelocity(29, 3, 0);
    copied.cells[0].east = -1;
    EXPECT_EQ(stored.cellBlocks.Velocity(29, 3), -400);
    EXPECT_EQ(assigned.cellBlocks.Velocity(29, 3), -400);
    EXPECT_EQ(stored.cells[0].east, 10);

    // Moved into a heap record, the blocks are copied onto the heap (and grow there); a
    // move-constructed record takes the original's storage with it.
    Ensemble movedToHeap;
    movedToHeap = std::move(stored);
    EXPECT_EQ(movedToHeap, assigned);
    movedToHeap.cellBlocks.Reset(60);
    EXPECT_EQ(storage.allocations, 2);

    Ensemble moved = std::move(stored);
    moved.cellBlocks.Reset(90);
    EXPECT_EQ(storage.allocations, 3);
}

TEST(EnsembleRecord, ClearKeepsBeamGeometryAndProcessedVelocities) {
    Ensemble ensemble = FilledEnsemble();
    ensemble.ClearPingData();
    EXPECT_TRUE(ensemble.IsSonTek());
    EXPECT_EQ(ensemble.cells, FilledEnsemble().cells);

    ensemble.Clear();
    const Ensemble filled = FilledEnsemble();
    Ensemble expected;
    expected.beamAngles = filled.beamAngles;
    expected.referenceVelocity = filled.referenceVelocity;
    expected.bottomTrackVelocity = filled.bottomTrackVelocity;
    EXPECT_EQ(ensemble, expected);
    EXPECT_EQ(ensemble.cells.capacity(), 0U);
}

}  // namespace
}  // namespace fluvex
