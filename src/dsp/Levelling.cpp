// Spectrum measurement and frequency and dynamic levelling.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "dsp/BinLoops.h"
#include "dsp/Engine.h"
#include "text/Language.h"

namespace sv {
namespace {

// Replaces a zero geometric mean or top value so that nothing is divided by zero.
constexpr double TinyValue = 1e-320;

// Geometric mean of the values v[0 .. count-1] for which take(v) holds: their product in double
// raised to 1 / (their number). Where that product is not representable (0 without a zero
// factor, a denormal, infinite) the mean comes from the sum of logarithms instead, so many bands
// of very large or very small quotients do not collapse to 0 or infinity; where the product is
// representable the result is exactly the product's. No value taken gives 1 (1^(1/0)).
template <typename Take>
double GeometricMean(const float* v, int count, Take take) {
    double product = 1.0;
    int taken = 0;
    for (int i = 0; i < count; ++i) {
        if (!take(v[i])) continue;
        product *= v[i];
        ++taken;
    }
    if (taken == 0) return 1.0;
    if (std::isnormal(product)) return std::pow(product, 1.0 / taken);
    double logSum = 0.0;
    for (int i = 0; i < count; ++i) {
        if (!take(v[i])) continue;
        if (v[i] == 0.0f) return 0.0;  // a true zero product
        logSum += std::log(static_cast<double>(v[i]));
    }
    return std::exp(logSum / taken);
}

// Band index round(p) + 1 of a band position p when it lies in 1 .. bands, otherwise 0 (also for
// a position that is not finite, e.g. with a sample rate of 0).
int BandOf(double p, int bands) {
    const double i = std::nearbyint(p) + 1.0;
    if (!(i >= 1.0 && i <= bands)) return 0;
    return static_cast<int>(i);
}

// Peaks weigh PeakWeightScale / atan(PeakWeightPerHz x f): more at low frequencies.
constexpr long double PeakWeightScale = 0.03L;
constexpr long double PeakWeightPerHz = 0.013L;

// Where the bins fall on the band scale: logarithmic in frequency from 12 Hz (position 0) to
// the middle bin (position bands - 1).
class BandScale {
  public:
    BandScale(double rate, int bands)
        : rate_(rate),
          bands_(bands),
          top_(std::log10(static_cast<double>(BinFrequency(SpectrumBins / 2, rate)) / 12.0)) {}
    int Bands() const { return bands_; }
    double Position(int k) const {
        return std::log10(static_cast<double>(BinFrequency(k, rate_)) / 12.0) * (bands_ - 1) / top_;
    }
    int BandOfBin(int k) const { return BandOf(Position(k), bands_); }

