#include "base/Progress.h"

#include <cmath>

#include "base/MyTime.h"

namespace sv {

TProgress::TProgress(Clock clock) : clock_(clock ? std::move(clock) : Clock(MSecOfDay)) {
    startTime_ = clock_();
}

void TProgress::SGauMax(std::int64_t total) {
    total_ = total < 1 ? 1 : total;  // a walk with no units still reports sanely
    DispatchEvents();
}

void TProgress::SGauPro(std::int64_t done) {
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
    DispatchEvents();
}

ProgressFactory SilentProgressFactory() {
    return [] { return std::make_unique<TSilentProgress>(); };
}

std::unique_ptr<TProgress> TPorts::MakeProgress() const {
    if (progress) return progress();
    return std::make_unique<TSilentProgress>();
}

}  // namespace sv
