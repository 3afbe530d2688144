// Spectrum measurement and frequency and dynamic levelling.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

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

}  // namespace

void Engine::MeasureSpectrum(Wave& wave, BinSpectrum& out0, BinSpectrum& out1, int bandLevelMode) {
    BusyCursor busy(ports_.dialogs);
    const int channels = wave.Channels();
    const std::int64_t hops = wave.FrameCount() / Hop;
    out0.fill(0.0f);
    out1.fill(0.0f);
    auto peaks = std::make_unique<std::array<BinSpectrum, 2>>();
    (*peaks)[0].fill(0.0f);
    (*peaks)[1].fill(0.0f);
    const std::array<BinSpectrum*, 2> sums{&out0, &out1};

    BlockWalk walk(*this, Texts().CaDetection, hops);
    WalkHops(wave, nullptr, walk, false, [&](int c, Complex* x) {
        if (c > 1) return;  // further channels contribute nothing
        BinSpectrum& a = *sums[c];
        BinSpectrum& p = (*peaks)[c];
        for (int k = 0; k < SpectrumBins; ++k) {
            const float m = ComplexMath::Abs(x[k]);
            a[k] += m;
            if (!(p[k] >= m)) p[k] = m;
        }
    });

    // The divisor is that of a complete walk, also when the walk was cancelled.
    const float divisor = static_cast<float>(2 * (hops + 1));
    const double rate = wave.SampleRate();
    const int measured = std::min(channels, 2);
    for (int c = 0; c < measured; ++c) {
        BinSpectrum& a = *sums[c];
        BinSpectrum& p = (*peaks)[c];
        for (int k = 0; k < SpectrumBins; ++k) a[k] /= divisor;
        // Peaks weigh more at low frequencies; bin 0 is not weighted.
        for (int k = 1; k < SpectrumBins; ++k) {
            const long double f = fourier_.BinFrequency(k, rate);
            p[k] = static_cast<float>(0.03L * p[k] / std::atan(0.013L * f));
        }
        for (int k = 0; k < SpectrumBins; ++k) {
            switch (bandLevelMode) {
                case 1:
                    a[k] = (3.0f * a[k] + p[k]) / 4.0f;
                    break;
                case 2:
                    a[k] = (a[k] + p[k]) / 2.0f;
                    break;
                case 3:
                    a[k] = (a[k] + 3.0f * p[k]) / 4.0f;
                    break;
                case 4:
                    a[k] = p[k];
                    break;
                default:
                    break;  // 0 and any other value: the average
            }
        }
    }
    walk.Finish();
}

void Engine::ComputeRemasterGains(Wave& wave, const BinSpectrum& target, BinSpectrum& curve0,
                                  BinSpectrum& curve1, int channelMode, int bands, int highPassHz,
                                  int lowPassKHz, int limit, int highPassSlope, int lowPassSlope) {
    // A bin measured as exactly 0 keeps its 0.
    auto quotient = [&](BinSpectrum& curve) {
        for (int k = 0; k < SpectrumBins; ++k)
            if (curve[k] != 0.0f) curve[k] = target[k] / curve[k];
    };
    quotient(curve0);
    if (wave.Channels() >= 2) {
        quotient(curve1);
        for (int k = 0; k < SpectrumBins; ++k) {
            const float g0 = curve0[k];
            const float g1 = curve1[k];
            const float m = (g0 + g1) / 2.0f;
            switch (channelMode) {
                case 0:
                    curve0[k] = m;
                    curve1[k] = m;
                    break;
                case 1:
                    curve0[k] = (g0 + 3.0f * m) / 4.0f;
                    curve1[k] = (g1 + 3.0f * m) / 4.0f;
                    break;
                case 2:
                    curve0[k] = (g0 + m) / 2.0f;
                    curve1[k] = (g1 + m) / 2.0f;
                    break;
                case 3:
                    curve0[k] = (3.0f * g0 + m) / 4.0f;
                    curve1[k] = (3.0f * g1 + m) / 4.0f;
                    break;
                default:
                    break;  // 4: separate channels
            }
        }
        SmoothGainsByBands(wave, curve1, bands, limit);
        ApplyPassSlopes(wave, curve1, highPassHz, lowPassKHz, highPassSlope, lowPassSlope);
    }
    SmoothGainsByBands(wave, curve0, bands, limit);
    ApplyPassSlopes(wave, curve0, highPassHz, lowPassKHz, highPassSlope, lowPassSlope);
}

