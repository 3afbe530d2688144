#include "playback/Clock.h"

#include <chrono>

#include "base/Time.h"

namespace sv {

std::int64_t SteadyClock::NowMs() { return MonotonicMilliseconds(); }

void SteadyClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                            std::int64_t deadlineMs) {
    const std::int64_t left = deadlineMs - NowMs();
    if (left <= 0) return;
    wake.wait_for(lock, std::chrono::milliseconds(left));
}

}  // namespace sv
