#pragma once
// The highest level of a signal between its samples: each channel is upsampled by a Kaiser-
// windowed sinc (32 taps, band edge at the Nyquist frequency, as ffmpeg's meter interpolates) to
// at least 384 kHz and its largest magnitude kept. libebur128's 4-times, 12-tap interpolator
// reads wide-band material such as noise several tenths of a dB low, enough for a true-peak
// ceiling to be overshot. Phase 0 passes the samples, so the reading is never below the sample
// peak; in the top of the band it errs high, on the safe side for a ceiling.
#include <cstdint>
#include <vector>

namespace sv {

class TruePeakMeter {
  public:
    TruePeakMeter(int channels, int sampleRate);

    // frames interleaved frames of channels values each, full scale 1.0.
    void Add(const float* interleaved, std::int64_t frames);
    // Lets the last samples ring out through the filter; call once after the last Add.
    void Finish();
    // The highest magnitude of all channels so far, linear (1.0 = full scale).
    double Peak() const;

    int Factor() const { return factor_; }

    static constexpr int TapsPerPhase = 32;

  private:
    int channels_;
    int factor_;
    std::vector<float> coefficients_;  // phase-major: TapsPerPhase values per phase
    // Per channel: the last TapsPerPhase - 1 samples, then the block being measured.
    std::vector<std::vector<float>> history_;
    std::vector<float> output_;
    std::vector<double> peaks_;
};

}  // namespace sv
