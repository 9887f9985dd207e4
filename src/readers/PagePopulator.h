#pragma once

// Faults fresh memory in on a thread of its own, ahead of the thread that will write it. Most of
// the time of opening a large line is the kernel zeroing the pages of its records and cell blocks
// (several microseconds a page on a virtual machine); given here, that happens on another core
// while the reader decodes. Only advice (MADV_POPULATE_WRITE): the contents are never touched, so
// a range already written, or freed meanwhile, comes to no harm, and on a kernel without it the
// writer faults its pages in itself, as it would anyway.
//
// The thread runs while ranges come in, and ends when none has for a moment: a survey of hundreds
// of loaded lines keeps no idle threads.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <span>
#include <thread>

namespace fluvex {

class PagePopulator {
public:
    PagePopulator() = default;
    PagePopulator(const PagePopulator&) = delete;
    PagePopulator& operator=(const PagePopulator&) = delete;
    // Drops what still waits and joins the thread.
    ~PagePopulator();

    // Queues the whole pages inside `range`, to be faulted in in the order asked.
    void Populate(std::span<std::byte> range);

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::span<std::byte>> waiting_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// Keeps a populator two megabytes ahead of a writer that fills a reserved range from its start:
// its fresh pages are zeroed on the populator's core, and no more of the reservation is faulted in
// than the writer is about to fill.
class PopulatedLead {
public:
    static constexpr std::size_t kLead = std::size_t{2} << 20;

    // `written`: the writer's position in `reserved`. A new reservation starts again from there.
    void Follow(PagePopulator& populator, std::span<std::byte> reserved, std::byte* written);
    void Reset() { populatedTo_ = nullptr; }

private:
    std::byte* populatedTo_ = nullptr;  // the end of what was given to the populator
};

}  // namespace fluvex
