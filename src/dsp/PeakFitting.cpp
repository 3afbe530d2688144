// Peak fitting: the largest block peaks are brought down to the level of the N-th largest by
// smooth dips in gain rather than by clipping.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <vector>

#include "dsp/Engine.h"
#include "dsp/LargestMagnitude.h"
#include "text/Language.h"

namespace sv {
namespace {

// The n-th largest block peak, or 0 when fewer than n blocks have a positive peak.
std::int64_t NthLargestPeak(std::vector<std::int64_t>& peaks, int n) {
    if (n < 1 || static_cast<std::size_t>(n) > peaks.size()) return 0;
    std::nth_element(peaks.begin(), peaks.begin() + (n - 1), peaks.end(), std::greater<>());
    return std::max<std::int64_t>(peaks[static_cast<std::size_t>(n - 1)], 0);
}

// Takes the largest |value| of each channel over count raw values starting at raw value first
// of the document.
void TakeChannelPeaks(std::vector<std::int64_t>& peaks, const std::int32_t* values,
                      std::int64_t first, std::int64_t count) {
    const int channels = static_cast<int>(peaks.size());
    for (int k = 0; k < channels && k < count; ++k) {
        auto& peak = peaks[static_cast<std::size_t>((first + k) % channels)];
        peak = std::max<std::int64_t>(
            peak, LargestMagnitude(values + k, (count - k + channels - 1) / channels, channels));
    }
}

// One call's working memory and the dip it applies to the output document.
class Dipper {
  public:
    Dipper(Wave& output, std::int64_t neighbourhood, std::int64_t threshold)
        : output_(output),
          b_(neighbourhood),
          threshold_(threshold),
          values_(output.FrameCount() * output.Channels()),
          first_(MarginFrames * output.Channels()),
          block_(static_cast<std::size_t>(neighbourhood)),
          asRead_{Int32Array(static_cast<std::size_t>(neighbourhood)),
                  Int32Array(static_cast<std::size_t>(neighbourhood))},
          window_(static_cast<std::size_t>(2 * neighbourhood + 1)),
          shape_(static_cast<std::size_t>(neighbourhood + 1)) {
        // (cos(i pi / B) + 1) / 2 depends on |i| only.
        for (std::int64_t i = 0; i <= b_; ++i)
            shape_[static_cast<std::size_t>(i)] =
                (std::cos(static_cast<double>(i) * std::numbers::pi / static_cast<double>(b_)) +
                 1.0) /
                2.0;
    }

    // Dips every value of block a above the threshold, testing later values after the dips.
    void FitBlock(std::int64_t a) {
        const std::int64_t start = a * b_;
        const std::int64_t count = std::min(b_, values_ - start);
        output_.ReadRaw(block_.data(), first_ + start, count);
        Int32Array& asRead = asRead_[a & 1];
        std::copy_n(block_.data(), std::max<std::int64_t>(count, 0), asRead.data());
        bool dipped = false;
        for (std::int64_t j = 0; j < count; ++j) {
            const std::int64_t peak = std::llabs(block_[static_cast<std::size_t>(j)]);
            if (peak <= threshold_) continue;
            dipped = true;
            Dip(start + j, peak);
            output_.ReadRaw(block_.data() + j + 1, first_ + start + j + 1, count - j - 1);
        }
        dipped_[a & 1] = dipped;
    }

    // Channel peaks of block a as it stands now: final once the block after it is fitted (or
    // when a is the last), since no dip reaches further than one block. Dips reaching in from
    // block a - 1 came before block a was read, so unless block a or a + 1 dipped, the values
    // read for fitting block a are its final ones and the store need not be read again.
    void TakeBlockPeaks(std::int64_t a, bool nextFitted, std::vector<std::int64_t>& peaks) {
        const std::int64_t start = a * b_;
        const std::int64_t count = std::min(b_, values_ - start);
        if (count <= 0) return;
        const bool settled = !dipped_[a & 1] && !(nextFitted && dipped_[(a + 1) & 1]);
        const std::int32_t* values = asRead_[a & 1].data();
        if (!settled) {
            output_.ReadRaw(block_.data(), first_ + start, count);
            values = block_.data();
        }
        TakeChannelPeaks(peaks, values, start, count);
    }

