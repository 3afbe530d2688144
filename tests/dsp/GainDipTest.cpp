#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "dsp/FFTRadix4.h"
#include "dsp/GainDip.h"

namespace sv {
namespace {

// The vector dip gives the bits of the one-by-one loop on both widths: partial vectors,
// unaligned starts, the extreme values and exact halves (shape 1, depth 0.5, odd values).
TEST(GainDip, GivesTheBitsOfTheOneByOneLoopOnBothWidths) {
    struct RestoreWide {
        ~RestoreWide() { fftkernel::UseWideVectors(true); }
    } restore;
    std::mt19937 rng(29);
    std::uniform_int_distribution<std::int32_t> value(std::numeric_limits<std::int32_t>::min());
    std::uniform_real_distribution<double> shape(0.0, 1.0);
    for (const bool wide : {false, true}) {
        fftkernel::UseWideVectors(wide);
        for (const auto [count, at, depth] : {std::tuple{1, 1, 0.9},
                                              {3, 2, 0.5},
                                              {4, 0, 0.01},
                                              {13, 3, 0.999},
                                              {8193, 1, 1e-9},
                                              {27, 1, 0.5}}) {
            const bool halves = count == 27;
            std::vector<std::int32_t> v(static_cast<std::size_t>(count + at + 1));
            std::vector<double> s(v.size());
            for (std::size_t i = 0; i < v.size(); ++i) {
                v[i] = halves ? value(rng) | 1 : value(rng);
                s[i] = halves ? 1.0 : shape(rng);
            }
            v[at] = std::numeric_limits<std::int32_t>::min();
            v[at + count - 1] = std::numeric_limits<std::int32_t>::max();
            auto dipped = v, expected = v;
            gaindip::Dip(dipped.data() + at, s.data() + at, count, depth);
            gaindip::DipOneByOne(expected.data() + at, s.data() + at, count, depth);
            EXPECT_EQ(dipped, expected) << count << " values, wide " << wide;
            EXPECT_NE(dipped, v) << "the dip changed nothing";
        }
    }
}

}  // namespace
}  // namespace sv
