#pragma once
// The millisecond clock the playback threads schedule by; tests substitute a clock they move.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace sv {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
    // Blocks until the clock reaches deadlineMs or the condition is notified (spurious returns
    // are allowed: callers re-check).
    virtual void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           std::int64_t deadlineMs) = 0;
};

// The monotonic system clock (MonotonicMilliseconds).
class SteadyClock final : public Clock {
  public:
    std::int64_t NowMs() override;
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   std::int64_t deadlineMs) override;
};

}  // namespace sv
