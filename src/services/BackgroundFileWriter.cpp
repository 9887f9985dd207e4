#include "services/BackgroundFileWriter.h"

#include <fcntl.h>

#include <utility>

#include "services/AtomicFile.h"

namespace fluvex {

BackgroundFileWriter::BackgroundFileWriter(int descriptor)
    : BackgroundFileWriter([descriptor, written = std::uint64_t{0}](std::string_view data) mutable {
          if (!WriteAllToDescriptor(descriptor, data)) return false;
          // Starts the disk write of what just landed without waiting for it; the flush at the
          // end then waits for the last few buffers only. A file system without it loses
          // nothing: the flush does the work.
          ::sync_file_range(descriptor, static_cast<off_t>(written),
                            static_cast<off_t>(data.size()), SYNC_FILE_RANGE_WRITE);
          written += data.size();
          return true;
      }) {}

BackgroundFileWriter::BackgroundFileWriter(std::function<bool(std::string_view)> write)
    : write_(std::move(write)), thread_([this] { Run(); }) {}

BackgroundFileWriter::~BackgroundFileWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundFileWriter::Write(std::string& buffer) {
    std::size_t handed = 0;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !hasPending_; });
        std::swap(pending_, buffer);
        handed = pending_.size();
        hasPending_ = true;
    }
    changed_.notify_all();
    buffer.clear();
    buffer.reserve(handed);  // the first buffer handed back has none yet
}

bool BackgroundFileWriter::Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !hasPending_; });
    return !failed_;
}

bool BackgroundFileWriter::Failed() {
    const std::lock_guard lock(mutex_);
    return failed_;
}

void BackgroundFileWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return hasPending_ || stopping_; });
        if (!hasPending_) return;
        const bool skip = failed_;
        lock.unlock();
        // The buffer is ours until hasPending_ is cleared: Write waits for that before it swaps.
        const bool ok = skip || write_(pending_);
        pending_.clear();
        lock.lock();
        failed_ = failed_ || !ok;
        hasPending_ = false;
        changed_.notify_all();
    }
}

}  // namespace fluvex
