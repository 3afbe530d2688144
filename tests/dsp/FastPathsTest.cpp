#include <gtest/gtest.h>

#include <cmath>

#include "dsp/Engine.h"
#include "support/EngineFixture.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"

// What the engine gathers on the way must be exactly what the straightforward measurement finds.

namespace sv {
namespace {

struct GatheredTest : test::EngineFixture {
    std::unique_ptr<Wave> Make(int channels, std::int64_t frames) {
        return test::MakeDocument(env, channels, 44100, frames, [](std::int64_t f, int c) {
            const double tone = 3e6 * std::sin(f * 0.01 * (c + 1));
            return static_cast<std::int32_t>(tone +
                                             test::Noise16(f, c) * (f % 9000 == 17 ? 150 : 8));
        });
    }
};

TEST_F(GatheredTest, PeakFittingLeavesTheChannelPeaksOfWhatItWrote) {
    struct Case {
        int channels;
        std::int64_t frames;
        int count;
        int block;
    };
    for (const Case& c :
         {Case{1, 100000, 5, 512}, Case{2, 77777, 10, 8192}, Case{3, 50001, 7, 1024},
          Case{2, 4096, 5, 8192}, Case{2, 12288, 1, 8192}}) {
        auto wave = Make(c.channels, c.frames);
        ChainContext context({.ChannelPeaks = true});
        ASSERT_EQ(engine->FitPeaks(wave, c.count, c.block, context), WalkResult::Completed);
        const std::vector<std::int64_t>* peaks = context.ChannelPeaksOf(*wave);
        if (c.frames * c.channels / c.block + 1 < c.count) {
            // Fewer blocks than peaks: nothing is fitted and nothing gathered.
            EXPECT_EQ(peaks, nullptr);
            continue;
        }
        ASSERT_NE(peaks, nullptr) << c.channels << " " << c.block;
        ASSERT_EQ(peaks->size(), static_cast<std::size_t>(c.channels));
        for (int ch = 0; ch < c.channels; ++ch)
            EXPECT_EQ((*peaks)[ch], engine->FindChannelPeak(*wave, ch))
                << c.channels << " channels, block " << c.block << ", channel " << ch;
    }
}

TEST_F(GatheredTest, NoiseRemovalTalliesWhatMeasurementFinds) {
    BinSpectrum profile{};
    profile.fill(2e5f);
    for (const int channels : {1, 2, 3}) {
        for (const std::int64_t frames :
             {std::int64_t{3 * Engine::Hop + 5}, std::int64_t{200000}}) {
            auto wave = Make(channels, frames);
            ChainContext context({.Tally = true});
            ASSERT_EQ(engine->RemoveNoise(wave, profile, profile, context), WalkResult::Completed);
            ASSERT_NE(context.TallyOf(*wave), nullptr);
            BinSpectrum gathered0{}, gathered1{}, walked0{}, walked1{};
            script = {};
            engine->MeasureSpectrum(*wave, gathered0, gathered1, BandLevelMode::Half, context);
            const auto shown = script;
            script = {};
            engine->MeasureSpectrum(*wave, walked0, walked1, BandLevelMode::Half);
            EXPECT_EQ(gathered0, walked0) << channels << " channels, " << frames;
            EXPECT_EQ(gathered1, walked1) << channels << " channels, " << frames;
            EXPECT_EQ(shown.captions, script.captions);
            EXPECT_EQ(shown.totals, script.totals);
            EXPECT_EQ(shown.positions.back(), script.positions.back());
        }
    }
}

TEST_F(GatheredTest, CancelledRemovalLeavesNoTally) {
    BinSpectrum profile{};
    auto wave = Make(2, 100000);
    Wave* before = wave.get();
    ChainContext context({.Tally = true});
    script.cancelAtUnit = 3;
    ASSERT_EQ(engine->RemoveNoise(wave, profile, profile, context), WalkResult::Cancelled);
    EXPECT_EQ(wave.get(), before);
    EXPECT_EQ(context.TallyOf(*wave), nullptr);
}

}  // namespace
}  // namespace sv
