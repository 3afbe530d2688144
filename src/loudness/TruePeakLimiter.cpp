#include "loudness/TruePeakLimiter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sv {

namespace {

constexpr int TapsPerPhase = 32;
constexpr int FilterDelay = TapsPerPhase / 2;  // frames between an input and its interpolation
constexpr int DetectionRate = 384000;
constexpr double KaiserBeta = 9.0;

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50 && term > 1e-12 * sum; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// Phase-major polyphase coefficients of a Kaiser-windowed sinc centred on a tap, each phase
// normalised to unity gain at DC.
std::vector<float> InterpolationFilter(int factor) {
    const int length = TapsPerPhase * factor;
    const double centre = length / 2;
    std::vector<double> prototype(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double x = std::numbers::pi * (i - centre) / factor;
        const double r = (i - centre) / (length / 2.0);
        const double window =
            BesselI0(KaiserBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / BesselI0(KaiserBeta);
        prototype[static_cast<std::size_t>(i)] =
            (std::abs(x) < 1e-12 ? 1.0 : std::sin(x) / x) * window;
    }
    std::vector<float> coefficients(static_cast<std::size_t>(length));
    for (int p = 0; p < factor; ++p) {
        double sum = 0.0;
        for (int k = 0; k < TapsPerPhase; ++k)
            sum += prototype[static_cast<std::size_t>(k * factor + p)];
        for (int k = 0; k < TapsPerPhase; ++k)
            coefficients[static_cast<std::size_t>(p * TapsPerPhase + k)] =
                static_cast<float>(prototype[static_cast<std::size_t>(k * factor + p)] / sum);
    }
    return coefficients;
}

}  // namespace

TruePeakLimiter::TruePeakLimiter(int channels, int sampleRate, double ceiling, LimiterTiming timing)
    : channels_(std::max(channels, 1)),
      factor_(std::max(1, (DetectionRate + sampleRate - 1) / std::max(sampleRate, 1))),
      ceiling_(static_cast<float>(ceiling)),
      lookAhead_(std::max(1, static_cast<int>(std::lround(timing.LookAheadSeconds * sampleRate)))),
      latency_(lookAhead_ - 1 + FilterDelay),
      release_(static_cast<float>(1.0 - std::exp(-1.0 / (timing.ReleaseSeconds * sampleRate)))),
      coefficients_(InterpolationFilter(factor_)),
      history_(static_cast<std::size_t>(channels_),
               std::vector<float>(TapsPerPhase - 1 + BlockFrames, 0.0f)),
      interpolated_(BlockFrames),
      peaks_(BlockFrames),
      queueGain_(static_cast<std::size_t>(lookAhead_ + 2)),
      queueAt_(static_cast<std::size_t>(lookAhead_ + 2)),
      window_(static_cast<std::size_t>(lookAhead_), 1.0f),
      windowSum_(lookAhead_),
      delay_(static_cast<std::size_t>(latency_ * channels_), 0.0f) {}

void TruePeakLimiter::Process(float* interleaved, std::int64_t frames) {
    while (frames > 0) {
        const int n = static_cast<int>(std::min<std::int64_t>(frames, BlockFrames));
        ProcessBlock(interleaved, n);
        interleaved += static_cast<std::ptrdiff_t>(n) * channels_;
        frames -= n;
    }
}

void TruePeakLimiter::DetectPeaks(const float* interleaved, int frames) {
    const auto n = static_cast<std::size_t>(frames);
    std::fill(peaks_.begin(), peaks_.begin() + frames, 0.0f);
    for (int c = 0; c < channels_; ++c) {
        float* x = history_[static_cast<std::size_t>(c)].data();
        for (std::size_t i = 0; i < n; ++i)
            x[TapsPerPhase - 1 + i] = interleaved[i * static_cast<std::size_t>(channels_) + c];
        for (int p = 0; p < factor_; ++p) {
            const float* h = &coefficients_[static_cast<std::size_t>(p * TapsPerPhase)];
            float* y = interpolated_.data();
            std::fill(y, y + n, 0.0f);
            // Tap-major, so the inner loop runs over contiguous samples and vectorises.
            for (int k = 0; k < TapsPerPhase; ++k) {
                const float hk = h[k];
                const float* xs = x + (TapsPerPhase - 1 - k);
                for (std::size_t i = 0; i < n; ++i) y[i] += hk * xs[i];
            }
            for (std::size_t i = 0; i < n; ++i) peaks_[i] = std::max(peaks_[i], std::abs(y[i]));
        }
        std::copy(x + n, x + n + TapsPerPhase - 1, x);
    }
}

float TruePeakLimiter::NextGain(float required) {
    const std::size_t capacity = queueGain_.size();
    // Drop from the back what the new value undercuts, and from the front what left the window.
    while (queueSize_ > 0 && queueGain_[(queueHead_ + queueSize_ - 1) % capacity] >= required)
        --queueSize_;
    const std::size_t back = (queueHead_ + queueSize_) % capacity;
    queueGain_[back] = required;
    queueAt_[back] = frameAt_;
    ++queueSize_;
    while (queueAt_[queueHead_] <= frameAt_ - (lookAhead_ + 1)) {
        queueHead_ = (queueHead_ + 1) % capacity;
        --queueSize_;
    }
    ++frameAt_;
    recovered_ = std::min(queueGain_[queueHead_], recovered_ + (1.0f - recovered_) * release_);
    windowSum_ += recovered_ - window_[windowAt_];
    window_[windowAt_] = recovered_;
    windowAt_ = windowAt_ + 1 == window_.size() ? 0 : windowAt_ + 1;
    return std::min(1.0f, static_cast<float>(windowSum_ / lookAhead_));
}

void TruePeakLimiter::ProcessBlock(float* interleaved, int frames) {
    DetectPeaks(interleaved, frames);
    const auto ch = static_cast<std::size_t>(channels_);
    for (int i = 0; i < frames; ++i) {
        const float peak = peaks_[static_cast<std::size_t>(i)];
        const float gain = NextGain(peak > ceiling_ ? ceiling_ / peak : 1.0f);
        smallestGain_ = std::min(smallestGain_, static_cast<double>(gain));
        float* frame = interleaved + static_cast<std::size_t>(i) * ch;
        float* delayed = &delay_[delayAt_ * ch];
        for (std::size_t c = 0; c < ch; ++c) {
            const float in = frame[c];
            frame[c] = delayed[c] * gain;
            delayed[c] = in;
        }
        delayAt_ = delayAt_ + 1 == static_cast<std::size_t>(latency_) ? 0 : delayAt_ + 1;
    }
}

}  // namespace sv
