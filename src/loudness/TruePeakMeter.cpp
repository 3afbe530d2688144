#include "loudness/TruePeakMeter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sv {

namespace {

// Modified Bessel function of the first kind, order 0, for the Kaiser window.
double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < 1e-12 * sum) break;
    }
    return sum;
}

constexpr double KaiserBeta = 9.0;
constexpr double Cutoff = 1.0;  // of the input's Nyquist frequency
constexpr int TargetRate = 384000;

}  // namespace

TruePeakMeter::TruePeakMeter(int channels, int sampleRate)
    : channels_(channels),
      factor_(std::max(1, (TargetRate + sampleRate - 1) / std::max(sampleRate, 1))),
      history_(static_cast<std::size_t>(channels)),
      peaks_(static_cast<std::size_t>(channels), 0.0) {
    const int length = TapsPerPhase * factor_;
    // Centred on a tap, so that phase 0 passes the samples themselves: never below sample peak.
    const double centre = length / 2;
    std::vector<double> prototype(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const double t = (i - centre) / factor_;  // in input samples
        const double x = std::numbers::pi * Cutoff * t;
        const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(x) / x;
        const double r = (i - centre) / (length / 2.0);
        const double window =
            BesselI0(KaiserBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / BesselI0(KaiserBeta);
        prototype[static_cast<std::size_t>(i)] = Cutoff * sinc * window;
    }
    // Each phase gets unity gain at DC, so a constant signal reads its own level.
    coefficients_.resize(static_cast<std::size_t>(length));
    for (int p = 0; p < factor_; ++p) {
        double sum = 0.0;
        for (int k = 0; k < TapsPerPhase; ++k)
            sum += prototype[static_cast<std::size_t>(k * factor_ + p)];
        for (int k = 0; k < TapsPerPhase; ++k)
            coefficients_[static_cast<std::size_t>(p * TapsPerPhase + k)] =
                static_cast<float>(prototype[static_cast<std::size_t>(k * factor_ + p)] / sum);
    }
    for (auto& h : history_) h.assign(TapsPerPhase - 1, 0.0f);
}

void TruePeakMeter::Add(const float* interleaved, std::int64_t frames) {
    if (frames <= 0) return;
    const std::size_t n = static_cast<std::size_t>(frames);
    output_.resize(n);
    for (int c = 0; c < channels_; ++c) {
        std::vector<float>& x = history_[static_cast<std::size_t>(c)];
        x.resize(TapsPerPhase - 1 + n);
        for (std::size_t i = 0; i < n; ++i)
            x[TapsPerPhase - 1 + i] =
                interleaved[i * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)];
        float peak = 0.0f;
        for (int p = 0; p < factor_; ++p) {
            const float* h = &coefficients_[static_cast<std::size_t>(p * TapsPerPhase)];
            float* y = output_.data();
            std::fill(y, y + n, 0.0f);
            // Tap-major, so the inner loop runs over contiguous samples and vectorises.
            for (int k = 0; k < TapsPerPhase; ++k) {
                const float hk = h[k];
                const float* xs = x.data() + (TapsPerPhase - 1 - k);
                for (std::size_t i = 0; i < n; ++i) y[i] += hk * xs[i];
            }
            for (std::size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(y[i]));
        }
        double& channelPeak = peaks_[static_cast<std::size_t>(c)];
        channelPeak = std::max(channelPeak, static_cast<double>(peak));
        std::copy(x.end() - (TapsPerPhase - 1), x.end(), x.begin());
        x.resize(TapsPerPhase - 1);
    }
}

void TruePeakMeter::Finish() {
    const std::vector<float> silence(static_cast<std::size_t>(TapsPerPhase * channels_), 0.0f);
    Add(silence.data(), TapsPerPhase);
}

double TruePeakMeter::Peak() const {
    return peaks_.empty() ? 0.0 : *std::max_element(peaks_.begin(), peaks_.end());
}

}  // namespace sv
