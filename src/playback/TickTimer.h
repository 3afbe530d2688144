#pragma once
// A thread that calls a handler once per interval while enabled. Tick n is due exactly n
// intervals after enabling (the interval may be a fraction of a millisecond), so a late tick is
// made up at once and the ticks never drift from a device that plays at the same pace.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "playback/Clock.h"

namespace sv {

// An interval of numerator / denominator milliseconds, kept as a fraction so that a period
// such as 8 820 000 / 96 000 ms is not rounded to whole milliseconds.
struct TickInterval {
    constexpr TickInterval(std::int64_t milliseconds, std::int64_t per = 1)
        : numerator(milliseconds), denominator(per) {}
    double Ms() const { return static_cast<double>(numerator) / static_cast<double>(denominator); }
    // Whole milliseconds from a start until tick n is due (rounded up).
    std::int64_t TickDueAfter(std::int64_t n) const;
    // Ticks due by `elapsed` milliseconds after the start.
    std::int64_t TicksDueBy(std::int64_t elapsed) const;

    std::int64_t numerator;
    std::int64_t denominator;
};

class TickTimer {
  public:
    // Starts suspended (not enabled). onTick runs on the timer's own thread.
    TickTimer(Clock& clock, TickInterval interval, std::function<void()> onTick);
    ~TickTimer();
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;

    // Enabling a stopped timer restarts its schedule: the first tick comes one interval later.
    void SetEnabled(bool enabled);
    bool Enabled() const;
    TickInterval Interval() const { return interval_; }
    // Ticks delivered since the last enabling.
    std::int64_t FiredCount() const;
    // The clock time at which the next tick is due (meaningful while enabled).
    std::int64_t NextTickMs() const;

  private:
    void Run();

    Clock& clock_;
    const TickInterval interval_;
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