  private:
    double rate_;
    int bands_;
    double top_;
};

// Mean gain of every band 1 .. b; entries 0 and b + 1 are guards. A band no bin falls into
// takes the value of the band above it.
FloatArray BandMeans(const BinSpectrum& curve, const BandScale& scale) {
    const int b = scale.Bands();
    FloatArray band(static_cast<std::size_t>(b) + 2, 0.0f);
    Int32Array count(static_cast<std::size_t>(b) + 2, 0);
    for (int k = 1; k < SpectrumBins; ++k) {
        const int i = scale.BandOfBin(k);
        if (i == 0) continue;
        band[i] += curve[k];
        ++count[i];
    }
    for (int i = b; i >= 1; --i)
        band[i] = count[i] > 0 ? band[i] / static_cast<float>(count[i]) : band[i + 1];
    return band;
}

// The next band value below hi (0 when there is none) or above lo (hi when there is none).
double NextBelow(const float* values, int b, double hi) {
    bool found = false;
    double next = 0.0;
    for (int i = 0; i < b; ++i)
        if (values[i] < hi && (!found || values[i] > next)) {
            next = values[i];
            found = true;
        }
    return found ? next : 0.0;
}
double NextAbove(const float* values, int b, double lo, double hi) {
    bool found = false;
    double next = 0.0;
    for (int i = 0; i < b; ++i)
        if (values[i] > lo && (!found || values[i] < next)) {
            next = values[i];
            found = true;
        }
    return found ? next : hi;
}

// Narrows the spread of the band values from the side farther from their mean until
// highest / lowest < 2 x limit, and clamps the bands into it. Extremes and means are held in
// double.
void LimitBandRange(FloatArray& band, int b, int limit) {
    const float* values = band.data() + 1;  // bands 1 .. b
    double hi = 0.0;
    for (int i = 0; i < b; ++i)
        if (values[i] > hi) hi = values[i];
    double lo = hi;
    for (int i = 0; i < b; ++i)
        if (values[i] < lo) lo = values[i];
    const double stop = 1.0 / (2.0 * limit);
    // Every step moves lo or hi to another band value, so b steps reach lo = hi; the bound only
    // guards against values no order exists for (NaN).
    const int maxSteps = 4 * b + 8;
    int steps = 0;
    do {
        double gm = GeometricMean(values, b, [&](float v) { return lo <= v && v <= hi; });
        if (gm == 0.0) gm = TinyValue;
        if (hi == 0.0) hi = TinyValue;
        if (gm / hi < lo / gm)
            hi = NextBelow(values, b, hi);
        else
            lo = NextAbove(values, b, lo, hi);
    } while (!(lo / hi > stop) && ++steps < maxSteps);
    for (int i = 1; i <= b; ++i) {
        double v = band[i];
        if (v > hi) v = hi;
        if (v < lo) v = lo;
        band[i] = static_cast<float>(v);
    }
}

// Makes the geometric mean of the band values 1.5. Bins no band averages (the lowest ones and
// bin 0) hold raw quotients that grow as the recording gets quieter: the same factor keeps them
// independent of its level, and the cap at the highest band keeps a quiet recording from
// getting an infrasonic boost.
void NormalizeBands(FloatArray& band, BinSpectrum& curve, const BandScale& scale) {
    const int b = scale.Bands();
    double gm = GeometricMean(band.data() + 1, b, [](float) { return true; });
    if (gm == 0.0) gm = TinyValue;
    for (int i = 1; i <= b; ++i) band[i] = static_cast<float>(1.5 * band[i] / gm);
    const double top = *std::max_element(band.begin() + 1, band.begin() + b + 1);
    auto fit = [&](float q) { return static_cast<float>(std::min(1.5 * q / gm, top)); };
    curve[0] = fit(curve[0]);
    for (int k = 1; k < SpectrumBins; ++k)
        if (scale.BandOfBin(k) == 0) curve[k] = fit(curve[k]);
}

// Back to bins: cosine interpolation from a bin's band towards the neighbouring one. Bins
// outside every band keep their value.
void InterpolateBands(FloatArray& band, BinSpectrum& curve, const BandScale& scale) {
    const int b = scale.Bands();
    band[0] = band[1];
    band[b + 1] = band[b];
    for (int k = 1; k < SpectrumBins; ++k) {
        const double p = scale.Position(k);
        const int i = BandOf(p, b);
        if (i == 0) continue;
        const double d = p + 1.0 - i;
        const double c = std::cos(std::numbers::pi * d);
        const double here = band[i];
        if (d >= 0.0) {
            const double above = band[i + 1];
            curve[k] = static_cast<float>((c * (here - above) + here + above) / 2.0);
        } else {
            const double below = band[i - 1];
            curve[k] = static_cast<float>((c * (here - below) + below + here) / 2.0);
        }
    }
}

// Mixes a channel's own gain g with the mean m of both channels.
float MixWithMean(ChannelMode mode, float g, float m) {
    switch (mode) {
        case ChannelMode::Common:
            return m;
        case ChannelMode::MostlyCommon:
            return (g + 3.0f * m) / 4.0f;
        case ChannelMode::Half:
            return (g + m) / 2.0f;
        case ChannelMode::MostlySeparate:
            return (3.0f * g + m) / 4.0f;
        case ChannelMode::Separate:
            break;
    }
    return g;  // also any value outside the range
}

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

}  // namespace

WalkResult Engine::MeasureSpectrum(Wave& wave, BinSpectrum& out0, BinSpectrum& out1,
                                   BandLevelMode bandLevelMode, const SpectrumTally* known) {
    BusyCursor busy(ports_.dialogs);
    const int channels = wave.Channels();
    const std::int64_t hops = wave.FrameCount() / Hop;
    const std::array<BinSpectrum*, 2> sums{&out0, &out1};

    BlockWalk walk(*this, Texts().LevellingDetectionTitle, hops);
    std::unique_ptr<SpectrumTally> own;
    const SpectrumTally* tally = known;
    if (fastPaths_ && known && known->Of() == &wave) {
        // Gathered while the document was written: the window only shows the walk.
        for (std::int64_t h = 0; h <= hops; ++h)
            if (!walk.Step(h)) break;
    } else {
        own = std::make_unique<SpectrumTally>();
        tally = own.get();
        WalkHops(wave, nullptr, walk, false, [&](int c, const float* m) {
            if (c < SpectrumTally::Channels) own->AddMagnitudes(c, m);  // further ones: nothing
        });
    }
    out0 = tally->Sums(0);
    out1 = tally->Sums(1);
    auto peaks = std::make_unique<std::array<BinSpectrum, 2>>();
    (*peaks)[0] = tally->Peaks(0);
    (*peaks)[1] = tally->Peaks(1);

    // The divisor is that of a complete walk, also when the walk was cancelled.
    const float divisor = static_cast<float>(2 * (hops + 1));
    const double rate = wave.SampleRate();
    const int measured = std::min(channels, 2);
    for (int c = 0; c < measured; ++c) {
        BinSpectrum& a = *sums[c];
        BinSpectrum& p = (*peaks)[c];
        for (int k = 0; k < SpectrumBins; ++k) a[k] /= divisor;
        // Bin 0 is not weighted.
        for (int k = 1; k < SpectrumBins; ++k) {
            const long double f = BinFrequency(k, rate);
            p[k] = static_cast<float>(PeakWeightScale * p[k] / std::atan(PeakWeightPerHz * f));
        }
        for (int k = 0; k < SpectrumBins; ++k) a[k] = MixWithPeak(bandLevelMode, a[k], p[k]);
    }
    return walk.Finish();
}

void Engine::ComputeRemasterGains(Wave& wave, const BinSpectrum& target, BinSpectrum& curve0,
                                  BinSpectrum& curve1, const RemasterSettings& settings) {
    // A bin measured as exactly 0 keeps its 0.
    auto quotient = [&](BinSpectrum& curve) {
        for (int k = 0; k < SpectrumBins; ++k)
            if (curve[k] != 0.0f) curve[k] = target[k] / curve[k];
    };
    auto shape = [&](BinSpectrum& curve) {
        SmoothGainsByBands(wave, curve, settings.Bands, settings.Limit);
        ApplyPassSlopes(wave, curve, settings.EffectiveHighPassHz(), settings.EffectiveLowPassKHz(),
                        settings.HighPassSlope, settings.LowPassSlope);
    };
    quotient(curve0);
    if (wave.Channels() >= 2) {
        quotient(curve1);
        const ChannelMode mode = settings.ChannelMode;
        for (int k = 0; k < SpectrumBins; ++k) {
            const float m = (curve0[k] + curve1[k]) / 2.0f;
            curve0[k] = MixWithMean(mode, curve0[k], m);
            curve1[k] = MixWithMean(mode, curve1[k], m);
        }
        shape(curve1);
    }
    shape(curve0);
}

void Engine::SmoothGainsByBands(const Wave& wave, BinSpectrum& curve, int bands, int limit) {
    if (bands < 1) return;
    const BandScale scale(wave.SampleRate(), bands);
    FloatArray band = BandMeans(curve, scale);
    if (limit != 0) {
        LimitBandRange(band, bands, limit);
        NormalizeBands(band, curve, scale);
    }
    InterpolateBands(band, curve, scale);
}

WalkResult Engine::ApplyGainCurves(std::unique_ptr<Wave>& wave, const BinSpectrum& curve0,
                                   const BinSpectrum& curve1, BlockPeaks* written) {
    BusyCursor busy(ports_.dialogs);
    auto output = CreateOutput(*wave);
    BlockWalk walk(*this, Texts().LevellingTitle, WalkUnits(*wave, true));
    if (!fastPaths_ || (written && written->Channels() != wave->Channels())) written = nullptr;
    WalkHops(
        *wave, output.get(), walk, true,
        [&](int c, Complex* x) {
            if (c > 1) return;  // further channels pass through unchanged
            binloops::Scale(x, (c == 0 ? curve0 : curve1).data(), SpectrumBins);
        },
        nullptr, written);
    const WalkResult result = walk.Finish();
    if (written && result == WalkResult::Completed) written->Complete(output.get());
    return Replace(wave, output, result);
}

}  // namespace sv
