#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "dsp/FFTRadix4.h"
#include "dsp/GainDip.h"

// The vector dip against the one-value-at-a-time one, bit for bit, on both widths, with counts
// and starting points that leave partial vectors, and gains that round exact halves.

namespace sv {
namespace {

TEST(GainDip, GivesTheBitsOfTheOneByOneLoopOnBothWidths) {
    struct Case {
        std::int64_t count;
        std::int64_t offset;  // first value and shape entry, unaligned
        double depth;
        bool halves;  // shape 1 and depth 0.5 over odd values: every product ends in .5
    };
    const Case cases[] = {{0, 0, 0.3, false},     {1, 1, 0.9, false},    {3, 2, 0.5, false},
                          {4, 0, 0.01, false},    {13, 3, 0.999, false}, {8193, 1, 0.42, false},
                          {8193, 0, 1e-9, false}, {27, 1, 0.5, true}};
    struct RestoreWide {
        ~RestoreWide() { fftkernel::UseWideVectors(true); }
    } restore;
    std::mt19937 rng(29);
    std::uniform_int_distribution<std::int32_t> anyValue(std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max());
    std::uniform_real_distribution<double> anyShape(0.0, 1.0);
    for (const bool wide : {false, true}) {
        fftkernel::UseWideVectors(wide);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.count << " values, wide " << wide);
            const auto size = static_cast<std::size_t>(c.count + c.offset + 1);
            std::vector<std::int32_t> values(size);
            std::vector<double> shape(size);
            for (std::size_t i = 0; i < size; ++i) {
                values[i] = c.halves ? (anyValue(rng) | 1) : anyValue(rng);
                shape[i] = c.halves ? 1.0 : anyShape(rng);
            }
            if (size > 6) {
                values[c.offset] = std::numeric_limits<std::int32_t>::min();
                values[c.offset + 1] = std::numeric_limits<std::int32_t>::max();
                shape[c.offset] = shape[c.offset + 1] = 0.0;
            }
            auto dipped = values, expected = values;
            gaindip::Dip(dipped.data() + c.offset, shape.data() + c.offset, c.count, c.depth);
            gaindip::DipOneByOne(expected.data() + c.offset, shape.data() + c.offset, c.count,
                                 c.depth);
            EXPECT_EQ(dipped, expected);
            if (c.count > 0) EXPECT_NE(dipped, values) << "the dip changed nothing";
        }
    }
}

}  // namespace
}  // namespace sv
