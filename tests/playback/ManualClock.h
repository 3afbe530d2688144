#pragma once
// A clock that moves only when the test says so.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "playback/Clock.h"

namespace sv::test {

class ManualClock final : public Clock {
  public:
    explicit ManualClock(std::int64_t startMs = 1'000'000) : now_(startMs) {}
    std::int64_t NowMs() override { return now_.load(); }
    // An advance wakes the waiters; a wake-up missed between their check and their wait is
    // made up by re-checking every millisecond of real time.
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   std::int64_t deadlineMs) override {
        {
            std::lock_guard guard(settledMutex_);
            if (now_.load() >= deadlineMs) return;
            settled_ = true;
            waiting_.push_back(&wake);
        }
        wake.wait_for(lock, std::chrono::milliseconds(1));
        std::lock_guard guard(settledMutex_);
        waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &wake));
    }
    void Advance(std::int64_t ms) {
        std::lock_guard guard(settledMutex_);
        now_ += ms;
        settled_ = false;
        for (std::condition_variable* wake : waiting_) wake->notify_all();
    }
    void AdvanceTo(std::int64_t ms) { Advance(ms - NowMs()); }
    // Whether a thread has waited for a time still ahead since the last advance: a lone timer
    // thread has then delivered every tick due.
    bool Settled() {
        std::lock_guard guard(settledMutex_);
        return settled_;
    }

  private:
    std::atomic<std::int64_t> now_;
    std::mutex settledMutex_;
    bool settled_ = false;
    std::vector<std::condition_variable*> waiting_;  // of threads inside WaitUntil
};

// Polls until done() holds or a generous real-time limit passes; returns done().
template <class Done>
bool Eventually(Done done, int limitMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

}  // namespace sv::test
