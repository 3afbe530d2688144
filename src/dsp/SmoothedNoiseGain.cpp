#include "dsp/SmoothedNoiseGain.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sv {
namespace {

// Chosen on generated music and speech with white and pink hiss at 10 and 20 dB SNR, weighing
// the residual's kurtosis against signal-to-distortion and intelligibility.
constexpr int HalfBins = SpectrumBins / 2;
// The profile holds each bin's largest magnitude over a window of hops and two bins on each
// side; the mean power of Gaussian noise is about this many times smaller than its square.
constexpr float ProfileToMeanPower = 2.5f;
// Something is taken as present in a bin when the mean power of this many bins on each side
// (about 170 Hz at 44.1 kHz) exceeds the noise by this fraction; a single bin's rise is chance.
constexpr int PresenceBins = 64;
constexpr double PresenceExcess = 0.15;
// The a-priori ratio of the long spectrum is averaged over this many bins on each side.
constexpr int NeighbourBins = 3;
// Floor of the first step: about -16 dB, so the noise is lowered, never gated.
constexpr float LeastLongGain = 0.15f;

// Short frames of about 23 ms at 44.1 kHz, at half overlap.
constexpr int FrameSize = 1024;
constexpr int FrameHop = FrameSize / 2;
constexpr int FrameBins = FrameSize / 2;
constexpr int BlockBinsPerFrameBin = SpectrumBins / FrameSize;
// Frames start half a frame before the block and end half a frame after it, so that every sample
// of the block is covered by two.
constexpr int FramesPerBlock = SpectrumBins / FrameHop + 1;
// Weight of the previous frame's cleaned power in the a-priori ratio: low, so that a syllable's
// onset is not held down; the floor below keeps the frames' gains from fluttering.
constexpr float PreviousFrameWeight = 0.5f;
// Floor of the second step (about -4 dB): it only evens out what the first left within a hop.
constexpr float LeastFrameGain = 0.6f;
// What the first step took is given back in a short frame where its power, averaged over this
// many frame bins on each side (about 700 Hz), exceeds the noise taken by this fraction: a
// fricative or a syllable's gliding upper harmonics, too brief or too spread for the long
// spectrum, then keep their onsets. Chance in noise alone hardly ever gets that far over so many
// bins. Below the first of these frame bins (about 500 Hz) the long spectrum separates a voice's
// and an instrument's harmonics, and what was taken between them is noise.
constexpr int RestoreBins = 16;
constexpr double RestoreExcess = 0.8;
constexpr int RestoreFromBin = 12;
// Only in the block's middle half, where its window leaves enough of the signal to judge; the
// hops overlap by half, so every moment lies in the middle half of one block.
constexpr float LeastRestoreWindowPower = 0.75f;

// Square root of the periodic Hann window: analysis and synthesis together sum to one at half
// overlap.
float FrameWindow(int i) {
    return static_cast<float>(std::sin(std::numbers::pi * (i + 0.5) / FrameSize));
}

float Wiener(float prior) { return prior / (1.0f + prior); }

float Power(Complex z) { return z.Re * z.Re + z.Im * z.Im; }

// The inverse DFT with 1/n scaling, through the forward one.
void Inverse(FFT& fft, Complex* x) {
    const int n = fft.Size();
    for (int i = 0; i < n; ++i) x[i].Im = -x[i].Im;
    fft.Transform(x);
    const float scale = 1.0f / static_cast<float>(n);
    for (int i = 0; i < n; ++i) x[i] = {x[i].Re * scale, -x[i].Im * scale};
}

}  // namespace

SmoothedNoiseGain::SmoothedNoiseGain(const BinSpectrum& profile)
    : block_(SpectrumBins),
      frame_(FrameSize),
      noisePower_(HalfBins + 1),
      posterior_(HalfBins + 1),
      prior_(HalfBins + 1),
      longGain_(SpectrumBins),
      frameNoise_(FrameBins + 1),
      takenNoise_(FrameBins + 1),
      cleanRatio_(FrameBins + 1, 0.0f),
      carriedRatio_(FrameBins + 1, 0.0f),
      frameGain_(FrameBins + 1),
      takenRatio_(FrameBins + 1),
      restoredRatio_(FrameBins + 1, 0.0f),
      carriedRestored_(FrameBins + 1, 0.0f),
      restoreGain_(FrameBins + 1),
      samples_(SpectrumBins),
      taken_(SpectrumBins),
      cleaned_(SpectrumBins),
      raw_(SpectrumBins),
      scratch_(SpectrumBins),
      bins_(FrameSize),
      kept_(FrameBins + 1),
      takenBins_(FrameBins + 1) {
    for (int k = 0; k <= HalfBins; ++k)
        noisePower_[k] = profile[k] * profile[k] / ProfileToMeanPower;
    double blockWindowPower = 0.0;
    for (double a : block_.AnalysisWindow()) blockWindowPower += a * a;
    double frameWindowPower = 0.0;
    for (int i = 0; i < FrameSize; ++i) frameWindowPower += FrameWindow(i) * FrameWindow(i);
    frameToBlockPower_ = frameWindowPower / blockWindowPower;
}

