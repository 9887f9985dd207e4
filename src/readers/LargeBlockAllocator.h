#pragma once

// An allocator for the few very large arrays of a reader (the ensembles of a line: hundreds of
// megabytes for a long line). Blocks of 2 MiB and more are aligned to 2 MiB and advised to the
// kernel as candidates for huge pages: fresh memory then costs one page fault per 2 MiB instead
// of one per 4 KiB, which on virtual machines is most of the time of opening a large file.
// Smaller blocks come from the ordinary heap.

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace fluvex {

template <typename T>
class LargeBlockAllocator {
public:
    using value_type = T;
    // Blocks of this many bytes and more are taken in huge pages; smaller ones from the heap.
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;

    LargeBlockAllocator() = default;
    template <typename U>
    explicit LargeBlockAllocator(const LargeBlockAllocator<U>&) {}

    T* allocate(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kHugePage) return static_cast<T*>(::operator new(bytes));
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* block = std::aligned_alloc(kHugePage, rounded);
        if (block == nullptr) throw std::bad_alloc();
        // Only advice: without transparent huge pages the block is ordinary memory.
        ::madvise(block, rounded, MADV_HUGEPAGE);
        return static_cast<T*>(block);
    }

    void deallocate(T* block, std::size_t count) noexcept {
        if (count * sizeof(T) < kHugePage)
            ::operator delete(block);
        else
            std::free(block);
    }

    template <typename U>
    bool operator==(const LargeBlockAllocator<U>&) const {
        return true;
    }
};

}  // namespace fluvex