  private:
    // Gain 1 - shape(i) (1 - T / P) over raw values c - B .. c + B, clipped to the document.
    void Dip(std::int64_t c, std::int64_t peak) {
        const std::int64_t lo = std::max<std::int64_t>(c - b_, 0);
        const std::int64_t hi = std::min(c + b_, values_ - 1);
        const std::int64_t count = hi - lo + 1;
        output_.ReadRaw(window_.data(), first_ + lo, count);
        const double depth = 1.0 - static_cast<double>(threshold_) / static_cast<double>(peak);
        for (std::int64_t t = 0; t < count; ++t) {
            const double gain =
                1.0 - shape_[static_cast<std::size_t>(std::llabs(lo + t - c))] * depth;
            auto& w = window_[static_cast<std::size_t>(t)];
            w = static_cast<std::int32_t>(std::lrint(static_cast<double>(w) * gain));
        }
        // The overview only ever widens on writes: clear the touched columns so that the
        // write rebuilds them from the lowered values.
        if (const ViewPosition* view = output_.Env().View) {
            const std::int64_t zoom = std::max<std::int32_t>(view->HorizontalZoom, 1);
            output_.ClearOverview(view->ViewStart, view->ViewStart + output_.FrameCount() / zoom,
                                  first_ + lo, count);
        }
        output_.WriteRaw(window_.data(), first_ + lo, count);
    }

    Wave& output_;
    const std::int64_t b_;
    const std::int64_t threshold_;
    const std::int64_t values_;  // raw values of the document
    const std::int64_t first_;   // store raw index of raw value 0
    Int32Array block_;
    // Blocks a and a - 1 as read before fitting them, and whether fitting them dipped.
    std::array<Int32Array, 2> asRead_;
    std::array<bool, 2> dipped_{};
    Int32Array window_;
    std::vector<double> shape_;
};

}  // namespace

WalkResult Engine::FitPeaks(std::unique_ptr<Wave>& wave, int peakCount, int neighbourhood,
                            ChannelPeaks* peaksOut) {
    BusyCursor busy(ports_.dialogs);
    const std::int64_t b = std::max(neighbourhood, 1);
    const std::int64_t values = wave->FrameCount() * wave->Channels();
    const std::int64_t first = MarginFrames * wave->Channels();
    const std::int64_t blocks = values / b;
    auto output = CreateOutput(*wave);

    // Copy and measure.
    std::vector<std::int64_t> peaks(static_cast<std::size_t>(blocks + 1), 0);
    // Fitting gathers the channel peaks of its output as its blocks become final.
    const bool gather = peaksOut && fastPaths_;
    std::vector<std::int64_t> channelPeaks(gather ? wave->Channels() : 0, 0);
    WalkResult result = WalkResult::Completed;
    {
        Int32Array block(static_cast<std::size_t>(b));
        BlockWalk walk(*this, Texts().CaPeekDetect, blocks);
        for (std::int64_t a = 0; a <= blocks; ++a) {
            const std::int64_t count = std::min(b, values - a * b);
            wave->ReadRaw(block.data(), first + a * b, count);
            output->WriteRaw(block.data(), first + a * b, count);
            peaks[static_cast<std::size_t>(a)] = LargestMagnitude(block.data(), count);
            if (!walk.Step(a)) break;
        }
        result = walk.Finish();
    }
    if (result == WalkResult::Cancelled) return Replace(wave, output, result);

    // A threshold of 0 would dip every value to 0: the copy stands as the result instead.
    const std::int64_t threshold = NthLargestPeak(peaks, peakCount);
    if (threshold > 0) {
        Dipper dipper(*output, b, threshold);
        BlockWalk walk(*this, Texts().CaPeekFit, blocks);
        for (std::int64_t a = 0; a <= blocks; ++a) {
            dipper.FitBlock(a);
            if (gather && a > 0) dipper.TakeBlockPeaks(a - 1, true, channelPeaks);
            if (!walk.Step(a)) break;
        }
        result = walk.Finish();
        if (gather && result == WalkResult::Completed) {
            dipper.TakeBlockPeaks(blocks, false, channelPeaks);
            *peaksOut = ChannelPeaks{output.get(), std::move(channelPeaks)};
        }
    }
    return Replace(wave, output, result);
}

}  // namespace sv