void Engine::SmoothGainsByBands(Wave& wave, BinSpectrum& curve, int bands, int limit) {
    if (bands < 1) return;
    const int b = bands;
    const double rate = wave.SampleRate();
    const double top =
        std::log10(static_cast<double>(fourier_.BinFrequency(SpectrumBins / 2, rate)) / 12.0);
    auto position = [&](int k) {
        return std::log10(static_cast<double>(fourier_.BinFrequency(k, rate)) / 12.0) * (b - 1) /
               top;
    };

    // Band averages; entries 0 and b + 1 are guards.
    FloatArray band(static_cast<std::size_t>(b) + 2, 0.0f);
    Int32Array count(static_cast<std::size_t>(b) + 2, 0);
    for (int k = 1; k < SpectrumBins; ++k) {
        const int i = BandOf(position(k), b);
        if (i == 0) continue;
        band[i] += curve[k];
        ++count[i];
    }
    for (int i = b; i >= 1; --i)
        band[i] = count[i] > 0 ? band[i] / static_cast<float>(count[i]) : band[i + 1];

    const float* values = band.data() + 1;  // bands 1 .. b
    if (limit != 0) {
        // Narrow the spread of the band values from the side farther from their mean until
        // highest / lowest < 2 x limit. Extremes and means are held in double.
        double hi = 0.0;
        for (int i = 0; i < b; ++i)
            if (values[i] > hi) hi = values[i];
        double lo = hi;
        for (int i = 0; i < b; ++i)
            if (values[i] < lo) lo = values[i];
        const double stop = 1.0 / (2.0 * limit);
        // Every step moves lo or hi to another band value, so b steps reach lo = hi; the bound
        // only guards against values no order exists for (NaN).
        const int maxSteps = 4 * b + 8;
        int steps = 0;
        do {
            double gm = GeometricMean(values, b, [&](float v) { return lo <= v && v <= hi; });
            if (gm == 0.0) gm = TinyValue;
            if (hi == 0.0) hi = TinyValue;
            if (gm / hi < lo / gm) {
                bool found = false;
                double next = 0.0;
                for (int i = 0; i < b; ++i)
                    if (values[i] < hi && (!found || values[i] > next)) {
                        next = values[i];
                        found = true;
                    }
                hi = found ? next : 0.0;
            } else {
                bool found = false;
                double next = 0.0;
                for (int i = 0; i < b; ++i)
                    if (values[i] > lo && (!found || values[i] < next)) {
                        next = values[i];
                        found = true;
                    }
                lo = found ? next : hi;
            }
        } while (!(lo / hi > stop) && ++steps < maxSteps);
        for (int i = 1; i <= b; ++i) {
            double v = band[i];
            if (v > hi) v = hi;
            if (v < lo) v = lo;
            band[i] = static_cast<float>(v);
        }
        // Normalise: the geometric mean of the band values becomes 1.5.
        double gm = GeometricMean(values, b, [](float) { return true; });
        if (gm == 0.0) gm = TinyValue;
        for (int i = 1; i <= b; ++i) band[i] = static_cast<float>(1.5 * band[i] / gm);
        // Bins no band averages (the lowest ones and bin 0) hold raw quotients that grow as the
        // recording gets quieter: the same factor keeps them independent of its level, and the
        // cap keeps a quiet recording from getting an infrasonic boost.
        const double top = *std::max_element(band.begin() + 1, band.begin() + b + 1);
        auto fit = [&](float q) { return static_cast<float>(std::min(1.5 * q / gm, top)); };
        curve[0] = fit(curve[0]);
        for (int k = 1; k < SpectrumBins; ++k)
            if (BandOf(position(k), b) == 0) curve[k] = fit(curve[k]);
    }
    band[0] = band[1];
    band[b + 1] = band[b];

    // Back to bins: cosine interpolation towards the neighbouring band.
    for (int k = 1; k < SpectrumBins; ++k) {
        const double p = position(k);
        const int i = BandOf(p, b);
        if (i == 0) continue;  // outside every band: scaled above
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

bool Engine::ApplyGainCurves(std::unique_ptr<Wave>& wave, const BinSpectrum& curve0,
                             const BinSpectrum& curve1) {
    BusyCursor busy(ports_.dialogs);
    auto output = CreateOutput(*wave);
    BlockWalk walk(*this, Texts().CaRemastering, WalkUnits(*wave, true));
    WalkHops(*wave, output.get(), walk, true, [&](int c, Complex* x) {
        if (c > 1) return;  // further channels pass through unchanged
        const BinSpectrum& gain = c == 0 ? curve0 : curve1;
        for (int k = 0; k < SpectrumBins; ++k) x[k] = ComplexMath::Scale(x[k], gain[k]);
    });
    walk.Finish();
    return Replace(wave, output);
}

}  // namespace sv
