#pragma once
// A clock that moves only when the test says so.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "playback/Clock.h"

namespace sv::test {

class ManualClock final : public Clock {
  public:
    explicit ManualClock(std::int64_t startMs = 1'000'000) : now_(startMs) {}
    std::int64_t NowMs() override { return now_.load(); }
    // Waiters re-check every millisecond of real time, so an advance is seen promptly.
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   std::int64_t deadlineMs) override {
        if (now_.load() < deadlineMs) wake.wait_for(lock, std::chrono::milliseconds(1));
    }
    void Advance(std::int64_t ms) { now_ += ms; }

  private:
    std::atomic<std::int64_t> now_;
};

// Polls until done() holds or a generous real-time limit passes; returns done().
template <class Done>
bool Eventually(Done done, int limitMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace sv::test
