#include "playback/TickTimer.h"

#include <algorithm>

namespace sv {

TickTimer::TickTimer(Clock& clock, std::int64_t intervalMs, std::function<void()> onTick)
    : clock_(clock),
      intervalMs_(std::max<std::int64_t>(intervalMs, 1)),
      onTick_(std::move(onTick)) {
    thread_ = std::thread([this] { Run(); });
}

TickTimer::~TickTimer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TickTimer::SetEnabled(bool enabled) {
    {
        std::lock_guard lock(mutex_);
        if (enabled == enabled_) return;
        enabled_ = enabled;
        if (enabled) {
            startTime_ = clock_.NowMs();
            fired_ = 0;
        }
    }
    wake_.notify_all();
}

bool TickTimer::Enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

std::int64_t TickTimer::FiredCount() const {
    std::lock_guard lock(mutex_);
    return fired_;
}

void TickTimer::Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!enabled_) {
            wake_.wait(lock, [this] { return quit_ || enabled_; });
            continue;
        }
        const std::int64_t due = (clock_.NowMs() - startTime_) / intervalMs_;
        if (fired_ < due) {
            // One tick per pass; the handler runs unlocked so it may take other locks freely.
            ++fired_;
            lock.unlock();
            onTick_();
            lock.lock();
            continue;
        }
        clock_.WaitUntil(wake_, lock, startTime_ + (fired_ + 1) * intervalMs_);
    }
}

}  // namespace sv
