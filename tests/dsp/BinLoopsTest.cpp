#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "dsp/BinLoops.h"
#include "dsp/FFTRadix4.h"

// The vector loops over bins against the scalar operations they stand for, bit for bit, on
// both vector widths and with counts that leave a scalar tail.

namespace sv {
namespace {

struct RestoreWide {
    ~RestoreWide() { fftkernel::UseWideVectors(true); }
};

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// Values over many orders of magnitude, with zeros of either sign, an infinity and a NaN.
std::vector<float> Floats(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-30, 40);
    std::vector<float> v(static_cast<std::size_t>(count));
    for (auto& x : v) x = std::ldexp(mantissa(rng), exponent(rng));
    if (count > 12) {
        v[3] = 0.0f;
        v[4] = -0.0f;
        v[9] = std::numeric_limits<float>::infinity();
        v[11] = std::numeric_limits<float>::quiet_NaN();
    }
    return v;
}

std::vector<Complex> Spectrum(int count, std::uint32_t seed) {
    const auto re = Floats(count, seed), im = Floats(count, seed + 100);
    std::vector<Complex> x(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) x[k] = {re[k], im[(k * 7) % count]};
    return x;
}

std::vector<float> Magnitudes(int count, std::uint32_t seed) {
    auto v = Floats(count, seed);
    for (auto& x : v) x = std::fabs(x);
    return v;
}

bool SameBits(const std::vector<Complex>& a, const std::vector<Complex>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0;
}

TEST(BinLoops, GiveTheBitsOfTheScalarOperationsOnBothWidths) {
    RestoreWide restore;
    for (const bool wide : {false, true}) {
        fftkernel::UseWideVectors(wide);
        for (const int count : {16384, 8, 13, 3, 22}) {
            const std::uint32_t seed = static_cast<std::uint32_t>(count) + (wide ? 1 : 0);
            const auto x = Spectrum(count, seed);
            SCOPED_TRACE(testing::Message() << count << " bins, wide " << wide);

            // Thresholds partly near the magnitudes, so both sides of the comparison occur.
            auto threshold = Magnitudes(count, seed + 1);
            for (int k = 0; k < count; k += 3) threshold[k] = ComplexMath::Abs(x[k]);
            std::vector<float> floor(threshold.size());
            for (std::size_t k = 0; k < floor.size(); ++k)
                floor[k] = threshold[k] / ComplexMath::NoiseFloorScale;
            auto subtracted = x, expected = x;
            for (int k = 0; k < count; ++k)
                expected[k] = ComplexMath::SubtractNoise(x[k], threshold[k]);
            binloops::SubtractNoise(subtracted.data(), threshold.data(), floor.data(), count);
            EXPECT_TRUE(SameBits(subtracted, expected)) << "noise subtraction";

            const auto gain = Floats(count, seed + 2);
            auto scaled = x;
            for (int k = 0; k < count; ++k) expected[k] = ComplexMath::Scale(x[k], gain[k]);
            binloops::Scale(scaled.data(), gain.data(), count);
            EXPECT_TRUE(SameBits(scaled, expected)) << "gain";

            auto sums = Magnitudes(count, seed + 3), peaks = Magnitudes(count, seed + 4);
            auto m = Magnitudes(count, seed + 5);
            for (int k = 0; k < count; k += 4) m[k] = peaks[k];  // ties
            auto expectedSums = sums, expectedPeaks = peaks;
            for (int k = 0; k < count; ++k) {
                expectedSums[k] += m[k];
                expectedPeaks[k] = peaks[k] >= m[k] ? peaks[k] : m[k];
            }
            binloops::AddMagnitudes(sums.data(), peaks.data(), m.data(), count);
            EXPECT_TRUE(SameBits(sums, expectedSums)) << "sums";
            EXPECT_TRUE(SameBits(peaks, expectedPeaks)) << "peaks";

            if (count % 2 != 0) continue;
            auto mirrored = x;
            expected = x;
            for (int k = 1; k < count / 2; ++k) expected[count - k] = {x[k].Re, -x[k].Im};
            binloops::MirrorConjugates(mirrored.data(), count);
            EXPECT_TRUE(SameBits(mirrored, expected)) << "mirrored conjugates";
        }
    }
}

}  // namespace
}  // namespace sv
