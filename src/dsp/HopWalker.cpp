#include "dsp/HopWalker.h"

#include <algorithm>

#include "audio/Wave.h"
#include "dsp/HopPacer.h"

namespace sv {

const std::int32_t* HopLane::ReadHop(Wave& wave, int c, std::int64_t h, std::int64_t inside) {
    const auto n = static_cast<std::int64_t>(input_.size());
    const std::int64_t half = n / 2;
    std::int64_t kept = 0;
    // The hop before lay inside the store, so this hop's first half does too.
    if (inputWave_ == &wave && inputChannel_ == c && inputHop_ == h - 1 && inputInside_ == n) {
        std::copy(input_.begin() + half, input_.end(), input_.begin());
        kept = half;
    }
    if (inside > kept) wave.ReadChannel(input_.data() + kept, h * half + kept, c, inside - kept);
    std::fill(input_.begin() + std::max(inside, kept), input_.end(), 0);
    inputWave_ = &wave;
    inputChannel_ = c;
    inputHop_ = h;
    inputInside_ = inside;
    return input_.data();
}

HopWalker::HopWalker() : lanes_{HopLane(BlockSize), HopLane(BlockSize)} {}

HopWalker::~HopWalker() = default;

bool HopWalker::Walk(HopStage& stage, const HopRange& range,
                     const std::function<bool(std::int64_t)>& report) {
    for (HopLane& lane : lanes_) lane.ForgetInput();
    stage.Start();
    bool completed = true;
    if (range.Paired && range.Channels >= 2) {
        completed = WalkPaired(stage, range, report);
    } else {
        for (std::int64_t h = range.First; h <= range.Last && completed; ++h) {
            for (int c = 0; c < range.Channels; ++c) stage.Hop(lanes_[0], c, h);
            completed = report(h);
            // Every channel has finished hop h: paired from h + 1 on, each sees its hops in
            // order as before.
            if (completed && h < range.Last && range.Channels >= 2 && range.PairFromNowOn &&
                range.PairFromNowOn()) {
                HopRange rest = range;
                rest.First = h + 1;
                completed = WalkPaired(stage, rest, report);
                break;
            }
        }
    }
    stage.Finish(completed);
    return completed;
}

// Two threads walk all hops, each for every second channel and through its own lane, store
// traffic included. A channel's values see the same reads and additions in the same order as on
// one thread, and 32-bit sums do not depend on how the channels interleave.
bool HopWalker::WalkPaired(HopStage& stage, const HopRange& range,
                           const std::function<bool(std::int64_t)>& report) {
    if (!worker_) worker_ = std::make_unique<ChannelWorker>();
    HopPacer pacer(range.Lead, range.Trail, range.EitherLeads, range.First);
    bool goesOn = true;
    // Thread 0 reports before it lets thread 1 past hop h (after, when thread 1 trails it), so a
    // cancel ends both channels after the same hop.
    auto reportOn = [&](std::int64_t h) {
        if (report(h)) return true;
        goesOn = false;
        pacer.EndAfter(h);
        return false;
    };
    auto walkLane = [&](int self) {
        try {
            for (std::int64_t h = range.First; h <= range.Last; ++h) {
                if (!pacer.MayStart(self, h)) return;
                for (int c = self; c < range.Channels; c += 2) stage.Hop(lanes_[self], c, h);
                if (self == 0 && range.Trail == 0 && !reportOn(h)) return;
                pacer.Finished(self, h);
                if (self == 0 && range.Trail > 0 && !reportOn(h)) return;
            }
        } catch (...) {
            pacer.Abandon();  // the other thread must not wait for this one
            throw;
        }
    };
    worker_->RunBoth([&] { walkLane(0); }, [&] { walkLane(1); });
    return goesOn;
}

}  // namespace sv
