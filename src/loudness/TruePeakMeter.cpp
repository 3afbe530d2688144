#include "loudness/TruePeakMeter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/UsableCores.h"
#include "loudness/ParallelRuns.h"

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

constexpr std::size_t Chunk = OversampledChunk;
constexpr std::size_t Reach = TruePeakMeter::TapsPerPhase - 1;  // earlier samples an output uses
// Blocks shorter than this stay on the calling thread: waking a helper would cost more.
constexpr std::int64_t ParallelFrames = 2048;

}  // namespace

TruePeakMeter::TruePeakMeter(int channels, int sampleRate, int threads)
    : channels_(channels),
      factor_(std::max(1, (TargetRate + sampleRate - 1) / std::max(sampleRate, 1))),
      state_(static_cast<std::size_t>(channels)) {
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
    // |y| <= sum |h| * max |x| over the samples an output uses. In float arithmetic the
    // computed y may exceed that by the rounding of 32 products and sums, far below 1e-5.
    for (int p = 0; p < factor_; ++p) {
        double sum = 0.0;
        for (int k = 0; k < TapsPerPhase; ++k)
            sum += std::abs(coefficients_[static_cast<std::size_t>(p * TapsPerPhase + k)]);
        gainBound_ = std::max(gainBound_, sum * (1.0 + 1e-5));
    }
    for (auto& channel : state_) channel.samples.assign(Reach, 0.0f);
    const int cores = std::min(channels, threads > 0 ? threads : UsableCores());
    if (cores > 1) cores_ = std::make_unique<ParallelRuns>(cores);
}

TruePeakMeter::~TruePeakMeter() = default;

void TruePeakMeter::Add(const float* interleaved, std::int64_t frames) {
    if (frames <= 0) return;
    const auto n = static_cast<std::size_t>(frames);
    const auto measure = [&](int c) {
        Measure(state_[static_cast<std::size_t>(c)], interleaved, c, n);
    };
    if (cores_ && frames >= ParallelFrames)
        cores_->Run(channels_, measure);
    else
        for (int c = 0; c < channels_; ++c) measure(c);
}

// Outputs are taken in chunks; a chunk whose samples are too small for any of its outputs to
// exceed the peak found so far is skipped, which leaves the reading exactly as if it had been
// computed. The chunk with the largest samples goes first, to raise that peak early.
void TruePeakMeter::Measure(Channel& channel, const float* interleaved, int c,
                            std::size_t frames) const {
    std::vector<float>& x = channel.samples;
    const std::size_t chunks = (frames + Chunk - 1) / Chunk;
    x.resize(Reach + (chunks + 1) * Chunk);
    for (std::size_t i = 0; i < frames; ++i)
        x[Reach + i] =
            interleaved[i * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)];
    std::fill(x.begin() + static_cast<std::ptrdiff_t>(Reach + frames), x.end(), 0.0f);

    // Chunk j's outputs use x[j * Chunk, j * Chunk + Chunk + Reach): sample chunks j and j + 1.
    std::vector<float>& peaks = channel.chunkPeaks;
    peaks.resize(chunks + 1);
    for (std::size_t j = 0; j <= chunks; ++j) {
        float m = 0.0f;
        for (std::size_t i = j * Chunk; i < j * Chunk + Chunk; ++i) m = std::max(m, std::abs(x[i]));
        peaks[j] = m;
    }
    for (std::size_t j = 0; j < chunks; ++j) peaks[j] = std::max(peaks[j], peaks[j + 1]);
    const auto loudest = static_cast<std::size_t>(
        std::max_element(peaks.begin(), peaks.begin() + static_cast<std::ptrdiff_t>(chunks)) -
        peaks.begin());
    double peak = channel.peak;
    const auto measureChunk = [&](std::size_t j) {
        if (gainBound_ * peaks[j] <= peak) return;
        const int count = static_cast<int>(std::min(Chunk, frames - j * Chunk));
        peak = std::max(peak, static_cast<double>(OversampledPeak(coefficients_.data(), factor_,
                                                                  x.data() + j * Chunk, count)));
    };
    measureChunk(loudest);
    for (std::size_t j = 0; j < chunks; ++j)
        if (j != loudest) measureChunk(j);
    channel.peak = peak;
    std::copy(x.begin() + static_cast<std::ptrdiff_t>(frames),
              x.begin() + static_cast<std::ptrdiff_t>(frames + Reach), x.begin());
    x.resize(Reach);
}

void TruePeakMeter::Finish() {
    const std::vector<float> silence(static_cast<std::size_t>(TapsPerPhase * channels_), 0.0f);
    Add(silence.data(), TapsPerPhase);
}

double TruePeakMeter::Peak() const {
    double peak = 0.0;
    for (const auto& channel : state_) peak = std::max(peak, channel.peak);
    return peak;
}

}  // namespace sv
