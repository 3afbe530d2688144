// Peak fitting: the largest block peaks are brought down to the level of the N-th largest by
// smooth dips in gain rather than by clipping.
//
// The store is a file: every pass over it costs page-cache copies. So detection only reads, and
// fitting reads the input once more, dips in memory and writes each output value exactly once;
// or, in place, reads and rewrites only the blocks its dips reach.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <vector>

#include "dsp/BlockPeaks.h"
#include "dsp/Engine.h"
#include "dsp/GainDip.h"
#include "dsp/LargestMagnitude.h"

namespace sv {
namespace {

// Values moved per store call: large transfers go straight between file and buffer.
constexpr std::int64_t TransferValues = 65536;

// A whole number of blocks of b values, at least two, near TransferValues.
std::int64_t ChunkValues(std::int64_t b) {
    return std::max<std::int64_t>(TransferValues / b, 2) * b;
}

// The n-th largest block peak, or 0 when fewer than n blocks have a positive peak.
std::int64_t NthLargestPeak(std::vector<std::int64_t> peaks, int n) {
    if (n < 1 || static_cast<std::size_t>(n) > peaks.size()) return 0;
    std::nth_element(peaks.begin(), peaks.begin() + (n - 1), peaks.end(), std::greater<>());
    return std::max<std::int64_t>(peaks[static_cast<std::size_t>(n - 1)], 0);
}

// Copies the document's raw values 0 .. values - 1 (store raw index first on) unchanged.
void CopyValues(Wave& from, Wave& to, std::int64_t first, std::int64_t values) {
    Int32Array chunk(static_cast<std::size_t>(std::min(values, TransferValues)));
    for (std::int64_t d = 0; d < values; d += TransferValues) {
        const std::int64_t count = std::min(TransferValues, values - d);
        from.ReadRaw(chunk.data(), first + d, count);
        to.WriteRaw(chunk.data(), first + d, count, Wave::RunKind::AheadOfReads);
    }
}

// Silences the margins before and after the document's values where they are not, as they are
// in a new document: the stage before may have left overlap-added tails there.
void SilenceMargins(Wave& wave, std::int64_t first, std::int64_t values) {
    Int32Array margin(static_cast<std::size_t>(first));
    for (const std::int64_t at : {std::int64_t{0}, first + values}) {
        wave.ReadRaw(margin.data(), at, first);
        if (std::all_of(margin.begin(), margin.end(), [](std::int32_t v) { return v == 0; }))
            continue;
        std::fill(margin.begin(), margin.end(), 0);
        wave.WriteRaw(margin.data(), at, first);
    }
}

// Fits the blocks in order while streaming the values from input to output. A dip centred in
// block a reaches at most b values either side, so it touches blocks a - 1 .. a + 1 only:
// fitting block a needs the values up to the end of block a + 1, and once it is done every value
// before block a is final and is written. In place (input and output one document) only the
// blocks next to a block with a dip are read and written back; the rest stay as they are.
class StreamingFitter {
  public:
    // blockPeaks: the largest |value| of each block of the input. channelPeaks, unless empty,
    // gathers the largest |value| of each channel written.
    StreamingFitter(Wave& input, Wave& output, std::int64_t neighbourhood, std::int64_t threshold,
                    const std::vector<std::int64_t>& blockPeaks,
                    std::vector<std::int64_t>& channelPeaks)
        : input_(input),
          output_(output),
          inPlace_(&input == &output),
          b_(neighbourhood),
          threshold_(threshold),
          values_(input.FrameCount() * input.Channels()),
          chunk_(ChunkValues(neighbourhood)),
          buffer_(static_cast<std::size_t>(std::min(2 * b_ + chunk_, values_))),
          shape_(static_cast<std::size_t>(2 * neighbourhood + 1)),
          blockPeaks_(blockPeaks),
          channelPeaks_(channelPeaks) {
        // (cos(i pi / B) + 1) / 2 for i = -B .. B, laid out in order so that a dip is one
        // straight loop over it; computed for |i| and mirrored.
        for (std::int64_t i = 0; i <= b_; ++i)
            shape_[static_cast<std::size_t>(b_ + i)] = shape_[static_cast<std::size_t>(b_ - i)] =
                (std::cos(static_cast<double>(i) * std::numbers::pi / static_cast<double>(b_)) +
                 1.0) /
                2.0;
    }

