#pragma once
// The highest level of a signal between its samples: each channel is upsampled by a Kaiser-
// windowed sinc (32 taps, band edge at the Nyquist frequency, as ffmpeg's meter interpolates) to
// at least 384 kHz and its largest magnitude kept. libebur128's 4-times, 12-tap interpolator
// reads wide-band material such as noise several tenths of a dB low, enough for a true-peak
// ceiling to be overshot. Phase 0 passes the samples, so the reading is never below the sample
// peak; in the top of the band it errs high, on the safe side for a ceiling.
#include <cstdint>
#include <memory>
#include <vector>

#include "loudness/OversampledPeak.h"

namespace sv {

class ParallelRuns;

class TruePeakMeter {
  public:
    // threads: how many threads Add may use at most; 0 for every core the process may use.
    TruePeakMeter(int channels, int sampleRate, int threads = 0);
    ~TruePeakMeter();

    // frames interleaved frames of channels values each, full scale 1.0. Long blocks spread
    // their channels over the cores the process may use.
    void Add(const float* interleaved, std::int64_t frames);
    // Lets the last samples ring out through the filter; call once after the last Add.
    void Finish();
    // The highest magnitude of all channels so far, linear (1.0 = full scale).
    double Peak() const;

    int Factor() const { return factor_; }
    // The interpolator, phase-major: TapsPerPhase taps for each of Factor() phases.
    const std::vector<float>& Coefficients() const { return coefficients_; }

    static constexpr int TapsPerPhase = OversamplingTaps;

  private:
    struct Channel {
        // The last TapsPerPhase - 1 samples, then the block being measured, then zeros.
        std::vector<float> samples;
        std::vector<float> chunkPeaks;  // largest |sample| of each chunk of samples
        double peak = 0.0;
    };
    void Measure(Channel& channel, const float* interleaved, int c, std::size_t frames) const;

    int channels_;
    int factor_;
    std::vector<float> coefficients_;  // phase-major: TapsPerPhase values per phase
    double gainBound_ = 0.0;           // no output exceeds this times the largest |input| used
    std::vector<Channel> state_;
    std::unique_ptr<ParallelRuns> cores_;
};

}  // namespace sv
