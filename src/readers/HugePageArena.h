#pragma once

// Storage for the cell blocks of a reader's ensembles: hundreds of thousands of allocations of a
// few hundred bytes each that all live exactly as long as the reader's list. Taken from the
// ordinary heap they cost one page fault per 4 KiB of a large line, most of the time of opening
// it; here they are cut from blocks of up to 8 MiB advised for huge pages (LargeBlockAllocator),
// one fault per 2 MiB, taken on a PagePopulator's thread a little ahead of the reader when one is
// given. Nothing is freed one by one: the storage is reused after Rewind and returned to the system
// by Release or the destructor.
//
// Not thread-safe: one reader, one thread. Whatever was allocated from the arena must be gone
// before Rewind, Release or the arena's destruction.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <memory_resource>
#include <new>
#include <span>
#include <vector>

#include "readers/LargeBlockAllocator.h"
#include "readers/PagePopulator.h"

namespace fluvex {

class HugePageArena final : public std::pmr::memory_resource {
public:
    // Blocks double from the first size up to the largest, unless one allocation needs more: a
    // survey of hundreds of short lines then holds kilobytes per line, not megabytes, while a
    // long line soon takes its memory in huge pages.
    static constexpr std::size_t kFirstBlockSize = std::size_t{64} << 10;
    static constexpr std::size_t kBlockSize = std::size_t{8} << 20;

    HugePageArena() = default;
    // `populator` must outlive the arena's use; null faults blocks in as they are written.
    explicit HugePageArena(PagePopulator* populator) : populator_(populator) {}
    HugePageArena(const HugePageArena&) = delete;
    HugePageArena& operator=(const HugePageArena&) = delete;
    ~HugePageArena() override = default;

    // Starts again at the first block, keeping every block: rebuilding the same list touches no
    // fresh memory.
    void Rewind() {
        nextBlock_ = 0;
        free_ = {};
    }

    // Returns every block to the system.
    void Release() {
        Rewind();
        blocks_.clear();
    }

    // Bytes held in blocks, used or not.
    std::size_t ReservedBytes() const {
        std::size_t total = 0;
        for (const Block& block : blocks_)
            total += block.get_deleter().size;
        return total;
    }

private:
    struct BlockDeleter {
        std::size_t size = 0;
        void operator()(std::byte* block) const noexcept {
            LargeBlockAllocator<std::byte>{}.deallocate(block, size);
        }
    };
    using Block = std::unique_ptr<std::byte[], BlockDeleter>;

    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        // A zero-byte request still gets an address of its own.
        bytes = std::max<std::size_t>(bytes, 1);
        void* taken = TakeFromCurrentBlock(bytes, alignment);
        if (taken == nullptr) {
            if (bytes > std::numeric_limits<std::size_t>::max() - alignment) throw std::bad_alloc();
            OpenNextBlock(bytes + alignment);
            taken = TakeFromCurrentBlock(bytes, alignment);
        }
        PopulateAhead();
        return taken;
    }

    // Blocks on the ordinary heap are left alone: their pages may be in use already.
    void PopulateAhead() {
        if (populator_ == nullptr || nextBlock_ == 0) return;
        const Block& block = blocks_[nextBlock_ - 1];
        const std::size_t size = block.get_deleter().size;
        if (size >= LargeBlockAllocator<std::byte>::kHugePage)
            lead_.Follow(*populator_, std::span(block.get(), size), free_.data());
    }

    // Storage comes back only all at once.
    void do_deallocate(void*, std::size_t, std::size_t) override {}

    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }

    // Null when the rest of the current block is too small.
    void* TakeFromCurrentBlock(std::size_t bytes, std::size_t alignment) {
        void* at = free_.data();
        std::size_t room = free_.size();
        if (std::align(alignment, bytes, at, room) == nullptr) return nullptr;
        free_ = std::span(static_cast<std::byte*>(at), room).subspan(bytes);
        return at;
    }

    // Moves on to the next kept block, or a new one, with at least `minimum` bytes.
    void OpenNextBlock(std::size_t minimum) {
        const auto next = blocks_.begin() + static_cast<std::ptrdiff_t>(nextBlock_);
        if (next == blocks_.end() || next->get_deleter().size < minimum)
            blocks_.insert(next, NewBlock(std::max(minimum, GrowingBlockSize())));
        const Block& block = blocks_[nextBlock_];
        free_ = std::span(block.get(), block.get_deleter().size);
        ++nextBlock_;
        lead_.Reset();
    }

    std::size_t GrowingBlockSize() const {
        std::size_t size = kFirstBlockSize;
        for (std::size_t held = 0; held < blocks_.size() && size < kBlockSize; ++held)
            size *= 2;
        return size;
    }

    static Block NewBlock(std::size_t size) {
        return Block(LargeBlockAllocator<std::byte>{}.allocate(size), BlockDeleter{size});
    }

    PagePopulator* populator_ = nullptr;
    PopulatedLead lead_;
    std::vector<Block> blocks_;
    std::size_t nextBlock_ = 0;  // blocks before it are in use since the last Rewind
    std::span<std::byte> free_;  // the unused end of the current block
};

}  // namespace fluvex