void SmoothedNoiseGain::Apply(Complex* x) {
    // Without a measured noise the hop passes untouched, not even rounded.
    if (std::none_of(noisePower_.begin(), noisePower_.end(), [](float p) { return p > 0.0f; }))
        return;
    ApplyLongGains(x);
    CleanShortFrames(x);
}

void SmoothedNoiseGain::ApplyLongGains(Complex* x) {
    std::copy(x, x + SpectrumBins, raw_.begin());
    for (int k = 0; k <= HalfBins; ++k) {
        const float noise = noisePower_[k];
        posterior_[k] = noise > 0.0f ? Power(x[k]) / noise : 0.0f;
        prior_[k] = 1e6f;  // a bin without measured noise passes
    }
    // Running sums over PresenceBins on each side.
    double around = 0.0;
    for (int k = 0; k < PresenceBins && k <= HalfBins; ++k) around += posterior_[k];
    for (int k = 0; k <= HalfBins; ++k) {
        if (k + PresenceBins <= HalfBins) around += posterior_[k + PresenceBins];
        if (k - PresenceBins - 1 >= 0) around -= posterior_[k - PresenceBins - 1];
        if (!(noisePower_[k] > 0.0f)) continue;
        const int n = std::min(k + PresenceBins, HalfBins) - std::max(k - PresenceBins, 0) + 1;
        const bool present = around / n - 1.0 > PresenceExcess;
        prior_[k] = present ? std::max(posterior_[k] - 1.0f, 0.0f) : 0.0f;
    }
    double sum = 0.0;
    for (int k = 0; k < NeighbourBins && k <= HalfBins; ++k) sum += prior_[k];
    for (int k = 0; k <= HalfBins; ++k) {
        if (k + NeighbourBins <= HalfBins) sum += prior_[k + NeighbourBins];
        if (k - NeighbourBins - 1 >= 0) sum -= prior_[k - NeighbourBins - 1];
        const int n = std::min(k + NeighbourBins, HalfBins) - std::max(k - NeighbourBins, 0) + 1;
        const float prior = static_cast<float>(sum / n);
        longGain_[k] = noisePower_[k] > 0.0f ? std::max(Wiener(prior), LeastLongGain) : 1.0f;
    }
    for (int k = 1; k < HalfBins; ++k) longGain_[SpectrumBins - k] = longGain_[k];
    for (int k = 0; k < SpectrumBins; ++k) x[k] = ComplexMath::Scale(x[k], longGain_[k]);
    for (int b = 0; b <= FrameBins; ++b) {
        const int from = std::max(b * BlockBinsPerFrameBin - BlockBinsPerFrameBin / 2, 0);
        const int to = std::min(b * BlockBinsPerFrameBin + BlockBinsPerFrameBin / 2, HalfBins);
        double left = 0.0, taken = 0.0;
        for (int k = from; k <= to; ++k) {
            left += static_cast<double>(noisePower_[k]) * longGain_[k] * longGain_[k];
            taken +=
                static_cast<double>(noisePower_[k]) * (1.0f - longGain_[k]) * (1.0f - longGain_[k]);
        }
        frameNoise_[b] = static_cast<float>(left / (to - from + 1) * frameToBlockPower_);
        takenNoise_[b] = static_cast<float>(taken / (to - from + 1) * frameToBlockPower_);
    }
}

void SmoothedNoiseGain::CleanShortFrames(Complex* x) {
    std::copy(x, x + SpectrumBins, scratch_.begin());
    Inverse(block_, scratch_.data());
    for (int i = 0; i < SpectrumBins; ++i) samples_[i] = scratch_[i].Re;
    for (int k = 0; k < SpectrumBins; ++k)
        scratch_[k] = {raw_[k].Re - x[k].Re, raw_[k].Im - x[k].Im};
    Inverse(block_, scratch_.data());
    for (int i = 0; i < SpectrumBins; ++i) taken_[i] = scratch_[i].Re;
    std::fill(cleaned_.begin(), cleaned_.end(), 0.0f);
    // The next hop's block starts where this one's middle frame does.
    cleanRatio_ = carriedRatio_;
    restoredRatio_ = carriedRestored_;
    for (int j = 0; j < FramesPerBlock; ++j) {
        if (j == FramesPerBlock / 2) {
            carriedRatio_ = cleanRatio_;
            carriedRestored_ = restoredRatio_;
        }
        CleanFrame((j - 1) * FrameHop);
    }
    for (int i = 0; i < SpectrumBins; ++i) x[i] = {cleaned_[i], 0.0f};
    block_.Transform(x);
    // A real block's spectrum, mirrored exactly as the engine's own transforms give it.
    x[0].Im = 0.0f;
    x[HalfBins].Im = 0.0f;
    for (int k = 1; k < HalfBins; ++k) x[SpectrumBins - k] = {x[k].Re, -x[k].Im};
}

