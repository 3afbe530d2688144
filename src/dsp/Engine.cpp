#include "dsp/Engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/FileMemory.h"
#include "audio/GainScaling.h"
#include "base/UsableCores.h"
#include "dsp/LargestMagnitude.h"

namespace sv {

Engine::Engine(FrontEndPorts ports, EngineOptions options)
    : ports_(std::move(ports)), options_(std::move(options)), scratch_(BlockSize) {}

Engine::~Engine() = default;

bool Engine::Paired(int channels) const {
    const bool lent = options_.IdleCores && options_.IdleCores->load(std::memory_order_relaxed) > 0;
    return options_.FastPaths && (options_.ChannelThreads || lent) && channels >= 2 &&
           UsableCores() >= 2;
}

std::int64_t Engine::PacerLead(int channels) {
    const std::int64_t hopsPerHalfWindow = FileMemory::HalfWindow / channels / Hop;
    return std::clamp<std::int64_t>(hopsPerHalfWindow - 3, 1, 24);
}

Engine::BlockWalk::BlockWalk(Engine& engine, ProcessingStep step, std::int64_t units,
                             bool pollsCancel)
    : progress_(engine.ports_.MakeProgress()), units_(units), pollsCancel_(pollsCancel) {
    progress_->EnableCancel(true);
    progress_->SetCaption(engine.options_.Caption ? engine.options_.Caption(step) : "");
    progress_->SetTotal(units);
    progress_->Show();
}

bool Engine::BlockWalk::Step(std::int64_t unit) {
    progress_->SetDone(unit);
    return !(pollsCancel_ && progress_->CancelRequested());
}

WalkResult Engine::BlockWalk::Finish() {
    progress_->SetDone(units_);
    return pollsCancel_ && progress_->CancelRequested() ? WalkResult::Cancelled
                                                        : WalkResult::Completed;
}

const ChainContext& Engine::Usable(const ChainContext& context) const {
    static const ChainContext none;
    return options_.FastPaths ? context : none;
}

std::unique_ptr<Wave> Engine::CreateOutput(const Wave& wave, ChainContext& context) {
    return Wave::CreateEmptyLike(wave, wave.FrameCount(), context.TakeSpareStore());
}

WalkResult Engine::Replace(std::unique_ptr<Wave>& wave, std::unique_ptr<Wave>& output,
                           WalkResult result, ChainContext& context) {
    if (result == WalkResult::Cancelled) {
        output.reset();
    } else {
        context.OfferStore(wave->TakeStore());
        wave = std::move(output);
    }
    return result;
}

bool Engine::WalkHops(HopStage& stage, const Wave& wave, std::int64_t first, std::int64_t last,
                      int channels, std::int64_t trail,
                      const std::function<bool(std::int64_t)>& report) {
    (void)wave;
    HopRange range{first,
                   last,
                   channels,
                   Paired(channels),
                   PacerLead(channels),
                   trail,
                   options_.EitherThreadLeads,
                   {}};
    // A batch worker's core lent once the walk is under way serves the rest of it.
    if (!range.Paired && options_.IdleCores)
        range.PairFromNowOn = [this, channels] { return Paired(channels); };
    return walker_.Walk(stage, range, report);
}

std::int64_t Engine::FindChannelPeak(Wave& wave, int channel) {
    const std::int64_t frames = wave.FrameCount();
    const std::int64_t blocks = frames / BlockSize;
    BlockWalk walk(*this, ProcessingStep::FindingPeaks, blocks, false);
    std::int64_t peak = 0;
    for (std::int64_t d = 0; d <= blocks; ++d) {
        const std::int64_t count = std::min<std::int64_t>(BlockSize, frames - d * BlockSize);
        ReadChannel(wave, scratch_.data(), FrameIndex{d * BlockSize}, channel, count);
        for (std::int64_t i = 0; i < count; ++i)
            peak = std::max<std::int64_t>(peak, std::llabs(scratch_[static_cast<std::size_t>(i)]));
        walk.Step(d);
    }
    walk.Finish();
    return peak;
}

std::vector<std::int64_t> Engine::AllChannelPeaks(Wave& wave, const ChainContext& context) {
    const int channels = wave.Channels();
    std::vector<std::int64_t> peaks(static_cast<std::size_t>(channels), 0);
    if (!options_.FastPaths) {
        for (int c = 0; c < channels; ++c) peaks[c] = FindChannelPeak(wave, c);
        return peaks;
    }
    const std::int64_t frames = wave.FrameCount();
    const std::int64_t blocks = frames / BlockSize;
    const std::vector<std::int64_t>* known = context.ChannelPeaksOf(wave);
    for (int c = 0; c < channels; ++c) {
        BlockWalk walk(*this, ProcessingStep::FindingPeaks, blocks, false);
        if (c == 0 && known) {
            peaks = *known;
        } else if (c == 0) {
            // Every channel in one pass over the interleaved values.
            Int32Array values(static_cast<std::size_t>(BlockSize) * channels);
            for (std::int64_t d = 0; d <= blocks; ++d) {
                const std::int64_t count =
                    std::min<std::int64_t>(BlockSize, frames - d * BlockSize) * channels;
                ReadInterleaved(wave, values.data(), SampleIndex{d * BlockSize * channels}, count);
                TakeChannelPeaks(peaks, values.data(), 0, count);
                walk.Step(d);
            }
        }
        walk.Finish();
    }
    return peaks;
}

std::vector<float> Engine::NormalizingGains(Wave& wave, int levelDb, bool perChannel,
                                            const ChainContext& context) {
    const int channels = wave.Channels();
    const long double fullScale = static_cast<long double>(wave.FullScale() - 1);
    std::vector<float> gains(static_cast<std::size_t>(channels), 0.0f);
    const std::vector<std::int64_t> peaks = AllChannelPeaks(wave, Usable(context));
    for (int c = 0; c < channels; ++c) {
        const std::int64_t peak = peaks[c];
        if (peak >= 1)
            gains[c] = static_cast<float>(std::pow(10.0L, levelDb / 20.0L) * fullScale /
                                          static_cast<long double>(peak));
    }
    if (!perChannel && channels == 2) {
        // Both channels keep their balance; a silent channel takes no part in the choice.
        float common = gains[0] == 0.0f   ? gains[1]
                       : gains[1] == 0.0f ? gains[0]
                                          : std::min(gains[0], gains[1]);
        gains[0] = gains[0] == 0.0f ? 0.0f : common;
        gains[1] = gains[1] == 0.0f ? 0.0f : common;
    }
    return gains;
}

WalkResult Engine::Normalize(std::unique_ptr<Wave>& wave, int levelDb, bool perChannel) {
    ChainContext none;
    return Normalize(wave, levelDb, perChannel, none);
}

WalkResult Engine::Normalize(std::unique_ptr<Wave>& wave, int levelDb, bool perChannel,
                             ChainContext& context) {
    BusyCursor busy(ports_.dialogs);
    const int channels = wave->Channels();
    const std::vector<float> gains = NormalizingGains(*wave, levelDb, perChannel, context);
    auto output = CreateOutput(*wave, context);
    const std::int64_t frames = wave->FrameCount();
    const std::int64_t blocks = frames / BlockSize;
    BlockWalk walk(*this, ProcessingStep::Normalizing, blocks);
    for (std::int64_t d = 0; d <= blocks; ++d) {
        const std::int64_t count = std::min<std::int64_t>(BlockSize, frames - d * BlockSize);
        const std::int64_t storeFrame = MarginFrames + d * BlockSize;
        for (int c = 0; c < channels; ++c) {
            wave->ReadChannel(scratch_.data(), storeFrame, c, count);
            const float gain = gains[c];
            ScaleValues(scratch_.data(), count, gain, gain);
            output->WriteChannel(scratch_.data(), storeFrame, c, count);
        }
        if (walk.CancelRequested()) break;  // this walk asks before it reports
        walk.Step(d);
    }
    return Replace(wave, output, walk.Finish(), context);
}

WalkResult Engine::NormalizeWhileSaving(Wave& wave, int levelDb, bool perChannel,
                                        const ChainContext& context, std::vector<float>& gains) {
    BusyCursor busy(ports_.dialogs);
    gains = NormalizingGains(wave, levelDb, perChannel, context);
    BlockWalk walk(*this, ProcessingStep::Normalizing, wave.FrameCount() / BlockSize);
    if (walk.Finish() == WalkResult::Completed) return WalkResult::Completed;
    gains.clear();
    return WalkResult::Cancelled;
}

}  // namespace sv
