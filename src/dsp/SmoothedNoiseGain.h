#pragma once
// Noise removal whose gains follow each bin's signal-to-noise ratio smoothly over time and
// frequency and never fall below a floor, so that what is left of the noise still sounds like
// noise instead of short tonal bursts. The a-priori ratio is decision-directed: mostly the
// cleaned power of the channel's previous hop, partly this hop's excess over the noise.
#include <vector>

#include "base/CoreTypes.h"
#include "dsp/Complex.h"

namespace sv {

class SmoothedNoiseGain {
  public:
    // profile: the scaled and widened noise profile of one channel (magnitudes per bin).
    explicit SmoothedNoiseGain(const BinSpectrum& profile);

    // Scales the bins of one hop's spectrum (SpectrumBins values); a channel's hops in order.
    void Apply(Complex* x);

  private:
    std::vector<float> noisePower_;  // mean noise power, bins 0 .. SpectrumBins / 2
    std::vector<float> cleanPower_;  // the previous hop's cleaned power
    std::vector<float> prior_;       // this hop's a-priori ratio
    std::vector<float> gain_;        // every bin, mirrored
};

}  // namespace sv
