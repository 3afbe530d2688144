#pragma once
// A look-ahead limiter that keeps the true peak (the level between samples) at or below a
// ceiling without clipping. Detection interpolates each channel by the same kind of windowed
// sinc the true-peak meter uses; the gain, common to all channels so the image stays put, falls
// in a linear ramp over the look-ahead before each peak and recovers exponentially after it.
// The ramp is a moving average of a running minimum, so the gain at a peak is never above what
// that peak needs.
#include <cstdint>
#include <vector>

namespace sv {

// Short on purpose: the error against plain gain is the gain reduction times the signal, so the
// less of each peak's surroundings is turned down, the closer the output stays to plain gain
// (measured on percussive and spoken material).
struct LimiterTiming {
    double LookAheadSeconds = 0.0015;  // the attack ramp
    double ReleaseSeconds = 0.015;     // time constant of the recovery
};

class TruePeakLimiter {
  public:
    TruePeakLimiter(int channels, int sampleRate, double ceiling, LimiterTiming timing = {});

    // Limits frames interleaved frames in place, full scale 1.0. The output lags the input by
    // Latency() frames: the first Latency() frames out are silence, and Latency() frames of
    // silence pushed in at the end bring the last input out.
    void Process(float* interleaved, std::int64_t frames);
    int Latency() const { return latency_; }
    // The smallest gain applied so far, linear.
    double SmallestGain() const { return smallestGain_; }

    static constexpr int BlockFrames = 4096;

  private:
    void ProcessBlock(float* interleaved, int frames);
    void DetectPeaks(const float* interleaved, int frames);
    float NextGain(float required);

    int channels_;
    int factor_;
    float ceiling_;
    int lookAhead_;  // frames of the ramp
    int latency_;
    float release_;
    std::vector<float> coefficients_;  // phase-major
    std::vector<std::vector<float>> history_;
    std::vector<float> interpolated_;
    std::vector<float> peaks_;  // per frame of the block, the largest of all channels and phases
    // Running minimum of the required gain over lookAhead_ + 1 frames: a monotonic queue.
    std::vector<float> queueGain_;
    std::vector<std::int64_t> queueAt_;
    std::size_t queueHead_ = 0, queueSize_ = 0;
    std::int64_t frameAt_ = 0;
    float recovered_ = 1.0f;
    // Moving average of the recovered gain over lookAhead_ frames.
    std::vector<float> window_;
    std::size_t windowAt_ = 0;
    double windowSum_;
    // The delayed input, latency_ frames, interleaved.
    std::vector<float> delay_;
    std::size_t delayAt_ = 0;
    double smallestGain_ = 1.0;
};

}  // namespace sv
