#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "dsp/Complex.h"
#include "dsp/FFT.h"
#include "dsp/FFTRadix4.h"

namespace sv {
namespace {

using Exact = std::complex<double>;

// Bin k of the DFT of x with sign -1 (forward) or +1, in double with exactly reduced angles.
Exact DftBin(const std::vector<Exact>& x, int k, int sign = -1) {
    const auto n = static_cast<std::int64_t>(x.size());
    Exact sum = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double angle = sign * 2 * std::numbers::pi * static_cast<double>(k * i % n) / n;
        sum += x[i] * Exact(std::cos(angle), std::sin(angle));
    }
    return sum;
}

Exact ToExact(Complex z) { return {z.Re, z.Im}; }

std::vector<std::int32_t> RandomSamples(int n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::int32_t> value(-8388608, 8388607);
    std::vector<std::int32_t> s(n);
    for (auto& v : s) v = value(rng);
    return s;
}

ComplexArray RandomSpectrum(int n, float scale, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(-scale, scale);
    ComplexArray x(n);
    for (auto& z : x) z = {value(rng), value(rng)};
    return x;
}

// Bins worth checking in a large transform: both ends, the middle, and a random spread.
std::vector<int> ProbeBins(int n) {
    std::vector<int> bins{0, 1, 2, 3, 4, 5, n / 2 - 1, n / 2, n / 2 + 1, n - 3, n - 1};
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> bin(0, n - 1);
    for (int i = 0; i < 40; ++i) bins.push_back(bin(rng));
    return bins;
}

TEST(ComplexTest, ArithmeticFollowsComplexAlgebra) {
    const Complex a{1.5f, -2.0f}, b{-0.25f, 4.0f};
    const std::complex<float> ca(1.5f, -2.0f), cb(-0.25f, 4.0f);
    for (const auto& [got, want] :
         {std::pair{ComplexMath::Add(a, b), ca + cb}, std::pair{ComplexMath::Sub(a, b), ca - cb},
          std::pair{ComplexMath::Mul(a, b), ca * cb},
          std::pair{ComplexMath::Scale(a, -3.0f), ca * -3.0f}}) {
        EXPECT_FLOAT_EQ(got.Re, want.real());
        EXPECT_FLOAT_EQ(got.Im, want.imag());
    }
    EXPECT_FLOAT_EQ(ComplexMath::Abs({3.0f, -4.0f}), 5.0f);
    EXPECT_EQ(ComplexMath::Abs({0.0f, 0.0f}), 0.0f);
}

TEST(ComplexTest, SubtractNoiseGain) {
    // Threshold 0 passes every non-zero bin unchanged and silences only exact zeros.
    const Complex z{123.5f, -7.25f};
    EXPECT_EQ(ComplexMath::SubtractNoise(z, 0.0f).Re, z.Re);
    EXPECT_EQ(ComplexMath::SubtractNoise(z, 0.0f).Im, z.Im);
    EXPECT_EQ(ComplexMath::SubtractNoise({0.0f, 0.0f}, 0.0f).Re, 0.0f);
    EXPECT_EQ(ComplexMath::SubtractNoise({0.0f, 0.0f}, 0.0f).Im, 0.0f);

    // |z| = 2t: gain 0.75 + c/2 with c = t / 2^35; a threshold of 2^33 makes c = 1/4 visible.
    const float t = 8589934592.0f;
    const Complex twice = ComplexMath::SubtractNoise({0.0f, 2 * t}, t);
    EXPECT_EQ(twice.Re, 0.0f);
    EXPECT_EQ(twice.Im, 2 * t * 0.875f);
    const float small = 1000.0f;
    const float c = small / 34359738368.0f;
    EXPECT_FLOAT_EQ(ComplexMath::SubtractNoise({2 * small, 0.0f}, small).Re,
                    2 * small * (0.75f + c / 2));

    // At or below the threshold the bin is silenced; just above it the gain is small.
    for (const float m : {1000.0f, 999.0f, 0.5f}) {
        const Complex r = ComplexMath::SubtractNoise({m, 0.0f}, 1000.0f);
        EXPECT_EQ(r.Re, 0.0f) << m;
        EXPECT_EQ(r.Im, 0.0f) << m;
    }
    const Complex near = ComplexMath::SubtractNoise({0.0f, 1001.0f}, 1000.0f);
    EXPECT_GT(near.Im, 0.0f);
    EXPECT_LT(near.Im, 1001.0f * 0.003f);
}

TEST(FFTTest, BitCountAndBinFrequency) {
    EXPECT_EQ(FFT::BitCount(16384), 15);
    EXPECT_EQ(FFT::BitCount(1), 1);
    EXPECT_EQ(FFT::BitCount(0), 0);
    EXPECT_EQ(FFT::BitCount(0xFFFFFFFFu), 32);

    for (const double rate : {44100.0, 48000.0, 8000.0}) {
        EXPECT_EQ(BinFrequency(0, rate), 0.0f);
        EXPECT_EQ(BinFrequency(8192, rate), static_cast<float>(rate / 2));
        EXPECT_FLOAT_EQ(BinFrequency(1, rate), static_cast<float>(rate / 16384));
        for (const int k : {1, 100, 4097, 8191})
            EXPECT_EQ(BinFrequency(16384 - k, rate), BinFrequency(k, rate)) << k;
    }
}

TEST(FFTTest, WindowsMultiplyToHannAndVanishAtTheEnds) {
    const FFT fft(16384);
    const auto& analysis = fft.AnalysisWindow();
    const auto& synthesis = fft.SynthesisWindow();
    ASSERT_EQ(analysis.size(), 16384u);
    ASSERT_EQ(synthesis.size(), 16384u);
    EXPECT_EQ(analysis.front(), 0.0);
    EXPECT_EQ(analysis.back(), 0.0);
    EXPECT_EQ(synthesis.front(), 0.0);
    EXPECT_EQ(synthesis.back(), 0.0);
    const double d = 16383;
    for (int i = 1; i < 16383; ++i) {
        const double hann = (1 - std::cos(2 * std::numbers::pi * i / d)) / 2;
        ASSERT_NEAR(analysis[i] * synthesis[i], hann, 1e-15) << i;
        ASSERT_EQ(analysis[i], analysis[16383 - i]) << i;
    }
}

TEST(FFTTest, TransformMatchesDoublePrecisionDft) {
    // Every size the kernel treats differently: odd and even powers of two up to the full block.
    for (const int n : {16, 32, 64, 128, 512, 2048, 16384}) {
        FFT fft(n);
        ComplexArray x = RandomSpectrum(n, 1.0f, n);
        std::vector<Exact> in;
        for (const Complex z : x) in.push_back(ToExact(z));
        fft.Transform(x.data());
        std::vector<int> bins;
        if (n <= 2048)
            for (int k = 0; k < n; ++k) bins.push_back(k);
        else
            bins = ProbeBins(n);
        double worst = 0, largest = 0;
        for (const int k : bins) {
            const Exact want = DftBin(in, k);
            worst = std::max(worst, std::abs(ToExact(x[k]) - want));
            largest = std::max(largest, std::abs(want));
        }
        EXPECT_LE(worst, 2e-6 * largest) << "size " << n;
    }
}

TEST(FFTTest, ForwardIsTheDftOfTheWindowedBlock) {
    for (const int n : {16, 32, 256, 16384}) {
        FFT fft(n);
        const auto s = RandomSamples(n, 100 + n);
        ComplexArray x(n);
        fft.Forward(s.data(), x.data());

        std::vector<Exact> windowed(n);
        for (int i = 0; i < n; ++i)
            windowed[i] = static_cast<float>(s[i] * fft.AnalysisWindow()[i]);
        std::vector<int> bins;
        if (n < 16384)
            for (int k = 0; k < n; ++k) bins.push_back(k);
        else
            bins = ProbeBins(n);
        double worst = 0, largest = 0;
        for (const int k : bins) {
            const Exact want = DftBin(windowed, k);
            worst = std::max(worst, std::abs(ToExact(x[k]) - want));
            largest = std::max(largest, std::abs(want));
        }
        EXPECT_LE(worst, 2e-6 * largest) << "size " << n;

        // The upper half is the exact mirror; DC and the middle bin are real.
        EXPECT_EQ(x[0].Im, 0.0f);
        EXPECT_EQ(x[n / 2].Im, 0.0f);
        for (int k = 1; k < n / 2; ++k) {
            ASSERT_EQ(x[n - k].Re, x[k].Re) << k;
            ASSERT_EQ(x[n - k].Im, -x[k].Im) << k;
        }
    }
}

TEST(FFTTest, InverseTakesTheRealPartOfAnySpectrum) {
    // A spectrum with no symmetry at all, as the per-bin work may leave it.
    for (const int n : {16, 64, 1024, 16384}) {
        FFT fft(n);
        ComplexArray x = RandomSpectrum(n, 3e5f, 200 + n);
        std::vector<Exact> conjugated;
        for (const Complex z : x) conjugated.push_back(std::conj(ToExact(z)));
        std::vector<std::int32_t> s(n);
        fft.Inverse(x.data(), s.data());

        std::vector<int> samples;
        if (n <= 1024)
            for (int i = 0; i < n; ++i) samples.push_back(i);
        else
            samples = ProbeBins(n);
        std::vector<double> want;
        double largest = 0;
        for (const int i : samples) {
            want.push_back(fft.SynthesisWindow()[i] * DftBin(conjugated, i).real() / n);
            largest = std::max(largest, std::abs(want.back()));
        }
        for (std::size_t j = 0; j < samples.size(); ++j)
            ASSERT_NEAR(s[samples[j]], want[j], 2e-6 * largest + 1) << "size " << n;
        EXPECT_EQ(s[0], 0);
    }
}

TEST(FFTTest, InverseSaturatesOutOfRangeValues) {
    // Sizes for both kernels where the CPU has the wide one; NaN lands on INT32_MIN everywhere,
    // also where the window is 0.
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    for (const int n : {16, 1024}) {
        FFT fft(n);
        for (const float dc : {1e20f, -1e20f, std::numeric_limits<float>::quiet_NaN()}) {
            ComplexArray x(n, Complex{0.0f, 0.0f});
            x[0] = {dc, 0.0f};
            std::vector<std::int32_t> s(n);
            fft.Inverse(x.data(), s.data());
            const bool nan = std::isnan(dc);
            EXPECT_EQ(s[0], nan ? lowest : 0) << n;  // the window is 0 there
            for (int i = 1; i < n - 1; ++i)
                ASSERT_EQ(s[i], nan || dc < 0 ? lowest : highest) << n << " " << dc << " " << i;
        }
    }
}

TEST(FFTTest, RoundTripWeightsByHannAndHalfOffsetBlocksRestoreTheInput) {
    constexpr int n = 16384;
    FFT fft(n);
    const auto signal = RandomSamples(n + n / 2, 300);
    ComplexArray x(n);
    std::vector<std::int32_t> first(n), second(n);
    fft.Forward(signal.data(), x.data());
    fft.Inverse(x.data(), first.data());
    fft.Forward(signal.data() + n / 2, x.data());
    fft.Inverse(x.data(), second.data());

    const double peak = 8388608;
    for (int i = 0; i < n; ++i) {
        const double hann = fft.AnalysisWindow()[i] * fft.SynthesisWindow()[i];
        ASSERT_NEAR(first[i], signal[i] * hann, 2e-6 * peak + 1) << i;
    }
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(second[0], 0);
    for (int i = n / 2; i < n; ++i) {
        const double sum = static_cast<double>(first[i]) + second[i - n / 2];
        ASSERT_NEAR(sum, signal[i], 1e-4 * std::abs(signal[i]) + 4e-6 * peak + 2) << i;
    }
}

TEST(FFTTest, EndSamplesContributeNothing) {
    FFT fft(16384);
    std::vector<std::int32_t> s(16384, 0);
    s.front() = 8388607;
    s.back() = -8388608;
    ComplexArray x(16384);
    fft.Forward(s.data(), x.data());
    std::vector<std::int32_t> out(16384, 1);
    fft.Inverse(x.data(), out.data());
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int32_t v) { return v == 0; }));
}

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// Makes the FFTs made after it use kernels of at most `lanes` lanes, and every width again
// when it ends.
struct WidestLanes {
    explicit WidestLanes(int lanes) {
        fftkernel::UseWideVectors(lanes >= 8);
        fftkernel::UseWidestVectors(lanes >= 16);
    }
    ~WidestLanes() {
        fftkernel::UseWideVectors(true);
        fftkernel::UseWidestVectors(true);
    }
};

