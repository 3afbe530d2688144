// The filtering walk shared by levelling and noise removal: read a hop, transform it, change its
// spectrum, transform it back and add it into the output, gathering on the way what the next
// stage wants to know of the output.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dsp/Engine.h"

namespace sv {
namespace {

class FilterStage final : public HopStage {
  public:
    FilterStage(Wave& wave, Wave& output, const std::function<void(int, Complex*)>& perBin,
                SpectrumTally* tally, BlockPeaks* peaks, std::int64_t lastHop, bool lowerHalf)
        : wave_(wave),
          output_(output),
          perBin_(perBin),
          tally_(tally),
          peaks_(peaks),
          storeFrames_(wave.FrameCount() + 2 * MarginFrames),
          documentEnd_(MarginFrames + wave.FrameCount()),
          lastMeasured_(wave.FrameCount() / Engine::Hop),
          lastHop_(lastHop),
          lowerHalf_(lowerHalf) {
        if (&wave == &output)
            carries_.assign(static_cast<std::size_t>(wave.Channels()), Int32Array(Engine::Hop));
    }

    void Hop(HopLane& lane, int c, std::int64_t h) override {
        const std::int64_t storeFrame = h * Engine::Hop;
        const std::int64_t inside =
            std::clamp<std::int64_t>(storeFrames_ - storeFrame, 0, Engine::BlockSize);
        const std::int32_t* input = lane.ReadHop(wave_, c, h, inside);
        if (lowerHalf_)
            lane.fourier.ForwardLowerHalf(input, lane.spectrum.data());
        else
            lane.fourier.Forward(input, lane.spectrum.data());
        perBin_(c, lane.spectrum.data());
        lane.fourier.Inverse(lane.spectrum.data(), lane.block.data());
        if (tally_ && c < SpectrumTally::Channels)
            tally_->AddWrittenHop(lane.fourier, c, h, lane.block.data(), inside, lastMeasured_);
        if (!carries_.empty()) {
            WriteOverInput(lane, c, h, inside);
        } else if (!peaks_) {
            output_.AddChannel(lane.block.data(), storeFrame, c, inside);
            return;
        } else {
            output_.AddChannel(lane.block.data(), storeFrame, c, inside, lane.sums.data());
        }
        if (!peaks_) return;
        // The frames of the hop's first half got their last addition from it.
        const std::int64_t from = std::max(storeFrame, MarginFrames);
        const std::int64_t to =
            std::min(storeFrame + std::min<std::int64_t>(inside, Engine::Hop), documentEnd_);
        if (to > from)
            peaks_->TakeChannel(c, lane.sums.data() + (from - storeFrame), from - MarginFrames,
                                to - from);
    }

  private:
    // Writing over the input: a hop writes only its first half, which later hops do not read,
    // as the sum of the carry and its own values; its second half is carried into the next hop
    // and, after the last hop, written as it is. The values are those an addition into an empty
    // output leaves.
    void WriteOverInput(HopLane& lane, int c, std::int64_t h, std::int64_t inside) {
        const std::int64_t storeFrame = h * Engine::Hop;
        const std::int64_t first = std::min<std::int64_t>(inside, Engine::Hop);
        std::int32_t* carry = carries_[static_cast<std::size_t>(c)].data();
        const std::int32_t* block = lane.block.data();
        std::int32_t* sums = lane.sums.data();
        for (std::int64_t i = 0; i < first; ++i)
            sums[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(carry[i]) +
                                                static_cast<std::uint32_t>(block[i]));
        output_.WriteChannel(sums, storeFrame, c, first);
        const std::int64_t second = inside - first;
        std::copy(block + Engine::Hop, block + Engine::Hop + second, carry);
        if (h == lastHop_ && second > 0) output_.WriteChannel(carry, storeFrame + first, c, second);
    }

    Wave& wave_;
    Wave& output_;
    const std::function<void(int, Complex*)>& perBin_;
    SpectrumTally* tally_;
    BlockPeaks* peaks_;
    const std::int64_t storeFrames_;
    const std::int64_t documentEnd_;
    const std::int64_t lastMeasured_;
    const std::int64_t lastHop_;
    const bool lowerHalf_;
    std::vector<Int32Array> carries_;  // one hop's values per channel, writing over the input
};

}  // namespace

bool Engine::FilterHops(Wave& wave, Wave& output, BlockWalk& walk,
                        const std::function<void(int, Complex*)>& perBin, ChainContext& context,
                        bool lowerHalf) {
    const ChainContext::Wants& wants = context.Wanted();
    SpectrumTally* tally = Gathers(wants.Tally) ? &context.GatherTally() : nullptr;
    BlockPeaks* peaks = Gathers(wants.PeakBlockSize > 0)
                            ? &context.GatherBlockPeaks(wave, wants.PeakBlockSize)
                            : nullptr;
    const std::int64_t lastHop = WalkUnits(wave, true);
    FilterStage stage(wave, output, perBin, tally, peaks, lastHop, lowerHalf);
    const bool completed = WalkHops(stage, wave, 0, lastHop, wave.Channels(), 0,
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
