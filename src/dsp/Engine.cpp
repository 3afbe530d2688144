#include "dsp/Engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "audio/FileMemory.h"
#include "audio/GainScaling.h"
#include "base/UsableCores.h"
#include "dsp/LargestMagnitude.h"
#include "text/Language.h"

namespace sv {

Engine::Engine(FrontEndPorts ports)
    : ports_(std::move(ports)), lanes_{HopLane(BlockSize), HopLane(BlockSize)} {}

Engine::~Engine() = default;

ChannelWorker* Engine::PairWorker(int channels) {
    const bool lent = idleCores_ && idleCores_->load(std::memory_order_relaxed) > 0;
    if (!fastPaths_ || !(channelThreads_ || lent) || channels < 2 || UsableCores() < 2)
        return nullptr;
    if (!worker_) worker_ = std::make_unique<ChannelWorker>();
    return worker_.get();
}

std::int64_t Engine::PacerLead(int channels) {
    const std::int64_t hopsPerHalfWindow = FileMemory::HalfWindow / channels / Hop;
    return std::clamp<std::int64_t>(hopsPerHalfWindow - 3, 1, 8);
}

Engine::BlockWalk::BlockWalk(Engine& engine, const std::string& title, std::int64_t units,
                             bool pollsCancel)
    : engine_(engine),
      progress_(engine.ports_.MakeProgress()),
      units_(units),
      pollsCancel_(pollsCancel) {
    progress_->EnableCancel(true);
    progress_->SetCaption(title);
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

void Engine::ReuseSwapFiles(bool on) {
    reuseSwapFiles_ = on;
    if (!on) spareStore_.reset();
}

std::unique_ptr<Wave> Engine::CreateOutput(const Wave& wave) {
    return Wave::CreateEmptyLike(wave, wave.FrameCount(), std::move(spareStore_));
}

WalkResult Engine::Replace(std::unique_ptr<Wave>& wave, std::unique_ptr<Wave>& output,
                           WalkResult result) {
    if (result == WalkResult::Cancelled) {
        output.reset();
    } else {
        if (reuseSwapFiles_) spareStore_ = wave->TakeStore();
        wave = std::move(output);
    }
    return result;
}

std::int64_t Engine::FindChannelPeak(Wave& wave, int channel) {
    const std::int64_t frames = wave.FrameCount();
    const std::int64_t blocks = frames / BlockSize;
    BlockWalk walk(*this, Texts().NormalizeDetectionTitle, blocks, false);
    std::int64_t peak = 0;
    for (std::int64_t d = 0; d <= blocks; ++d) {
        const std::int64_t count = std::min<std::int64_t>(BlockSize, frames - d * BlockSize);
        wave.ReadChannel(lanes_[0].block.data(), MarginFrames + d * BlockSize, channel, count);
        for (std::int64_t i = 0; i < count; ++i)
            peak = std::max<std::int64_t>(peak,
                                          std::llabs(lanes_[0].block[static_cast<std::size_t>(i)]));
        walk.Step(d);
    }
    walk.Finish();
    return peak;
}

std::vector<std::int64_t> Engine::AllChannelPeaks(Wave& wave, const ChannelPeaks* known) {
    const int channels = wave.Channels();
    std::vector<std::int64_t> peaks(static_cast<std::size_t>(channels), 0);
    if (!fastPaths_) {
        for (int c = 0; c < channels; ++c) peaks[c] = FindChannelPeak(wave, c);
        return peaks;
    }
    const std::int64_t frames = wave.FrameCount();
    const std::int64_t blocks = frames / BlockSize;
    const bool useKnown =
        known && known->Of == &wave && known->Peaks.size() == static_cast<std::size_t>(channels);
    for (int c = 0; c < channels; ++c) {
        BlockWalk walk(*this, Texts().NormalizeDetectionTitle, blocks, false);
        if (c == 0 && useKnown) {
            peaks = known->Peaks;
        } else if (c == 0) {
            // Every channel in one pass over the interleaved values.
            Int32Array values(static_cast<std::size_t>(BlockSize) * channels);
            for (std::int64_t d = 0; d <= blocks; ++d) {
                const std::int64_t count =
                    std::min<std::int64_t>(BlockSize, frames - d * BlockSize) * channels;
                wave.ReadRaw(values.data(), (MarginFrames + d * BlockSize) * channels, count);
                TakeChannelPeaks(peaks, values.data(), 0, count);
                walk.Step(d);
            }
        }
        walk.Finish();
    }
    return peaks;
}

std::vector<float> Engine::NormalizingGains(Wave& wave, int levelDb, bool perChannel,
                                            const ChannelPeaks* known) {
    const int channels = wave.Channels();
    const long double fullScale = static_cast<long double>(wave.FullScale() - 1);
    std::vector<float> gains(static_cast<std::size_t>(channels), 0.0f);
    const std::vector<std::int64_t> peaks = AllChannelPeaks(wave, known);
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

WalkResult Engine::Normalize(std::unique_ptr<Wave>& wave, int levelDb, bool perChannel,
                             const ChannelPeaks* known) {
    BusyCursor busy(ports_.dialogs);
    const int channels = wave->Channels();
    const std::vector<float> gains = NormalizingGains(*wave, levelDb, perChannel, known);
    auto output = CreateOutput(*wave);
    const std::int64_t frames = wave->FrameCount();
    const std::int64_t blocks = frames / BlockSize;
    BlockWalk walk(*this, Texts().NormalizingTitle, blocks);
    for (std::int64_t d = 0; d <= blocks; ++d) {
        const std::int64_t count = std::min<std::int64_t>(BlockSize, frames - d * BlockSize);
        const std::int64_t storeFrame = MarginFrames + d * BlockSize;
        for (int c = 0; c < channels; ++c) {
            wave->ReadChannel(lanes_[0].block.data(), storeFrame, c, count);
            const float gain = gains[c];
            std::int32_t* values = lanes_[0].block.data();
            ScaleValues(values, count, gain, gain);
            output->WriteChannel(lanes_[0].block.data(), storeFrame, c, count);
        }
        if (walk.CancelRequested()) break;  // this walk asks before it reports
        walk.Step(d);
    }
    return Replace(wave, output, walk.Finish());
}

WalkResult Engine::NormalizeWhileSaving(Wave& wave, int levelDb, bool perChannel,
                                        const ChannelPeaks* known, std::vector<float>& gains) {
    BusyCursor busy(ports_.dialogs);
    gains = NormalizingGains(wave, levelDb, perChannel, known);
    BlockWalk walk(*this, Texts().NormalizingTitle, wave.FrameCount() / BlockSize);
    if (walk.Finish() == WalkResult::Completed) return WalkResult::Completed;
    gains.clear();
    return WalkResult::Cancelled;
}

}  // namespace sv
