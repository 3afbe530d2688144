// Spectrum measurement and frequency and dynamic levelling.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "dsp/BinLoops.h"
#include "dsp/Engine.h"
#include "dsp/LevellingPreview.h"

namespace sv {
namespace {

// Peaks weigh PeakWeightScale / atan(PeakWeightPerHz x f): more at low frequencies.
constexpr long double PeakWeightScale = 0.03L;
constexpr long double PeakWeightPerHz = 0.013L;

// Mixes the average magnitude a with the weighted peak p.
float MixWithPeak(BandLevelMode mode, float a, float p) {
    switch (mode) {
        case BandLevelMode::MostlyAverage:
            return (3.0f * a + p) / 4.0f;
        case BandLevelMode::Half:
            return (a + p) / 2.0f;
        case BandLevelMode::MostlyPeak:
            return (a + 3.0f * p) / 4.0f;
        case BandLevelMode::Peak:
            return p;
        case BandLevelMode::Average:
            break;
    }
    return a;  // also any value outside the range
}

// Adds the magnitudes of every hop of the document's first two channels to a tally.
class MagnitudeStage final : public HopStage {
  public:
    MagnitudeStage(Wave& wave, SpectrumTally& tally) : wave_(wave), tally_(tally) {}
    void Hop(HopLane& lane, int c, std::int64_t h) override {
        lane.fourier.ForwardMagnitudesLowerHalf(lane.ReadHop(wave_, c, h, Engine::BlockSize),
                                                lane.magnitudes.data());
        tally_.AddMagnitudes(c, lane.magnitudes.data());
    }

  private:
    Wave& wave_;
    SpectrumTally& tally_;
};

}  // namespace

// Averages the sums, weighs the peaks and mixes the two as the band level mode says.
void MixLongTermSpectrum(const LongTermSpectrum& spectrum, BandLevelMode bandLevelMode,
                         BinSpectrum& out0, BinSpectrum& out1) {
    out0 = spectrum.Sums[0];
    out1 = spectrum.Sums[1];
    auto peaks = std::make_unique<std::array<BinSpectrum, 2>>(spectrum.Peaks);
    const std::array<BinSpectrum*, 2> sums{&out0, &out1};
    // The divisor is that of a complete walk, also when the walk was cancelled.
    const float divisor = static_cast<float>(2 * (spectrum.Hops + 1));
    const double rate = spectrum.SampleRate;
    const int measured = std::min<int>(spectrum.Channels, 2);
    // Bin 0 is not weighted; each weight serves every channel, and bin k and its mirror
    // SpectrumBins - k, which have the same frequency.
    for (int k = 1; k <= SpectrumBins / 2; ++k) {
        const long double f = BinFrequency(k, rate);
        const long double weight = std::atan(PeakWeightPerHz * f);
        auto weigh = [&](float& p) { p = static_cast<float>(PeakWeightScale * p / weight); };
        const int mirror = SpectrumBins - k;
        for (int c = 0; c < measured; ++c) {
            weigh((*peaks)[c][k]);
            if (mirror != k) weigh((*peaks)[c][mirror]);
        }
    }
    for (int c = 0; c < measured; ++c) {
        BinSpectrum& a = *sums[c];
        const BinSpectrum& p = (*peaks)[c];
        for (int k = 0; k < SpectrumBins; ++k) a[k] /= divisor;
        for (int k = 0; k < SpectrumBins; ++k) a[k] = MixWithPeak(bandLevelMode, a[k], p[k]);
    }
}

WalkResult Engine::MeasureSpectrum(Wave& wave, BinSpectrum& out0, BinSpectrum& out1,
                                   BandLevelMode bandLevelMode) {
    return MeasureSpectrum(wave, out0, out1, bandLevelMode, ChainContext{});
}

WalkResult Engine::MeasureSpectrum(Wave& wave, BinSpectrum& out0, BinSpectrum& out1,
                                   BandLevelMode bandLevelMode, const ChainContext& context) {
    auto spectrum = std::make_unique<LongTermSpectrum>();
    const WalkResult result = MeasureLongTermSpectrum(wave, *spectrum, context);
    MixLongTermSpectrum(*spectrum, bandLevelMode, out0, out1);
    return result;
}

WalkResult Engine::MeasureLongTermSpectrum(Wave& wave, LongTermSpectrum& out,
                                           const ChainContext& context) {
    BusyCursor busy(ports_.dialogs);
    const std::int64_t hops = wave.FrameCount() / Hop;
    BlockWalk walk(*this, ProcessingStep::MeasuringSpectrum, hops);
    std::unique_ptr<SpectrumTally> own;
    const SpectrumTally* tally = Usable(context).TallyOf(wave);
    if (tally) {
        // Gathered while the document was written: the window only shows the walk.
        for (std::int64_t h = 0; h <= hops; ++h)
            if (!walk.Step(h)) break;
    } else {
        own = std::make_unique<SpectrumTally>();
        tally = own.get();
        // Further channels are not measured.
        MagnitudeStage stage(wave, *own);
        WalkHops(stage, wave, 0, hops, std::min<int>(wave.Channels(), SpectrumTally::Channels), 0,
                 [&walk](std::int64_t h) { return walk.Step(h); });
    }
    for (int c = 0; c < SpectrumTally::Channels; ++c) {
        out.Sums[c] = tally->Sums(c);
        out.Peaks[c] = tally->Peaks(c);
    }
    out.Hops = hops;
    out.SampleRate = wave.SampleRate();
    out.Channels = wave.Channels();
    return walk.Finish();
}

WalkResult Engine::ApplyGainCurves(std::unique_ptr<Wave>& wave, const BinSpectrum& curve0,
                                   const BinSpectrum& curve1) {
    ChainContext none;
    return ApplyGainCurves(wave, curve0, curve1, none);
}

WalkResult Engine::ApplyGainCurves(std::unique_ptr<Wave>& wave, const BinSpectrum& curve0,
                                   const BinSpectrum& curve1, ChainContext& context) {
    BusyCursor busy(ports_.dialogs);
    const auto perBin = [&](int c, Complex* x) {
        if (c > 1) return;  // further channels pass through unchanged
        binloops::Scale(x, (c == 0 ? curve0 : curve1).data(), SpectrumBins);
    };
    BlockWalk walk(*this, ProcessingStep::Levelling, WalkUnits(*wave, true));
    // Over the chain's own document the spare store stays for a later stage, and the page cache
    // holds one document fewer.
    if (options_.FastPaths && options_.LevelInPlace && context.HasSpareStore()) {
        context.Forget(*wave);
        FilterHops(*wave, *wave, walk, perBin, context);
        return walk.Finish();
    }
    auto output = CreateOutput(*wave, context);
    FilterHops(*wave, *output, walk, perBin, context);
    return Replace(wave, output, walk.Finish(), context);
}

}  // namespace sv
