// The engine's hop (Forward, Inverse, windows and rounding, int32 in and out, N = 16384) against
// FFTW's real transforms doing the same hop, against a textbook radix-2 transform, and on the
// four-wide and eight-wide kernels against the widest one the CPU has.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <numbers>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dsp/FFT.h"
#include "dsp/FFTRadix4.h"

namespace {

constexpr int N = 16384;

std::vector<std::int32_t> RandomBlock() {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::int32_t> value(-8388608, 8388607);  // 16-bit range x 256
    std::vector<std::int32_t> s(N);
    for (auto& v : s) v = value(rng);
    return s;
}

// An FFT on four-wide vectors even where the CPU has wider ones.
sv::FFT NarrowFFT() {
    sv::fftkernel::UseWideVectors(false);
    sv::FFT fft(N);
    sv::fftkernel::UseWideVectors(true);
    return fft;
}

// An FFT on at most eight-wide vectors even where the CPU has sixteen-wide ones.
sv::FFT EightWideFFT() {
    sv::fftkernel::UseWidestVectors(false);
    sv::FFT fft(N);
    sv::fftkernel::UseWidestVectors(true);
    return fft;
}

void Hop(benchmark::State& state, sv::FFT& fft) {
    const auto in = RandomBlock();
    std::vector<std::int32_t> out(N);
    sv::ComplexArray x(N);
    for (auto _ : state) {
        fft.Forward(in.data(), x.data());
        fft.Inverse(x.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void BM_SonivarHop(benchmark::State& state) {
    sv::FFT fft(N);
    Hop(state, fft);
}
BENCHMARK(BM_SonivarHop);

void BM_SonivarHopNarrow(benchmark::State& state) {
    sv::FFT fft = NarrowFFT();
    Hop(state, fft);
}
BENCHMARK(BM_SonivarHopNarrow);

void BM_SonivarHopEightWide(benchmark::State& state) {
    sv::FFT fft = EightWideFFT();
    Hop(state, fft);
}
BENCHMARK(BM_SonivarHopEightWide);

void BM_FftwHop(benchmark::State& state) {
    const sv::FFT windows(N);
    const std::vector<double>& analysis = windows.AnalysisWindow();
    std::vector<float> synthesisOverN(N);
    for (int i = 0; i < N; ++i)
        synthesisOverN[i] = static_cast<float>(windows.SynthesisWindow()[i] / N);
    float* real = fftwf_alloc_real(N);
    fftwf_complex* spectrum = fftwf_alloc_complex(N / 2 + 1);
    fftwf_plan forward = fftwf_plan_dft_r2c_1d(N, real, spectrum, FFTW_MEASURE);
    fftwf_plan inverse = fftwf_plan_dft_c2r_1d(N, spectrum, real, FFTW_MEASURE);
    const auto in = RandomBlock();
    std::vector<std::int32_t> out(N);
    for (auto _ : state) {
        for (int i = 0; i < N; ++i) real[i] = static_cast<float>(in[i] * analysis[i]);
        fftwf_execute(forward);
        fftwf_execute(inverse);
        for (int i = 0; i < N; ++i)
            out[i] = static_cast<std::int32_t>(std::lrint(synthesisOverN[i] * real[i]));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(inverse);
    fftwf_destroy_plan(forward);
    fftwf_free(spectrum);
    fftwf_free(real);
}
BENCHMARK(BM_FftwHop);

void Transform(benchmark::State& state, sv::FFT& fft) {
    const auto in = RandomBlock();
    sv::ComplexArray x(N);
    for (int i = 0; i < N; ++i) x[i] = {static_cast<float>(in[i]), 0.0f};
    for (auto _ : state) {
        fft.Transform(x.data());
        benchmark::DoNotOptimize(x.data());
        benchmark::ClobberMemory();
    }
}

void BM_SonivarTransform(benchmark::State& state) {
    sv::FFT fft(N);
    Transform(state, fft);
}
BENCHMARK(BM_SonivarTransform);

void BM_SonivarTransformNarrow(benchmark::State& state) {
    sv::FFT fft = NarrowFFT();
    Transform(state, fft);
}
BENCHMARK(BM_SonivarTransformNarrow);

void BM_FftwTransform(benchmark::State& state) {
    fftwf_complex* x = fftwf_alloc_complex(N);
    fftwf_plan plan = fftwf_plan_dft_1d(N, x, x, FFTW_FORWARD, FFTW_MEASURE);
    const auto in = RandomBlock();
    for (int i = 0; i < N; ++i) {
        x[i][0] = static_cast<float>(in[i]);
        x[i][1] = 0.0f;
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(x);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(x);
}
BENCHMARK(BM_FftwTransform);

// Textbook reference: radix-2 decimation in frequency with the single-precision twiddle
// recurrence and a bit-reversal loop, on a full complex block.
void TextbookTransform(sv::Complex* x, int n) {
    int stages = sv::FFT::BitCount(static_cast<unsigned>(n)) - 1;
    int span = 2 * n;
    for (int stage = 0; stage < stages; ++stage) {
        span /= 2;
        const int half = span / 2;
        const float theta = static_cast<float>(std::numbers::pi / half);
        const sv::Complex step{std::cos(theta), -std::sin(theta)};
        sv::Complex w{1.0f, 0.0f};
        for (int j = 1; j <= half; ++j) {
            for (int i = j - 1; i < n; i += span) {
                const sv::Complex a = x[i], b = x[i + half];
                x[i] = sv::ComplexMath::Add(a, b);
                x[i + half] = sv::ComplexMath::Mul(sv::ComplexMath::Sub(a, b), w);
            }
            w = sv::ComplexMath::Mul(w, step);
        }
    }
    for (int i = 0, j = 0; i < n - 1; ++i) {
        if (i < j) std::swap(x[i], x[j]);
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

void BM_TextbookHop(benchmark::State& state) {
    const sv::FFT windows(N);
    const auto& analysis = windows.AnalysisWindow();
    const auto& synthesis = windows.SynthesisWindow();
    const auto in = RandomBlock();
    std::vector<std::int32_t> out(N);
    sv::ComplexArray x(N);
    for (auto _ : state) {
        for (int i = 0; i < N; ++i) x[i] = {static_cast<float>(in[i] * analysis[i]), 0.0f};
        TextbookTransform(x.data(), N);
        for (auto& z : x) z.Im = -z.Im;
        TextbookTransform(x.data(), N);
        for (int i = 0; i < N; ++i)
            out[i] = static_cast<std::int32_t>(std::lrint(synthesis[i] * x[i].Re / N));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TextbookHop);

// Console output plus the ratios that matter, from the same run. CPU time, because these
// machines are shared and wall time counts other processes.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the median stands for the benchmark.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred ||
                (!median && (run.run_type != Run::RT_Iteration || mediansSeen_.count(name))))
                continue;
            if (median) mediansSeen_.insert(name);
            microseconds_[name] =
                run.GetAdjustedCPUTime() * 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        Ratio("BM_SonivarHop", "BM_FftwHop");
        Ratio("BM_TextbookHop", "BM_SonivarHop");
        Ratio("BM_SonivarTransform", "BM_FftwTransform");
        Ratio("BM_SonivarHop", "BM_SonivarHopNarrow");
        Ratio("BM_SonivarHop", "BM_SonivarHopEightWide");
        Ratio("BM_SonivarTransform", "BM_SonivarTransformNarrow");
    }

  private:
    void Ratio(const std::string& a, const std::string& b) {
        if (!microseconds_.count(a) || !microseconds_.count(b)) return;
        char line[160];
        std::snprintf(line, sizeof line, "%s / %s = %.2f  (%.1f us / %.1f us CPU)\n", a.c_str(),
                      b.c_str(), microseconds_[a] / microseconds_[b], microseconds_[a],
                      microseconds_[b]);
        GetOutputStream() << line;
    }
    std::map<std::string, double> microseconds_;
    std::set<std::string> mediansSeen_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