// The widths this CPU runs, narrowest first.
std::vector<int> UsableLanes() {
    std::vector<int> lanes{4};
    if (fftkernel::CpuHasWideVectors()) lanes.push_back(8);
    if (fftkernel::CpuHasWideVectors() && fftkernel::CpuHasWidestVectors()) lanes.push_back(16);
    return lanes;
}

FFT WithLanes(int lanes, int n) {
    const WidestLanes only(lanes);
    return FFT(n);
}

TEST(FFTTest, EveryVectorWidthGivesTheSameBits) {
    if (UsableLanes().size() < 2) GTEST_SKIP() << "this CPU has no AVX2";

    // Sample blocks: 24-bit, near full scale, and silence.
    const std::vector<std::function<std::vector<std::int32_t>(int, std::uint32_t)>> blocks{
        RandomSamples,
        [](int n, std::uint32_t seed) {
            std::mt19937 rng(seed);
            std::uniform_int_distribution<std::int32_t> any(
                std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
            std::vector<std::int32_t> s(n);
            for (auto& v : s) v = any(rng);
            s[n / 3] = std::numeric_limits<std::int32_t>::min();
            s[n / 2 + 1] = std::numeric_limits<std::int32_t>::max();
            return s;
        },
        [](int n, std::uint32_t) { return std::vector<std::int32_t>(n, 0); }};
    // Spectra without symmetry: moderate, beyond the int32 range after the inverse, zeros of
    // either sign and an infinity (a rotation by 1 + 0i would change the sign of some zero sums
    // and turn infinities into NaN).
    const std::vector<std::function<ComplexArray(int, std::uint32_t)>> spectra{
        [](int n, std::uint32_t seed) { return RandomSpectrum(n, 3e5f, seed); },
        [](int n, std::uint32_t seed) { return RandomSpectrum(n, 1e13f, seed); },
        [](int n, std::uint32_t seed) {
            std::mt19937 rng(seed);
            ComplexArray x(n);
            for (auto& z : x) z = {rng() % 2 ? -0.0f : 0.0f, rng() % 2 ? -0.0f : 0.0f};
            return x;
        },
        [](int n, std::uint32_t seed) {
            ComplexArray x = RandomSpectrum(n, 1.0f, seed);
            x[seed % n].Im = std::numeric_limits<float>::infinity();
            return x;
        }};

    for (const int lanes : UsableLanes()) {
        if (lanes == 4) continue;
        for (int n = 16; n <= 16384; n *= 2) {
            FFT narrow = WithLanes(4, n);
            FFT wide = WithLanes(lanes, n);
            for (std::uint32_t seed = 1; seed <= 2; ++seed) {
                for (std::size_t kind = 0; kind < blocks.size(); ++kind) {
                    const auto samples = blocks[kind](n, seed + n);
                    ComplexArray a(n), b(n);
                    narrow.Forward(samples.data(), a.data());
                    wide.Forward(samples.data(), b.data());
                    ASSERT_TRUE(SameBits(a, b))
                        << lanes << " lanes, Forward, size " << n << ", block kind " << kind;
                }
                for (std::size_t kind = 0; kind < spectra.size(); ++kind) {
                    const ComplexArray x = spectra[kind](n, seed + n);
                    std::vector<std::int32_t> a(n), b(n);
                    narrow.Inverse(x.data(), a.data());
                    wide.Inverse(x.data(), b.data());
                    ASSERT_TRUE(SameBits(a, b))
                        << lanes << " lanes, Inverse, size " << n << ", spectrum kind " << kind;
                    ComplexArray ta = x, tb = x;
                    narrow.Transform(ta.data());
                    wide.Transform(tb.data());
                    ASSERT_TRUE(SameBits(ta, tb))
                        << lanes << " lanes, Transform, size " << n << ", kind " << kind;
                }
            }
        }
    }
}

TEST(FFTTest, ForwardMagnitudesAndLowerHalfAgreeWithForwardOnEveryWidth) {
    const std::vector<std::function<std::vector<std::int32_t>(int, std::uint32_t)>> blocks{
        RandomSamples,
        [](int n, std::uint32_t) {  // full scale of either sign, so that both ends round
            std::vector<std::int32_t> s(n);
            for (int i = 0; i < n; ++i)
                s[i] = i % 3 == 0 ? std::numeric_limits<std::int32_t>::min()
                                  : std::numeric_limits<std::int32_t>::max() - i;
            return s;
        },
        [](int n, std::uint32_t) { return std::vector<std::int32_t>(n, 0); }};
    for (const int lanes : UsableLanes()) {
        for (int n = 16; n <= 16384; n *= 4) {
            FFT fft = WithLanes(lanes, n);
            for (std::size_t kind = 0; kind < blocks.size(); ++kind) {
                const auto samples = blocks[kind](n, 5 + n);
                ComplexArray x(n);
                fft.Forward(samples.data(), x.data());
                std::vector<float> expected(n), m(n, -1.0f);
                for (int k = 0; k < n; ++k) expected[k] = ComplexMath::Abs(x[k]);
                fft.ForwardMagnitudes(samples.data(), m.data());
                ASSERT_TRUE(SameBits(m, expected))
                    << "size " << n << ", block kind " << kind << ", " << lanes << " lanes";
                // The lower half alone: the same bins, and nothing written above the middle.
                ComplexArray lower(n, Complex{7.0f, -7.0f}), kept = lower;
                fft.ForwardLowerHalf(samples.data(), lower.data());
                std::copy(x.begin(), x.begin() + n / 2 + 1, kept.begin());
                ASSERT_TRUE(SameBits(lower, kept))
                    << "lower half, size " << n << ", block kind " << kind << ", " << lanes;
                std::vector<float> lowerMagnitudes(n, -1.0f), keptMagnitudes = lowerMagnitudes;
                fft.ForwardMagnitudesLowerHalf(samples.data(), lowerMagnitudes.data());
                std::copy(m.begin(), m.begin() + n / 2 + 1, keptMagnitudes.begin());
                ASSERT_TRUE(SameBits(lowerMagnitudes, keptMagnitudes))
                    << "lower magnitudes, size " << n << ", block kind " << kind << ", " << lanes;
            }
        }
    }
}

TEST(FFTTest, RejectsSizesItCannotTransform) {
    EXPECT_THROW(FFT(1000), std::invalid_argument);
    EXPECT_THROW(FFT(8), std::invalid_argument);
}

}  // namespace
}  // namespace sv
