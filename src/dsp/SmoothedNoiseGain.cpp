#include "dsp/SmoothedNoiseGain.h"

#include <algorithm>

#include "dsp/BinLoops.h"

namespace sv {
namespace {

constexpr int HalfBins = SpectrumBins / 2;

// Chosen on generated music and speech with white and pink hiss at 10 and 20 dB SNR, weighing
// the residual's kurtosis against signal-to-distortion and intelligibility.
// Weight of the previous hop's cleaned power: lower than the usual 0.98 for short frames,
// because a hop here is 8192 samples and the ratio has to follow a note or syllable.
constexpr float PreviousHopWeight = 0.8f;
// The a-priori ratio is averaged over this many bins on each side: single bins cannot rise
// alone out of the noise and ring as short tones.
constexpr int NeighbourBins = 3;
// The floor: about -18 dB, so the noise is lowered, never gated, and stays noise-like.
constexpr float LeastGain = 0.12f;
// The profile holds each bin's largest magnitude over a window of hops and two bins on each
// side; the mean power of Gaussian noise is about this many times smaller than its square.
constexpr float ProfileToMeanPower = 2.5f;

}  // namespace

SmoothedNoiseGain::SmoothedNoiseGain(const BinSpectrum& profile)
    : noisePower_(HalfBins + 1),
      cleanPower_(HalfBins + 1, 0.0f),
      prior_(HalfBins + 1),
      gain_(SpectrumBins) {
    for (int k = 0; k <= HalfBins; ++k)
        noisePower_[k] = profile[k] * profile[k] / ProfileToMeanPower;
}

void SmoothedNoiseGain::Apply(Complex* x) {
    for (int k = 0; k <= HalfBins; ++k) {
        const float power = x[k].Re * x[k].Re + x[k].Im * x[k].Im;
        const float noise = noisePower_[k];
        if (!(noise > 0.0f)) {
            prior_[k] = 1e6f;
            continue;
        }
        const float excess = std::max(power / noise - 1.0f, 0.0f);
        prior_[k] =
            PreviousHopWeight * cleanPower_[k] / noise + (1.0f - PreviousHopWeight) * excess;
    }
    // The mean over NeighbourBins on each side, as a running sum.
    double sum = 0.0;
    for (int k = 0; k < NeighbourBins && k <= HalfBins; ++k) sum += prior_[k];
    for (int k = 0; k <= HalfBins; ++k) {
        if (k + NeighbourBins <= HalfBins) sum += prior_[k + NeighbourBins];
        if (k - NeighbourBins - 1 >= 0) sum -= prior_[k - NeighbourBins - 1];
        const int n = std::min(k + NeighbourBins, HalfBins) - std::max(k - NeighbourBins, 0) + 1;
        const float prior = static_cast<float>(sum / n);
        // A bin without measured noise passes unchanged, as in the plain subtraction.
        const float g = noisePower_[k] > 0.0f ? std::max(prior / (1.0f + prior), LeastGain) : 1.0f;
        gain_[k] = g;
        cleanPower_[k] = g * g * (x[k].Re * x[k].Re + x[k].Im * x[k].Im);
    }
    for (int k = 1; k < HalfBins; ++k) gain_[SpectrumBins - k] = gain_[k];
    binloops::Scale(x, gain_.data(), SpectrumBins);
}

}  // namespace sv
