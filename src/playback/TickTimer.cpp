#include "playback/TickTimer.h"

#include <numeric>

namespace sv {

namespace {

TickInterval Sane(TickInterval interval) {
    if (interval.numerator < 1 || interval.denominator < 1) return TickInterval(1);
    const std::int64_t common = std::gcd(interval.numerator, interval.denominator);
    return TickInterval(interval.numerator / common, interval.denominator / common);
}

}  // namespace

// 64-bit products: a day's milliseconds times a denominator of 2^30 still fit.
std::int64_t TickInterval::TickDueAfter(std::int64_t n) const {
    return (n * numerator + denominator - 1) / denominator;
}

std::int64_t TickInterval::TicksDueBy(std::int64_t elapsed) const {
    return elapsed < 0 ? 0 : elapsed * denominator / numerator;
}

TickTimer::TickTimer(Clock& clock, TickInterval interval, std::function<void()> onTick)
    : clock_(clock), interval_(Sane(interval)), onTick_(std::move(onTick)) {
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

std::int64_t TickTimer::NextTickMs() const {
    std::lock_guard lock(mutex_);
    return startTime_ + interval_.TickDueAfter(fired_ + 1);
}

void TickTimer::Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!enabled_) {
            wake_.wait(lock, [this] { return quit_ || enabled_; });
            continue;
        }
        const std::int64_t due = interval_.TicksDueBy(clock_.NowMs() - startTime_);
        if (fired_ < due) {
            // One tick per pass; the handler runs unlocked so it may take other locks freely.
            ++fired_;
            lock.unlock();
            onTick_();
            lock.lock();
            continue;
        }
        clock_.WaitUntil(wake_, lock, startTime_ + interval_.TickDueAfter(fired_ + 1));
    }
}

}  // namespace sv
