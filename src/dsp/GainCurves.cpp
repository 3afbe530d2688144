// The arithmetic of the levelling gain curves: band smoothing, limiting, channel mixing and the
// pass slopes. It depends on the sample rate and the channel count only, not on a document.
#include "dsp/GainCurves.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "dsp/FFT.h"
#include "dsp/TimbreBandGrid.h"

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

// Where the bins fall on the band scale: logarithmic in frequency from 12 Hz (position 0) to
// the middle bin (position bands - 1). Worked out once per bin for every curve smoothed.
class BandScale {
  public:
    BandScale(double rate, int bands) : bands_(bands) {
        const double top =
            std::log10(static_cast<double>(BinFrequency(SpectrumBins / 2, rate)) / 12.0);
        for (int k = 1; k < SpectrumBins; ++k) {
            const double p =
                std::log10(static_cast<double>(BinFrequency(k, rate)) / 12.0) * (bands - 1) / top;
            const int i = BandOf(p, bands);
            band_[k] = i;
            if (i == 0) continue;
            offset_[k] = p + 1.0 - i;
            cosine_[k] = std::cos(std::numbers::pi * offset_[k]);
        }
    }
    int Bands() const { return bands_; }
    int BandOfBin(int k) const { return band_[k]; }
    // For a bin of a band: how far (-0.5 .. 0.5) it lies from the band's centre, and the cosine
    // of pi times that.
    double Offset(int k) const { return offset_[k]; }
    double Cosine(int k) const { return cosine_[k]; }

  private:
    int bands_;
    std::array<int, SpectrumBins> band_{};
    std::array<double, SpectrumBins> offset_{};
    std::array<double, SpectrumBins> cosine_{};
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
        const int i = scale.BandOfBin(k);
        if (i == 0) continue;
        const double d = scale.Offset(k);
        const double c = scale.Cosine(k);
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

// Every bin gets the quotient of the means of target and measurement over its band of the
// stored timbres' grid. Such a file holds only the target's means over that grid; the mean of
// the bins' quotients also depends on how the target's own peaks meet the recording's dips,
// which the file no longer knows. Bin 0 keeps its own quotient.
void BandMeanQuotients(const BinSpectrum& target, BinSpectrum& curve) {
    std::array<double, 62> targetSum{};
    std::array<double, 62> measuredSum{};
    for (int k = 1; k < SpectrumBins; ++k) {
        targetSum[TimbreBandOfBin(k)] += target[k];
        measuredSum[TimbreBandOfBin(k)] += curve[k];
    }
    if (curve[0] != 0.0f) curve[0] = target[0] / curve[0];
    for (int k = 1; k < SpectrumBins; ++k) {
        const int j = TimbreBandOfBin(k);
        curve[k] = measuredSum[j] > 0.0 ? static_cast<float>(targetSum[j] / measuredSum[j]) : 0.0f;
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

void SmoothGains(BinSpectrum& curve, const BandScale& scale, int limit) {
    FloatArray band = BandMeans(curve, scale);
    if (limit != 0) {
        LimitBandRange(band, scale.Bands(), limit);
        NormalizeBands(band, curve, scale);
    }
    InterpolateBands(band, curve, scale);
}

}  // namespace

void ComputeRemasterGains(const BinSpectrum& target, BinSpectrum& curve0, BinSpectrum& curve1,
                          const RemasterSettings& settings, std::int32_t sampleRate, int channels) {
    // A bin measured as exactly 0 keeps its 0.
    auto quotient = [&](BinSpectrum& curve) {
        if (settings.BandMeans) {
            BandMeanQuotients(target, curve);
            return;
        }
        for (int k = 0; k < SpectrumBins; ++k)
            if (curve[k] != 0.0f) curve[k] = target[k] / curve[k];
    };
    quotient(curve0);
    if (channels >= 2) {
        quotient(curve1);
        const ChannelMode mode = settings.ChannelMode;
        for (int k = 0; k < SpectrumBins; ++k) {
            const float m = (curve0[k] + curve1[k]) / 2.0f;
            curve0[k] = MixWithMean(mode, curve0[k], m);
            curve1[k] = MixWithMean(mode, curve1[k], m);
        }
    }
    if (settings.Bands >= 1) {
        const auto scale = std::make_unique<BandScale>(sampleRate, settings.Bands);
        if (channels >= 2) SmoothGains(curve1, *scale, settings.Limit);
        SmoothGains(curve0, *scale, settings.Limit);
    }
    BinSpectrum* const both[] = {&curve0, &curve1};
    ApplyPassSlopes(std::span(both, channels >= 2 ? 2 : 1), sampleRate,
                    settings.EffectiveHighPassHz(), settings.EffectiveLowPassKHz(),
                    settings.HighPassSlope, settings.LowPassSlope);
}

void SmoothGainsByBands(BinSpectrum& curve, int bands, int limit, std::int32_t sampleRate) {
    if (bands < 1) return;
    SmoothGains(curve, *std::make_unique<BandScale>(sampleRate, bands), limit);
}

}  // namespace sv