    // Dips every value of block a above the threshold, testing later values after the dips.
    // Blocks come in order 0, 1, ...
    void FitBlock(std::int64_t a) {
        const std::int64_t start = a * b_;
        const std::int64_t end = std::min(start + b_, values_);
        const std::int64_t keep = std::max<std::int64_t>(start - b_, 0);
        const std::int64_t reach = std::min(end + b_, values_);
        // A dip's gain lies between T / P and 1, so dips never raise a magnitude: a block of
        // the input with no value above the threshold has none after them either.
        const bool dips = blockPeaks_[static_cast<std::size_t>(a)] > threshold_;
        if (inPlace_) {
            if (!dips) return;
            // Nothing held reaches this block's dips: it is final, and the values between
            // stay where they are.
            if (keep > loaded_) {
                WriteBelow(loaded_);
                bufferStart_ = loaded_ = written_ = keep;
            }
            if (loaded_ < reach) Load(keep, reach - loaded_);
        } else if (loaded_ < reach) {
            Load(keep, std::min(chunk_, values_ - loaded_));
        }
        if (!dips) return;
        for (std::int64_t d = start; d < end; ++d) {
            const std::int64_t peak = std::llabs(*At(d));
            if (peak > threshold_) Dip(d, peak);
        }
    }

    // Writes the values still held once every block is fitted.
    void Finish() { WriteBelow(loaded_); }

  private:
    std::int32_t* At(std::int64_t d) { return buffer_.data() + (d - bufferStart_); }

    // Writes the final values before keep, moves the rest to the buffer's front and reads the
    // next count values behind them.
    void Load(std::int64_t keep, std::int64_t count) {
        WriteBelow(keep);
        if (keep > bufferStart_) {
            std::copy(At(keep), At(loaded_), buffer_.data());
            bufferStart_ = keep;
        }
        ReadInterleaved(input_, At(loaded_), SampleIndex{loaded_}, count);
        loaded_ += count;
    }

    void WriteBelow(std::int64_t end) {
        if (end <= written_) return;
        WriteInterleavedAhead(output_, At(written_), SampleIndex{written_}, end - written_);
        if (!channelPeaks_.empty())
            TakeChannelPeaks(channelPeaks_, At(written_), written_, end - written_);
        written_ = end;
    }

    // Gain 1 - shape(i) (1 - T / P) over raw values c - B .. c + B, clipped to the document.
    void Dip(std::int64_t c, std::int64_t peak) {
        const std::int64_t lo = std::max<std::int64_t>(c - b_, 0);
        const std::int64_t hi = std::min(c + b_, values_ - 1);
        const double depth = 1.0 - static_cast<double>(threshold_) / static_cast<double>(peak);
        gaindip::Dip(At(lo), shape_.data() + (lo - c + b_), hi - lo + 1, depth);
    }

