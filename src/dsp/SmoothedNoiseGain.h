#pragma once
// Noise removal whose gains follow the signal-to-noise ratio smoothly over time and frequency and
// never fall below a floor, so that what is left of the noise still sounds like noise instead of
// short tonal bursts. Two steps: on the hop's long spectrum, fine in frequency, bins are lowered
// to a floor unless the bins around them rise clearly above the noise; then the hop is cut into
// short frames, fine in time (a hop is 186 ms at 44.1 kHz, longer than a syllable), and each is
// cleaned with a decision-directed a-priori ratio against the noise the first step left, while
// what the first step took is given back where a short frame shows it to be more than noise.
#include <vector>

#include "base/CoreTypes.h"
#include "dsp/Complex.h"
#include "dsp/FFT.h"

namespace sv {

class SmoothedNoiseGain {
  public:
    // profile: the scaled and widened noise profile of one channel (magnitudes per bin).
    explicit SmoothedNoiseGain(const BinSpectrum& profile);

    // Changes one hop's spectrum (SpectrumBins values); a channel's hops in order.
    void Apply(Complex* x);

  private:
    void ApplyLongGains(Complex* x);
    void CleanShortFrames(Complex* x);
    void CleanFrame(int start);
    void RestoreGains(float windowPower);

    FFT block_;
    FFT frame_;
    std::vector<float> noisePower_;    // mean noise power per bin, bins 0 .. SpectrumBins / 2
    std::vector<float> posterior_;     // this hop's power over the noise
    std::vector<float> prior_;         // this hop's a-priori ratio
    std::vector<float> longGain_;      // every bin, mirrored
    std::vector<float> frameNoise_;    // noise left per short-frame bin, block window of one
    std::vector<float> takenNoise_;    // noise the first step took, likewise
    std::vector<float> cleanRatio_;    // the previous short frame's cleaned power over noise
    std::vector<float> carriedRatio_;  // that ratio where the next hop's block starts
    std::vector<float> frameGain_;
    std::vector<float> takenRatio_;       // the frame's taken power over the noise taken
    std::vector<float> restoredRatio_;    // the previous frame's restored power over that noise
    std::vector<float> carriedRestored_;  // that ratio where the next hop's block starts
    std::vector<float> restoreGain_;
    std::vector<float> samples_;  // the windowed block
    std::vector<float> taken_;    // what the first step took from it
    std::vector<float> cleaned_;
    ComplexArray raw_;  // the hop's spectrum before the first step
    ComplexArray scratch_;
    ComplexArray bins_;
    ComplexArray kept_;       // a short frame of the block after the first step
    ComplexArray takenBins_;  // and of what that step took
    double frameToBlockPower_ = 0.0;
};

}  // namespace sv
