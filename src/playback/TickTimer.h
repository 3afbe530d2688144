#pragma once
// A thread that calls a handler every Interval milliseconds while enabled. Ticks count from the
// moment of enabling, so a late tick is made up at once and the number of ticks stays exact.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "playback/Clock.h"

namespace sv {

class TickTimer {
  public:
    // Starts suspended (not enabled). onTick runs on the timer's own thread.
    TickTimer(Clock& clock, std::int64_t intervalMs, std::function<void()> onTick);
    ~TickTimer();
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;

    // Enabling a stopped timer restarts its schedule: the first tick comes one interval later.
    void SetEnabled(bool enabled);
    bool Enabled() const;
    std::int64_t IntervalMs() const { return intervalMs_; }
    // Ticks delivered since the last enabling.
    std::int64_t FiredCount() const;

  private:
    void Run();

    Clock& clock_;
    const std::int64_t intervalMs_;
    const std::function<void()> onTick_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool enabled_ = false;
    bool quit_ = false;
    std::int64_t startTime_ = 0;
    std::int64_t fired_ = 0;
    std::thread thread_;
};

}  // namespace sv
