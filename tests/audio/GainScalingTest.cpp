#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/GainScaling.h"

namespace sv {
namespace {

// v * gain rounded to nearest, ties to even, wrapped to 32 bits: what every path must give.
std::int32_t Expected(std::int32_t v, float gain) {
    return static_cast<std::int32_t>(std::llrint(static_cast<long double>(v) * gain));
}

// Pairs in and out of the two-at-a-time path: ties, values at 2^29, products a double cannot
// hold exactly, products at 2^31 that wrap, the largest values, for mono, stereo and three
// channels, from either channel on.
TEST(GainScaling, ScalingInterleavedValuesGivesEachValueTimesItsChannelsGainRounded) {
    const std::vector<std::int32_t> edges = {
        0,         1,          -1,          3,          -3,          5,
        536870911, -536870911, 536870912,   -536870912, 268435456,   -268435456,
        268435457, 1082130427, -1082130437, 2147483647, -2147483647, -2147483647 - 1,
        1 << 24,   1234567};
    const std::vector<std::vector<float>> gainSets = {
        {0.5f}, {8.0f}, {1.1f}, {1.7f, 0.25f}, {0.5f, 8.0f}, {0.0f, 1.0f}, {1.5f, 0.5f, 8.0f}};
    for (const auto& gains : gainSets) {
        for (int first = 0; first < static_cast<int>(gains.size()); ++first) {
            // Every edge lands in both lanes, and the odd count leaves a remainder.
            std::vector<std::int32_t> values;
            for (std::int32_t e : edges) values.insert(values.end(), {e, e, 7, e});
            values.push_back(-7);
            std::vector<std::int32_t> scaled = values;
            ScaleInterleaved(scaled.data(), static_cast<std::int64_t>(scaled.size()), first, gains);
            for (std::size_t i = 0; i < values.size(); ++i) {
                const float gain = gains[(first + i) % gains.size()];
                ASSERT_EQ(scaled[i], Expected(values[i], gain))
                    << values[i] << " * " << gain << " at " << i << ", first channel " << first;
            }
        }
    }
}

}  // namespace
}  // namespace sv
