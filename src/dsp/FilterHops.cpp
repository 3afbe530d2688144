// The filtering walk shared by levelling and noise removal: read a hop, transform it, change its
// spectrum, transform it back and add it into the output, gathering on the way what the next
// stage wants to know of the output.
#include <algorithm>

#include "dsp/Engine.h"

namespace sv {
namespace {

class FilterStage final : public HopStage {
  public:
    FilterStage(Wave& wave, Wave& output, const std::function<void(int, Complex*)>& perBin,
                SpectrumTally* tally, BlockPeaks* peaks)
        : wave_(wave),
          output_(output),
          perBin_(perBin),
          tally_(tally),
          peaks_(peaks),
          storeFrames_(wave.FrameCount() + 2 * MarginFrames),
          documentEnd_(MarginFrames + wave.FrameCount()),
          lastMeasured_(wave.FrameCount() / Engine::Hop) {}

    void Hop(HopLane& lane, int c, std::int64_t h) override {
        const std::int64_t storeFrame = h * Engine::Hop;
        const std::int64_t inside =
            std::clamp<std::int64_t>(storeFrames_ - storeFrame, 0, Engine::BlockSize);
        wave_.ReadChannel(lane.block.data(), storeFrame, c, inside);
        std::fill(lane.block.begin() + inside, lane.block.end(), 0);
        lane.fourier.Forward(lane.block.data(), lane.spectrum.data());
        perBin_(c, lane.spectrum.data());
        lane.fourier.Inverse(lane.spectrum.data(), lane.block.data());
        if (tally_ && c < SpectrumTally::Channels)
            tally_->AddWrittenHop(lane.fourier, c, h, lane.block.data(), inside, lastMeasured_);
        if (!peaks_) {
            output_.AddChannel(lane.block.data(), storeFrame, c, inside);
            return;
        }
        output_.AddChannel(lane.block.data(), storeFrame, c, inside, lane.sums.data());
        // The frames of the hop's first half got their last addition from it.
        const std::int64_t from = std::max(storeFrame, MarginFrames);
        const std::int64_t to =
            std::min(storeFrame + std::min<std::int64_t>(inside, Engine::Hop), documentEnd_);
        if (to > from)
            peaks_->TakeChannel(c, lane.sums.data() + (from - storeFrame), from - MarginFrames,
                                to - from);
    }

  private:
    Wave& wave_;
    Wave& output_;
    const std::function<void(int, Complex*)>& perBin_;
    SpectrumTally* tally_;
    BlockPeaks* peaks_;
    const std::int64_t storeFrames_;
    const std::int64_t documentEnd_;
    const std::int64_t lastMeasured_;
};

}  // namespace

bool Engine::FilterHops(Wave& wave, Wave& output, BlockWalk& walk,
                        const std::function<void(int, Complex*)>& perBin, ChainContext& context) {
    const ChainContext::Wants& wants = context.Wanted();
    SpectrumTally* tally = Gathers(wants.Tally) ? &context.GatherTally() : nullptr;
    BlockPeaks* peaks = Gathers(wants.PeakBlockSize > 0)
                            ? &context.GatherBlockPeaks(wave, wants.PeakBlockSize)
                            : nullptr;
    FilterStage stage(wave, output, perBin, tally, peaks);
    const bool completed = WalkHops(stage, wave, 0, WalkUnits(wave, true), wave.Channels(), 0,
                                    [&walk](std::int64_t h) { return walk.Step(h); });
    if (!completed) return false;
    if (tally) context.KeepTallyOf(output);
    if (peaks) {
        peaks->Complete();
        context.KeepBlockPeaksOf(output);
    }
    return true;
}

}  // namespace sv
