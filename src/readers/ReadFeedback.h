#pragma once

// Progress and cancellation of a long read, shared between the reader and whoever shows the
// progress. The reader reports a few times per megabytes read, never per record, and stops at the
// next chunk once cancelled. Cancel may be called from another thread.

#include <atomic>

namespace fluvex {

class ReadFeedback {
public:
    virtual ~ReadFeedback() = default;

    // Fraction of the work done, 0 to 1. Override to show it; the base keeps the last value.
    virtual void SetProgress(double fraction) { progress_.store(fraction); }
    double Progress() const { return progress_.load(); }

    void Cancel() { canceled_.store(true); }
    bool IsCanceled() const { return canceled_.load(); }

private:
    std::atomic<double> progress_{0.0};
    std::atomic<bool> canceled_{false};
};

}  // namespace fluvex
