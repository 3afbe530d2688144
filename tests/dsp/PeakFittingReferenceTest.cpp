#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "dsp/Engine.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"
#include "view/WaveOverview.h"

// The fitting streams its values through a few blocks held in memory; here it must give what
// the plain algorithm gives when the whole document is in memory: blocks visited in order, every
// value above the threshold dipped, later values tested after earlier dips.

namespace sv {
namespace {

std::vector<std::int32_t> ReferenceFit(std::vector<std::int32_t> raw, int n, std::int64_t b) {
    const auto values = static_cast<std::int64_t>(raw.size());
    std::vector<std::int64_t> peaks(static_cast<std::size_t>(values / b + 1), 0);
    for (std::int64_t d = 0; d < values; ++d)
        peaks[d / b] = std::max<std::int64_t>(peaks[d / b], std::llabs(raw[d]));
    // n rounds of taking out the largest block peak; the last one taken is the threshold.
    std::int64_t threshold = 0;
    for (int round = 0; round < n; ++round) {
        threshold = 0;
        std::size_t at = peaks.size();
        for (std::size_t k = 0; k < peaks.size(); ++k)
            if (peaks[k] > threshold) threshold = peaks[k], at = k;
        if (at < peaks.size()) peaks[at] = -1;
    }
    if (threshold == 0) return raw;
    // The blocks are consecutive, so visiting them in order visits the values in order.
    for (std::int64_t c = 0; c < values; ++c) {
        const std::int64_t peak = std::llabs(raw[c]);
        if (peak <= threshold) continue;
        const double depth = 1.0 - static_cast<double>(threshold) / static_cast<double>(peak);
        for (std::int64_t d = std::max<std::int64_t>(c - b, 0); d <= std::min(c + b, values - 1);
             ++d) {
            const double shape = (std::cos(static_cast<double>(std::llabs(d - c)) *
                                           std::numbers::pi / static_cast<double>(b)) +
                                  1.0) /
                                 2.0;
            raw[d] = static_cast<std::int32_t>(
                std::lrint(static_cast<double>(raw[d]) * (1.0 - shape * depth)));
        }
    }
    return raw;
}

struct Case {
    std::string name;
    int channels;
    std::int64_t values;
    std::int64_t b;
    int peakCount;
    // Raw value, value: the spikes put on the background.
    std::vector<std::pair<std::int64_t, std::int32_t>> spikes;
    bool dips = true;  // false: the threshold comes out 0 and the copy stands
};

// The spikes on a background of moderate values, each block's largest at 20000, or on silence
// when no dips are expected.
std::vector<std::int32_t> Document(const Case& c) {
    std::vector<std::int32_t> raw(static_cast<std::size_t>(c.values), 0);
    for (std::int64_t d = 0; c.dips && d < c.values; ++d)
        raw[d] = d % c.b == c.b / 3 ? (d % 2 ? 20000 : -20000)
                                    : static_cast<std::int32_t>(12000 * std::sin(d * 0.37));
    for (const auto& [d, v] : c.spikes) raw[d] = v;
    return raw;
}

std::vector<Case> Cases() {
    const std::int64_t b = 512;
    std::vector<Case> cases = {
        {"mono, spikes at both ends, straddling block edges, overlapping dips",
         1,
         11 * b + 77,
         b,
         8,
         {{0, 70000},
          {3 * b, -50000},          // first value of a block: dips back into the one before
          {5 * b - 1, 90000},       // last value of a block: dips into the next one...
          {5 * b + 4, 21000},       // ...lowering this before its block is read
          {5 * b + 200, -26000},    // still above the threshold after that dip
          {7 * b + 10, 60000},      // two dips whose windows overlap, the second one still
          {7 * b + 300, -150000},   // above the threshold after the first
          {11 * b + 76, -45000}}},  // the very last value
        {"stereo, block size not dividing the document",
         2,
         16 * 1024 + 2 * 333,
         1024,
         6,
         {{1, 80000},
          {4 * 1024 - 2, -60000},
          {4 * 1024 + 1, 40000},
          {9 * 1024 + 3, 33333},
          {16 * 1024 + 665, 99999}}},
        {"stereo, last block empty",
         2,
         8 * 1024,
         1024,
         5,
         {{1024, 50000}, {2048 - 1, -50000}, {8 * 1024 - 1, 70000}}},
        {"three channels",
         3,
         3 * 4000,
         1024,
         5,
         {{2, 45000}, {3071, 80000}, {3072, -30000}, {11999, -40000}}},
        {"block size 1",
         1,
         3000,
         1,
         40,
         {{0, 90000}, {1, 85000}, {2, -80000}, {1000, 70000}, {1001, -75000}, {2999, 50000}}},
        // Blocks so long that one transfer holds only two of them.
        {"long blocks",
         1,
         7 * 40000 + 123,
         40000,
         4,
         {{40000 - 1, 90000}, {3 * 40000 + 2, -80000}, {5 * 40000 - 1, 70000}}},
    };
    // Long enough for many transfers: spikes at both ends of nine blocks in ten, so that whichever
    // block the streaming reads ahead in dips into its neighbours. The tenth blocks set the
    // threshold.
    Case edges{"spikes at the ends of many blocks", 2, 300000, 1024, 280, {}};
    for (std::int64_t k = 0; k < edges.values / edges.b; ++k) {
        if (k % 10 == 0) continue;
        const auto height = static_cast<std::int32_t>(25000 + k * 997 % 40000);
        edges.spikes.push_back({k * edges.b + k % 3, k % 2 ? height : -height});
        edges.spikes.push_back({k * edges.b + edges.b - 1 - k % 2, k % 4 ? -height : height});
    }
    cases.push_back(edges);
    // Fewer blocks with a positive peak than the peak count: nothing may be dipped.
    cases.push_back(
        {"threshold 0", 1, 20 * b, b, 5, {{100, 5000}, {3000, -70000}, {9000, 12}}, false});
    return cases;
}

TEST(PeakFittingReference, StreamingGivesTheInMemoryResult) {
    test::TempDir dir;
    test::ProgressScript script;
    ViewPosition view{37, 2};
    WaveOverview overview{view};
    WaveEnvironment env = test::MakeEnv(dir.path(), nullptr, &overview);
    env.Ports.progress = test::ScriptedProgressFactory(script);
    Engine engine(env.Ports);
    auto make = [&](const Case& c, const std::vector<std::int32_t>& raw) {
        auto wave = Wave::CreateEmpty(1, static_cast<std::uint16_t>(c.channels), 44100, 16,
                                      c.values / c.channels, env);
        wave->WriteRaw(raw.data(), c.channels * MarginFrames, c.values);
        return wave;
    };
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::vector<std::int32_t> raw = Document(c);
        const auto expected = ReferenceFit(raw, c.peakCount, c.b);
        ASSERT_EQ(expected != raw, c.dips);

        auto wave = make(c, raw);
        ChainContext gathered({.ChannelPeaks = true});
        ASSERT_EQ(engine.FitPeaks(wave, c.peakCount, static_cast<int>(c.b), gathered),
                  WalkResult::Completed);
        std::vector<std::int32_t> out(raw.size());
        wave->ReadRaw(out.data(), c.channels * MarginFrames, c.values);
        for (std::int64_t d = 0; d < c.values; ++d) ASSERT_EQ(out[d], expected[d]) << "raw " << d;

        // The overview saw every final value, and only those.
        const auto written = make(c, expected);
        for (int slot = 0; slot < 2 * WaveOverview::Columns; ++slot)
            for (int ch = 0; ch < std::min(c.channels, 2); ++ch)
                ASSERT_EQ(overview.Value(*wave, slot, ch), overview.Value(*written, slot, ch))
                    << "slot " << slot << ", channel " << ch;

        if (!c.dips) continue;
        ASSERT_NE(gathered.ChannelPeaksOf(*wave), nullptr);
        std::vector<std::int64_t> channelPeaks(static_cast<std::size_t>(c.channels), 0);
        for (std::int64_t d = 0; d < c.values; ++d)
            channelPeaks[d % c.channels] =
                std::max<std::int64_t>(channelPeaks[d % c.channels], std::llabs(expected[d]));
        EXPECT_EQ(*gathered.ChannelPeaksOf(*wave), channelPeaks);
    }
}

}  // namespace
}  // namespace sv
