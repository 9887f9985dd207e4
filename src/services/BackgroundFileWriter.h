#pragma once

// Writes buffers of text to an open file (or hands them to a function, such as a compressor) on
// a thread of its own, so that the next buffer is formatted while the kernel copies the last one
// into the page cache (a large export spends about as long in write() as in formatting).
// Write-back to the disk is started as each buffer lands, so that the flush before an export's
// rename has little left to wait for.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace fluvex {

class BackgroundFileWriter {
public:
    // `descriptor` must stay open until Finish has returned or the writer is destroyed.
    explicit BackgroundFileWriter(int descriptor);
    // Hands each buffer to `write` on the thread instead (a compressor, say); false from it
    // counts as a failed write.
    explicit BackgroundFileWriter(std::function<bool(std::string_view)> write);
    // Waits for the buffer being written.
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter&) = delete;
    BackgroundFileWriter& operator=(const BackgroundFileWriter&) = delete;

    // Hands the content of `buffer` over to be written and leaves in it an empty buffer (the one
    // written before, keeping its capacity). Waits while the previous buffer is still being
    // written. After a failed write, later buffers are dropped.
    void Write(std::string& buffer);
    // Waits until everything handed over is written; false when any write failed (a full disk).
    bool Finish();
    // Whether a write has failed so far, without waiting.
    bool Failed();

private:
    void Run();

    std::function<bool(std::string_view)> write_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string pending_;  // written by the thread while `hasPending_`
    bool hasPending_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::thread thread_;         // last, so that it starts after every member is ready
};

}  // namespace fluvex
