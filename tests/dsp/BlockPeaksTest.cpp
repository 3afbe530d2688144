#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "dsp/BlockPeaks.h"
#include "dsp/Engine.h"
#include "dsp/LargestMagnitude.h"
#include "support/EngineFixture.h"
#include "text/Language.h"

namespace sv {
namespace {

std::vector<std::int32_t> Values(std::int64_t count) {
    std::vector<std::int32_t> v(static_cast<std::size_t>(count));
    for (std::int64_t d = 0; d < count; ++d)
        v[d] = static_cast<std::int32_t>(30000 * std::sin(d * 0.7) * std::sin(d * 0.0031));
    v[0] = INT32_MIN;  // its magnitude fits the peak
    return v;
}

TEST(BlockPeaks, PiecesOfAnySizeGiveTheLargestMagnitudeOfEachBlock) {
    struct Case {
        std::int64_t values, block, piece;
    };
    for (const Case c : {Case{5000, 512, 1}, Case{5000, 512, 7}, Case{5120, 512, 512},
                         Case{5000, 512, 3 * 512 + 5}, Case{301, 1, 4}, Case{100, 512, 100}}) {
        const auto v = Values(c.values);
        BlockPeaks peaks(c.values, c.block);
        for (std::int64_t d = 0; d < c.values; d += c.piece)
            peaks.Take(v.data() + d, d, std::min(c.piece, c.values - d));
        std::vector<std::int64_t> expected(static_cast<std::size_t>(c.values / c.block + 1), 0);
        for (std::int64_t d = 0; d < c.values; ++d)
            expected[d / c.block] = std::max<std::int64_t>(expected[d / c.block], std::llabs(v[d]));
        EXPECT_EQ(peaks.Peaks(), expected) << c.values << " " << c.block << " " << c.piece;
    }
}

TEST(ChannelPeaks, EveryChannelCountAndStartGivesEachChannelsLargestMagnitude) {
    struct Case {
        int channels;
        std::int64_t first, count;
    };
    // Channel counts that divide the vector lanes and some that do not; starts inside a frame;
    // counts with a tail.
    for (const Case c :
         {Case{1, 0, 5000}, Case{2, 0, 5000}, Case{2, 7, 4999}, Case{2, 1, 3}, Case{4, 6, 1029},
          Case{8, 3, 77}, Case{3, 4, 1000}, Case{6, 5, 61}, Case{7, 0, 9}, Case{2, 0, 0}}) {
        auto v = Values(c.count + 1);
        v.erase(v.begin());  // INT32_MIN goes to a value other than the first
        if (c.count > 10) v[static_cast<std::size_t>(c.count - 3)] = INT32_MIN;
        std::vector<std::int64_t> peaks(static_cast<std::size_t>(c.channels), 0);
        peaks[0] = 17;  // raised, never lowered
        auto expected = peaks;
        for (std::int64_t i = 0; i < c.count; ++i) {
            auto& peak = expected[static_cast<std::size_t>((c.first + i) % c.channels)];
            peak = std::max<std::int64_t>(peak, std::llabs(static_cast<std::int64_t>(v[i])));
        }
        TakeChannelPeaks(peaks, v.data(), c.first, c.count);
        EXPECT_EQ(peaks, expected)
            << c.channels << " channels from " << c.first << ", " << c.count << " values";
    }
}

struct KnownBlockPeaksTest : test::EngineFixture {
    static constexpr std::int64_t Block = 1024;
    std::unique_ptr<Wave> Make() {
        return test::MakeDocument(env, 2, 44100, 40000, [](std::int64_t f, int c) {
            return static_cast<std::int32_t>(2e6 * std::sin(f * 0.01 * (c + 1)) +
                                             (f % 3001 == 5 ? 5e6 : 0));
        });
    }
    static std::vector<std::int32_t> Document(Wave& wave) {
        std::vector<std::int32_t> v(static_cast<std::size_t>(wave.FrameCount() * wave.Channels()));
        wave.ReadRaw(v.data(), MarginFrames * wave.Channels(), static_cast<std::int64_t>(v.size()));
        return v;
    }
    // Block peaks of of's shape, as if gathered from it: wave's values (or all 0).
    static void Plant(ChainContext& context, Wave& of, Wave& wave, std::int64_t block,
                      bool zero = false) {
        auto v = Document(wave);
        if (zero) std::fill(v.begin(), v.end(), 0);
        context.GatherBlockPeaks(of, block).Take(v.data(), 0, static_cast<std::int64_t>(v.size()));
        context.KeepBlockPeaksOf(of);
    }
};

TEST_F(KnownBlockPeaksTest, GatheredPeaksOfTheDocumentGiveTheMeasuredResult) {
    auto measured = Make();
    ASSERT_EQ(engine->FitPeaks(measured, 5, Block), WalkResult::Completed);
    const auto windows = script;
    const auto expected = Document(*measured);
    ASSERT_NE(expected, Document(*Make()));

    auto wave = Make();
    ChainContext known;
    Plant(known, *wave, *wave, Block);
    script = {};
    ASSERT_EQ(engine->FitPeaks(wave, 5, Block, known), WalkResult::Completed);
    EXPECT_EQ(Document(*wave), expected);
    EXPECT_EQ(script.captions, windows.captions);
    EXPECT_EQ(script.totals, windows.totals);
}

// Levelling's output values reach the store in hops, channel by channel and on two threads;
// the block peaks it gathers must be those measured from the document it made, per channel
// too, also where a block ends inside a frame (three channels) or the document inside a hop.
TEST_F(KnownBlockPeaksTest, LevellingGathersTheBlockPeaksOfItsOutputOnOneOrTwoThreads) {
    BinSpectrum gains{};
    for (int k = 0; k < SpectrumBins; ++k) gains[k] = 0.5f + 0.001f * static_cast<float>(k % 900);
    for (const int channels : {1, 2, 3})
        for (const std::int64_t block : {std::int64_t{512}, std::int64_t{4096}})
            for (const bool threads : {false, true}) {
                SCOPED_TRACE(std::to_string(channels) + " channels, blocks of " +
                             std::to_string(block) + (threads ? ", threads" : ""));
                EngineOptions options;
                options.ChannelThreads = threads;
                Engine engine(env.Ports, options);
                auto wave = test::MakeDocument(
                    env, channels, 44100, 3 * Engine::Hop + 77, [](std::int64_t f, int c) {
                        return static_cast<std::int32_t>(2e6 * std::sin(f * 0.01 * (c + 1)) +
                                                         (f % 3001 == 5 + c ? 5e6 : 0));
                    });
                ChainContext context({.PeakBlockSize = block});
                ASSERT_EQ(engine.ApplyGainCurves(wave, gains, gains, context),
                          WalkResult::Completed);
                const BlockPeaks* written = context.BlockPeaksOf(*wave, block);
                ASSERT_NE(written, nullptr);
                const auto v = Document(*wave);
                BlockPeaks measured(static_cast<std::int64_t>(v.size()), block, channels);
                measured.Take(v.data(), 0, static_cast<std::int64_t>(v.size()));
                EXPECT_EQ(written->Peaks(), measured.Peaks());
                for (int c = 0; c < channels; ++c)
                    EXPECT_EQ(written->ChannelPeaks(c), measured.ChannelPeaks(c)) << c;
            }
}

TEST_F(KnownBlockPeaksTest, OnlyPeaksOfThisDocumentAndBlockSizeAreTrusted) {
    auto measured = Make();
    ASSERT_EQ(engine->FitPeaks(measured, 5, Block), WalkResult::Completed);
    const auto expected = Document(*measured);
    // Claimed peaks of 0 make the fitting keep a copy, so peaks it trusts show in the result.
    auto other = Make();
    struct Case {
        const char* name;
        bool ofOther;
        std::int64_t block;
        bool fastPaths;
        bool trusted;
    };
    for (const Case c : {Case{"another document", true, Block, true, false},
                         Case{"another block size", false, 2 * Block, true, false},
                         Case{"straightforward path", false, Block, false, false},
                         Case{"this document", false, Block, true, true}}) {
        auto wave = Make();
        const auto before = Document(*wave);
        ChainContext known;
        Plant(known, c.ofOther ? *other : *wave, *wave, c.block, true);
        EngineOptions options;
        options.FastPaths = c.fastPaths;
        Engine engine(env.Ports, options);
        ASSERT_EQ(engine.FitPeaks(wave, 5, Block, known), WalkResult::Completed);
        EXPECT_EQ(Document(*wave), c.trusted ? before : expected) << c.name;
    }
}

}  // namespace
}  // namespace sv
