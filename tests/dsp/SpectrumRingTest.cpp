#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/SpectrumRing.h"

namespace sv {
namespace {

ComplexArray Flat(float value, float bin0) {
    ComplexArray x(SpectrumBins, Complex{value, 0.0f});
    x[0] = {bin0, 0.0f};
    return x;
}

TEST(SpectrumRingTest, RingWrapsAndKeepsMagnitudes) {
    SpectrumRing ring(2);
    EXPECT_EQ(ring.SlotCount(), 2);
    EXPECT_EQ(ring.MeanLevel(), 0.0f);
    ComplexArray x(SpectrumBins, Complex{3.0f, -4.0f});
    ring.AddSpectrum(x.data());
    BinSpectrum max{};
    ring.MaxSpectrum(max);
    EXPECT_EQ(max[77], 5.0f);
    EXPECT_EQ(ring.MeanLevel(), 2.5f);  // the empty slot counts as zeros
    ring.AddSpectrum(Flat(1.0f, 9.0f).data());
    ring.AddSpectrum(Flat(2.0f, -7.0f).data());  // replaces the 5s
    ring.MaxSpectrum(max);
    EXPECT_EQ(max[0], 9.0f);
    EXPECT_EQ(max[5], 2.0f);
    EXPECT_EQ(max[SpectrumBins - 1], 2.0f);
    ring.MaxSpectrumOfRecent(1, 1, max);  // the older one alone
    EXPECT_EQ(max[0], 9.0f);
    EXPECT_EQ(max[5], 1.0f);
    ring.MaxSpectrumOfRecent(1, 0, max);
    EXPECT_EQ(max[0], 7.0f);
    // (7 + 2 x 16383) + (9 + 16383), all exact in single precision.
    EXPECT_EQ(ring.MeanLevel(), 49165.0f / 32768.0f);
}

TEST(SpectrumRingTest, MeanLevelSumsInSinglePrecisionInSlotOrder) {
    // Slot 0 holds ones, slot 1 a large bin 0 followed by ones that vanish below its last bit.
    SpectrumRing ring(2);
    ring.AddSpectrum(Flat(1.0f, 1.0f).data());
    ring.AddSpectrum(Flat(1.0f, 33554432.0f).data());
    ring.AddSpectrum(Flat(1.0f, 1.0f).data());  // overwrites slot 0; the oldest is now slot 1
    // 16384 ones, then 2^25 exactly, then nothing: a wider sum or another order differs.
    EXPECT_EQ(ring.MeanLevel(), 1024.5f);
}

ComplexArray RandomSpectrum(std::mt19937& rng) {
    // Magnitudes over many orders, so that single-precision sums round differently when their
    // order changes.
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-20, 30);
    ComplexArray x(SpectrumBins);
    for (auto& z : x) {
        const float scale = std::ldexp(1.0f, exponent(rng));
        z = {mantissa(rng) * scale, mantissa(rng) * scale};
    }
    return x;
}

TEST(SpectrumRingRunningSum, EqualsTheSumOfARingFilledAfresh) {
    std::mt19937 rng(11);
    for (const int slots : {1, 2, 5}) {
        SpectrumRing ring(static_cast<std::uint16_t>(slots));
        std::vector<ComplexArray> latest(static_cast<std::size_t>(slots),
                                         ComplexArray(SpectrumBins, Complex{0.0f, 0.0f}));
        for (int added = 0; added < 4 * slots + 3; ++added) {
            latest[static_cast<std::size_t>(added % slots)] = RandomSpectrum(rng);
            ring.AddSpectrum(latest[static_cast<std::size_t>(added % slots)].data());
            // Not every add is followed by a level: the kept sums must survive several writes.
            if (added % 3 == 1) continue;
            SpectrumRing fresh(static_cast<std::uint16_t>(slots));
            for (const auto& x : latest) fresh.AddSpectrum(x.data());
            ASSERT_EQ(ring.MeanLevel(), fresh.MeanLevel()) << slots << " slots, add " << added;
            ASSERT_EQ(ring.MeanLevel(), fresh.MeanLevel()) << "asked twice";
        }
    }
}

TEST(SpectrumRingLevelBelow, AnswersAsTheExactLevelDoesForBoundsAroundIt) {
    std::mt19937 rng(23);
    // Bounds relative to the exact level: equal, one step either side, and a little and much
    // more or less; also none yet, zero, infinity and NaN.
    auto bounds = [](float level) {
        return std::vector<float>{level,
                                  std::nextafter(level, 0.0f),
                                  std::nextafter(level, 1e38f),
                                  level * 1.0002f,
                                  level * 1.001f,
                                  level * 0.999f,
                                  level * 1.02f,
                                  level * 0.98f,
                                  level * 4.0f,
                                  level / 4.0f,
                                  1e38f,
                                  0.0f,
                                  std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::quiet_NaN()};
    };
    for (const int slots : {1, 3, 5}) {
        SpectrumRing ring(static_cast<std::uint16_t>(slots));
        std::vector<ComplexArray> latest(static_cast<std::size_t>(slots),
                                         ComplexArray(SpectrumBins, Complex{0.0f, 0.0f}));
        for (int added = 0; added < 3 * slots + 2; ++added) {
            ComplexArray& x = latest[static_cast<std::size_t>(added % slots)];
            x = RandomSpectrum(rng);
            if (added % 4 == 2) {
                // A loud bin first and many that vanish below its last bit: the single-precision
                // sum lies far below the true one.
                for (auto& z : x) z = {1.0f, 0.0f};
                x[0] = {33554432.0f, 0.0f};
            }
            ring.AddSpectrum(x.data());
            if (added % 3 == 1) continue;  // the kept sums must survive several writes
            SpectrumRing fresh(static_cast<std::uint16_t>(slots));
            for (const auto& y : latest) fresh.AddSpectrum(y.data());
            const float level = fresh.MeanLevel();
            for (const float bound : bounds(level)) {
                const std::optional<float> below = ring.LevelBelow(bound);
                ASSERT_EQ(below.has_value(), bound > level)
                    << slots << " slots, add " << added << ", bound " << bound;
                if (below) {
                    ASSERT_EQ(*below, level);
                }
            }
            ASSERT_EQ(ring.MeanLevel(), level) << "after the estimates";
        }
    }
}

}  // namespace
}  // namespace sv
