#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "cli/SignalLevels.h"

namespace sv::cli {
namespace {

// The gatherer's figures equal plain 128-bit sums of squares, for extreme values, any channel
// count and values handed over in pieces that start mid-frame; 32-bit values and, shifted down,
// values below 2^24 as audio within twice full scale has.
TEST(LevelsGathererTest, FiguresAreExactForAnyChannelsAndPieces) {
    std::mt19937 random(7);
    for (const int shift : {0, 8})
        for (const int channels : {1, 2, 3, 4, 6, 8}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, shift " << shift);
            std::vector<std::int32_t> values(std::size_t(channels) * 30011);
            for (auto& v : values) v = static_cast<std::int32_t>(random());
            values[5] = INT32_MIN;
            values[9] = INT32_MAX;
            // Small values, as of 16-bit sources, and large ones with every low half.
            for (std::size_t i = 1000; i < 3000; ++i)
                values[i] = static_cast<std::int16_t>(random());
            for (std::size_t i = 3000; i < 4000; ++i)
                values[i] = static_cast<std::int32_t>(0x7fff0000u | (random() & 0xffff));
            for (auto& v : values) v >>= shift;
            std::vector<std::int64_t> peaks(std::size_t(channels), 0);
            std::vector<unsigned __int128> sums(std::size_t(channels), 0);
            for (std::size_t i = 0; i < values.size(); ++i) {
                const auto m = static_cast<std::uint64_t>(std::abs(std::int64_t{values[i]}));
                peaks[i % channels] = std::max(peaks[i % channels], std::int64_t(m));
                sums[i % channels] += m * m;
            }
            LevelsGatherer gatherer;
            for (std::size_t from = 0, size = 1; from < values.size(); from += size, size *= 3)
                gatherer.Add(channels, values.data() + from, std::int64_t(from),
                             std::int64_t(std::min(size, values.size() - from)));
            const double full = 2147483648.0;
            const auto levels = gatherer.Levels(full);
            for (std::size_t c = 0; c < std::size_t(channels); ++c) {
                EXPECT_EQ(gatherer.Peak(int(c)), peaks[c]);
                EXPECT_TRUE(gatherer.SumOfSquares(int(c)) == sums[c]);
                EXPECT_EQ(levels.PeakDbfs[c], Dbfs(double(peaks[c]), full));
                const auto mean = static_cast<long double>(sums[c]) / 30011;
                EXPECT_EQ(levels.RmsDbfs[c], Dbfs(std::sqrt(double(mean)), full));
            }
        }
}

// Long runs of the largest magnitudes in one piece: no partial sum overflows.
TEST(LevelsGathererTest, LongRunsOfTheLargestMagnitudesStayExact) {
    // Those just below 2^24 are summed the short way, the others the long way.
    for (const std::int32_t value : {INT32_MAX, INT32_MIN, -0x7fff0001, 0xffffff, -0x1000000}) {
        const std::vector<std::int32_t> values(std::size_t{1} << 20, value);
        LevelsGatherer gatherer;
        gatherer.Add(2, values.data() + 1, 1, std::int64_t(values.size() - 1));
        const auto m = static_cast<unsigned __int128>(std::abs(std::int64_t{value}));
        EXPECT_EQ(gatherer.Peak(0), std::int64_t(m));
        EXPECT_TRUE(gatherer.SumOfSquares(0) == m * m * (values.size() / 2 - 1));
        EXPECT_TRUE(gatherer.SumOfSquares(1) == m * m * (values.size() / 2));
    }
}

}  // namespace
}  // namespace sv::cli
