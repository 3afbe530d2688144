#include "base/Progress.h"

#include <cmath>

#include "base/Time.h"

namespace sv {

Progress::Progress(Clock clock) : clock_(clock ? std::move(clock) : Clock(MonotonicMilliseconds)) {
    startTime_ = clock_();
}

void Progress::SetTotal(std::int64_t total) {
    total_ = total < 1 ? 1 : total;  // a walk with no units still reports sanely
    PollCancel();
}

void Progress::SetDone(std::int64_t done) {
    std::int32_t remaining = 0;
    if (done > 0) {
        const double elapsed = static_cast<double>(clock_() - startTime_);
        const double ratio = static_cast<double>(total_) / static_cast<double>(done);
        remaining = static_cast<std::int32_t>(std::nearbyint(elapsed * (ratio - 1.0) / 1000.0));
    }
    if (remaining != shownEstimate_) ShowEstimate(DurationText(remaining, 1));
    shownEstimate_ = remaining;
    const int position = static_cast<int>(done * BarPixels / total_);
    if (position == position_) return;
    position_ = position;
    ShowPosition(position);
    PollCancel();
}

ProgressFactory SilentProgressFactory() {
    return [] { return std::make_unique<SilentProgress>(); };
}

std::unique_ptr<Progress> FrontEndPorts::MakeProgress() const {
    if (progress) return progress();
    return std::make_unique<SilentProgress>();
}

}  // namespace sv