void SmoothedNoiseGain::CleanFrame(int start) {
    for (int i = 0; i < FrameSize; ++i) {
        const int at = start + i;
        const bool inside = at >= 0 && at < SpectrumBins;
        const float kept = inside ? samples_[at] : 0.0f;
        const float taken = inside ? taken_[at] : 0.0f;
        bins_[i] = {kept * FrameWindow(i), taken * FrameWindow(i)};
    }
    // Both real frames through one transform, then apart.
    frame_.Transform(bins_.data());
    for (int b = 0; b <= FrameBins; ++b) {
        const Complex z = bins_[b];
        const Complex w = bins_[(FrameSize - b) % FrameSize];
        kept_[b] = {(z.Re + w.Re) * 0.5f, (z.Im - w.Im) * 0.5f};
        takenBins_[b] = {(z.Im + w.Im) * 0.5f, (w.Re - z.Re) * 0.5f};
    }
    // The block's window scales signal and noise alike.
    const int centre = std::clamp(start + FrameHop, 0, SpectrumBins - 1);
    const float a = static_cast<float>(block_.AnalysisWindow()[centre]);
    const float windowPower = std::max(a * a, 1e-12f);
    for (int b = 0; b <= FrameBins; ++b) {
        const float noise = frameNoise_[b] * windowPower;
        if (!(noise > 0.0f)) {
            frameGain_[b] = 1.0f;
            continue;
        }
        const float posterior = Power(kept_[b]) / noise;
        const float prior = PreviousFrameWeight * cleanRatio_[b] +
                            (1.0f - PreviousFrameWeight) * std::max(posterior - 1.0f, 0.0f);
        const float g = std::max(Wiener(prior), LeastFrameGain);
        frameGain_[b] = g;
        cleanRatio_[b] = g * g * posterior;
    }
    RestoreGains(windowPower);
    for (int b = 0; b <= FrameBins; ++b) {
        const Complex kept = ComplexMath::Scale(kept_[b], frameGain_[b]);
        const Complex taken = ComplexMath::Scale(takenBins_[b], restoreGain_[b]);
        bins_[b] = {kept.Re + taken.Re, kept.Im + taken.Im};
        if (b > 0 && b < FrameBins) bins_[FrameSize - b] = {bins_[b].Re, -bins_[b].Im};
    }
    Inverse(frame_, bins_.data());
    for (int i = 0; i < FrameSize; ++i) {
        const int at = start + i;
        if (at >= 0 && at < SpectrumBins) cleaned_[at] += bins_[i].Re * FrameWindow(i);
    }
}

void SmoothedNoiseGain::RestoreGains(float windowPower) {
    for (int b = 0; b <= FrameBins; ++b) {
        const float noise = takenNoise_[b] * windowPower;
        takenRatio_[b] = noise > 0.0f ? Power(takenBins_[b]) / noise : 0.0f;
    }
    // Running sum over RestoreBins on each side.
    double around = 0.0;
    for (int b = 0; b < RestoreBins; ++b) around += takenRatio_[b];
    for (int b = 0; b <= FrameBins; ++b) {
        if (b + RestoreBins <= FrameBins) around += takenRatio_[b + RestoreBins];
        if (b - RestoreBins - 1 >= 0) around -= takenRatio_[b - RestoreBins - 1];
        const int n = std::min(b + RestoreBins, FrameBins) - std::max(b - RestoreBins, 0) + 1;
        float g = 0.0f;
        if (b >= RestoreFromBin && windowPower >= LeastRestoreWindowPower &&
            around / n - 1.0 > RestoreExcess) {
            const float prior =
                PreviousFrameWeight * restoredRatio_[b] +
                (1.0f - PreviousFrameWeight) * std::max(takenRatio_[b] - 1.0f, 0.0f);
            g = Wiener(prior);
        }
        restoreGain_[b] = g;
        restoredRatio_[b] = g * g * takenRatio_[b];
    }
}

}  // namespace sv
