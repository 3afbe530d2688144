#include "dsp/HopPacer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sv {

bool HopPacer::MayStart(int self, std::int64_t h) {
    // Most waits are a fraction of a hop: a short spin spares the other thread a wake-up call.
    for (int spin = 0; spin < 256 && !Ready(self, h); ++spin) {
#if defined(__SSE2__)
        _mm_pause();
#endif
    }
    if (!Ready(self, h)) {
        std::unique_lock lock(mutex_);
        waiting_.fetch_add(1);
        changed_.wait(lock, [&] { return Ready(self, h); });
        waiting_.fetch_sub(1);
    }
    return !abandoned_.load() && h < end_.load();
}

void HopPacer::Finished(int self, std::int64_t h) {
    done_[self].store(h + 1);
    if (waiting_.load() > 0) WakeWaiters();
}

void HopPacer::EndAfter(std::int64_t h) {
    end_.store(h + 1);
    WakeWaiters();
}

void HopPacer::Abandon() {
    abandoned_.store(true);
    WakeWaiters();
}

void HopPacer::WakeWaiters() {
    // Taking the lock orders the wake after a waiter's last look at the counts.
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

}  // namespace sv
