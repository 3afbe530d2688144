#include "dsp/PassSlopes.h"

#include <array>
#include <cmath>

#include "dsp/FFT.h"
#include "dsp/GainCurves.h"

namespace sv {
namespace {

// sqrt(1 / (1 + ratio^(2 order))), the power taken by repeated multiplication. A power that
// overflows gives 0; f = 0 (ratio infinite) likewise.
long double Butterworth(long double ratio, int order) {
    long double power = 1.0L;
    for (int i = 0; i < 2 * order; ++i) power *= ratio;
    return std::sqrt(1.0L / (1.0L + power));
}

// The four factors at frequency f, in the order they are applied.
std::array<long double, 4> PassSlopeFactors(float f, int highPassHz, int lowPassKHz,
                                            int highPassSlope, int lowPassSlope) {
    const long double lf = f;
    return {Butterworth(static_cast<long double>(highPassHz) / lf, highPassSlope),
            Butterworth(lf / (1000.0L * static_cast<long double>(lowPassKHz)), lowPassSlope),
            Butterworth(17.0L / lf, 9), Butterworth(lf / 20000.0L, 25)};
}

long double TimesFactors(long double value, const std::array<long double, 4>& factors) {
    for (const long double factor : factors) value *= factor;
    return value;
}

}  // namespace

long double ApplyPassSlopeFactors(long double value, float f, int highPassHz, int lowPassKHz,
                                  int highPassSlope, int lowPassSlope) {
    return TimesFactors(value,
                        PassSlopeFactors(f, highPassHz, lowPassKHz, highPassSlope, lowPassSlope));
}

float PassSlopeFactor(float f, int highPassHz, int lowPassKHz, int highPassSlope,
                      int lowPassSlope) {
    return static_cast<float>(
        ApplyPassSlopeFactors(1.0L, f, highPassHz, lowPassKHz, highPassSlope, lowPassSlope));
}

void ApplyPassSlopes(std::span<BinSpectrum* const> curves, std::int32_t sampleRate, int highPassHz,
                     int lowPassKHz, int highPassSlope, int lowPassSlope) {
    const double rate = sampleRate;
    // The same factors for every curve, and for bin k and its mirror SpectrumBins - k, which
    // have the same frequency: worked out once.
    for (int k = 1; k <= SpectrumBins / 2; ++k) {
        const auto factors = PassSlopeFactors(BinFrequency(k, rate), highPassHz, lowPassKHz,
                                              highPassSlope, lowPassSlope);
        const int mirror = SpectrumBins - k;
        for (BinSpectrum* curve : curves) {
            (*curve)[k] = static_cast<float>(TimesFactors((*curve)[k], factors));
            if (mirror != k)
                (*curve)[mirror] = static_cast<float>(TimesFactors((*curve)[mirror], factors));
        }
    }
}

}  // namespace sv
