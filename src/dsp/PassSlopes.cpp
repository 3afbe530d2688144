#include "dsp/PassSlopes.h"

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

}  // namespace

long double ApplyPassSlopeFactors(long double value, float f, int highPassHz, int lowPassKHz,
                                  int highPassSlope, int lowPassSlope) {
    const long double lf = f;
    value *= Butterworth(static_cast<long double>(highPassHz) / lf, highPassSlope);
    value *= Butterworth(lf / (1000.0L * static_cast<long double>(lowPassKHz)), lowPassSlope);
    value *= Butterworth(17.0L / lf, 9);
    value *= Butterworth(lf / 20000.0L, 25);
    return value;
}

float PassSlopeFactor(float f, int highPassHz, int lowPassKHz, int highPassSlope,
                      int lowPassSlope) {
    return static_cast<float>(
        ApplyPassSlopeFactors(1.0L, f, highPassHz, lowPassKHz, highPassSlope, lowPassSlope));
}

void ApplyPassSlopes(BinSpectrum& curve, std::int32_t sampleRate, int highPassHz, int lowPassKHz,
                     int highPassSlope, int lowPassSlope) {
    const double rate = sampleRate;
    for (int k = 1; k < SpectrumBins; ++k) {
        const float f = BinFrequency(k, rate);
        curve[k] = static_cast<float>(ApplyPassSlopeFactors(curve[k], f, highPassHz, lowPassKHz,
                                                            highPassSlope, lowPassSlope));
    }
}

}  // namespace sv
