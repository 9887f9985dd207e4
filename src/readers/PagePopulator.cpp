#include "readers/PagePopulator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <system_error>

namespace fluvex {

namespace {

// One huge page at a time: the thread stops within one when its owner goes.
constexpr std::size_t kStep = std::size_t{2} << 20;
// A reader asks every megabyte or two while it decodes: the thread waits that long for more
// rather than start again for each.
constexpr auto kIdleEnd = std::chrono::milliseconds(50);

// Cleared once the kernel has said it does not know the advice.
std::atomic<bool> kernelPopulates{true};

std::span<std::byte> WholePages(std::span<std::byte> range) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(range.data());
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + range.size()) / page * page;
    if (end <= first) return {};
    return {reinterpret_cast<std::byte*>(first), end - first};
}

}  // namespace

PagePopulator::~PagePopulator() {
    {
        const std::scoped_lock lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    arrived_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PagePopulator::Populate(std::span<std::byte> range) {
    const auto pages = WholePages(range);
    if (pages.empty() || !kernelPopulates.load(std::memory_order_relaxed)) return;
    const std::scoped_lock lock(mutex_);
    waiting_.push_back(pages);
    if (running_) {
        arrived_.notify_one();
        return;
    }
    // The last thread has let go of the lock for good: it only returns after clearing running_.
    if (thread_.joinable()) thread_.join();
    try {
        thread_ = std::thread(&PagePopulator::Run, this);
        running_ = true;
    } catch (const std::system_error&) {
        // Only advice: without a thread the writer faults its pages in itself.
        waiting_.clear();
    }
}

void PagePopulator::Run() {
    for (;;) {
        std::span<std::byte> step;
        {
            std::unique_lock lock(mutex_);
            arrived_.wait_for(lock, kIdleEnd, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_ || waiting_.empty()) {
                running_ = false;
                return;
            }
            std::span<std::byte>& front = waiting_.front();
            step = front.first(std::min(kStep, front.size()));
            front = front.subspan(step.size());
            if (front.empty()) waiting_.pop_front();
        }
        if (::madvise(step.data(), step.size(), MADV_POPULATE_WRITE) != 0 && errno == EINVAL)
            kernelPopulates.store(false, std::memory_order_relaxed);
    }
}

void PopulatedLead::Follow(PagePopulator& populator, std::span<std::byte> reserved,
                           std::byte* written) {
    std::byte* const end = reserved.data() + reserved.size();
    const std::less<const std::byte*> before;
    if (before(populatedTo_, written) || before(end, populatedTo_)) populatedTo_ = written;
    // Asked again once half the lead is used: one request per megabyte written.
    if (static_cast<std::size_t>(populatedTo_ - written) > kLead / 2) return;
    std::byte* const ahead = written + std::min(kLead, static_cast<std::size_t>(end - written));
    populator.Populate(std::span(populatedTo_, ahead));
    populatedTo_ = ahead;
}

}  // namespace fluvex