    Wave& input_;
    Wave& output_;
    const bool inPlace_;
    const std::int64_t b_;
    const std::int64_t threshold_;
    const std::int64_t values_;  // raw values of the document
    const std::int64_t chunk_;
    // Raw values bufferStart_ .. loaded_ - 1; those before written_ are in the output already.
    Int32Array buffer_;
    std::int64_t bufferStart_ = 0;
    std::int64_t loaded_ = 0;
    std::int64_t written_ = 0;
    std::vector<double> shape_;  // 2 B + 1 values, centre at B
    const std::vector<std::int64_t>& blockPeaks_;
    std::vector<std::int64_t>& channelPeaks_;
};

}  // namespace

WalkResult Engine::FitPeaks(std::unique_ptr<Wave>& wave, int peakCount, int neighbourhood) {
    ChainContext none;
    return FitPeaks(wave, peakCount, neighbourhood, none);
}

WalkResult Engine::FitPeaks(std::unique_ptr<Wave>& wave, int peakCount, int neighbourhood,
                            ChainContext& context) {
    BusyCursor busy(ports_.dialogs);
    const std::int64_t b = std::max(neighbourhood, 1);
    const std::int64_t values = wave->FrameCount() * wave->Channels();
    const std::int64_t blocks = values / b;
    // Fitting in place writes only some blocks; the channel peaks of the others are the input's,
    // so it measures them per channel.
    const bool inPlace = options_.FastPaths && options_.FitInPlace;
    const bool gather = Gathers(context.Wanted().ChannelPeaks);
    const BlockPeaks* known = Usable(context).BlockPeaksOf(*wave, b);
    BlockPeaks measured(known ? 0 : values, b, inPlace && gather ? wave->Channels() : 0);
    if (MeasureBlockPeaks(*wave, measured, known != nullptr) == WalkResult::Cancelled)
        return WalkResult::Cancelled;
    if (!known) known = &measured;
    // A threshold of 0 would dip every value to 0: an unchanged copy is the result instead.
    const FitPlan plan{b, blocks, NthLargestPeak(known->Peaks(), peakCount), *known};
    if (inPlace) return FitInPlace(*wave, plan, gather, context);
    auto output = CreateOutput(*wave, context);
    if (plan.threshold == 0) {
        CopyValues(*wave, *output, MarginFrames * wave->Channels(), values);
        return Replace(wave, output, WalkResult::Completed, context);
    }
    std::vector<std::int64_t> channelPeaks(gather ? wave->Channels() : 0, 0);
    const WalkResult result = FitBlocks(*wave, *output, plan, channelPeaks);
    if (result == WalkResult::Completed && gather)
        context.KeepChannelPeaks(*output, std::move(channelPeaks));
    return Replace(wave, output, result, context);
}

WalkResult Engine::MeasureBlockPeaks(Wave& wave, BlockPeaks& measured, bool gathered) {
    const std::int64_t b = measured.BlockSize();
    const std::int64_t values = wave.FrameCount() * wave.Channels();
    const std::int64_t blocks = values / b;
    BlockWalk walk(*this, ProcessingStep::MeasuringBlockPeaks, blocks);
    if (gathered) return walk.Finish();  // the window only shows the step
    const std::int64_t chunk = ChunkValues(b);
    Int32Array buffer(static_cast<std::size_t>(std::min(chunk, values)));
    for (std::int64_t a = 0; a <= blocks; ++a) {
        const std::int64_t start = a * b;
        const std::int64_t count = std::min(b, values - start);
        if (start % chunk == 0 && count > 0)
            ReadInterleaved(wave, buffer.data(), SampleIndex{start},
                            std::min(chunk, values - start));
        measured.Take(buffer.data() + start % chunk, start, count);
        if (!walk.Step(a)) break;
    }
    return walk.Finish();
}

WalkResult Engine::FitBlocks(Wave& input, Wave& output, const FitPlan& plan,
                             std::vector<std::int64_t>& channelPeaks) {
    StreamingFitter fitter(input, output, plan.b, plan.threshold, plan.input.Peaks(), channelPeaks);
    BlockWalk walk(*this, ProcessingStep::FittingPeaks, plan.blocks);
    for (std::int64_t a = 0; a <= plan.blocks; ++a) {
        fitter.FitBlock(a);
        if (!walk.Step(a)) break;
    }
    const WalkResult fitted = walk.Finish();
    if (fitted == WalkResult::Completed) fitter.Finish();
    return fitted;
}

WalkResult Engine::FitInPlace(Wave& wave, const FitPlan& plan, bool gather, ChainContext& context) {
    const int channels = wave.Channels();
    const std::int64_t values = wave.FrameCount() * channels;
    std::vector<std::int64_t> channelPeaks(gather ? channels : 0, 0);
    // Cancelled, the document stays partly fitted: this caller discards it.
    if (plan.threshold > 0 && FitBlocks(wave, wave, plan, channelPeaks) == WalkResult::Cancelled)
        return WalkResult::Cancelled;
    SilenceMargins(wave, MarginFrames * channels, values);
    context.Forget(wave);
    if (!gather) return WalkResult::Completed;
    // The blocks next to no dipped block were neither read nor written.
    const auto& peaks = plan.input.Peaks();
    auto dipped = [&](std::int64_t a) {
        return plan.threshold > 0 && a >= 0 && a <= plan.blocks &&
               peaks[static_cast<std::size_t>(a)] > plan.threshold;
    };
    for (std::int64_t a = 0; a <= plan.blocks; ++a) {
        if (dipped(a - 1) || dipped(a) || dipped(a + 1)) continue;
        for (int c = 0; c < channels; ++c)
            channelPeaks[c] = std::max<std::int64_t>(
                channelPeaks[c], plan.input.ChannelPeaks(c)[static_cast<std::size_t>(a)]);
    }
    context.KeepChannelPeaks(wave, std::move(channelPeaks));
    return WalkResult::Completed;
}

}  // namespace sv
