#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "dsp/ChannelWorker.h"
#include "dsp/Engine.h"
#include "dsp/HopPacer.h"
#include "dsp/SpectrumRing.h"
#include "support/EngineFixture.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"

// What the engine gathers on the way must be exactly what the straightforward measurement finds.

namespace sv {
namespace {

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

TEST(ChannelWorkerThread, RunsBothSharesAndPassesOnAFailure) {
    ChannelWorker worker;
    std::vector<int> mine(1000, 0), theirs(1000, 0);
    std::thread::id other;
    for (int round = 1; round <= 200; ++round) {
        worker.RunBoth([&] { std::fill(mine.begin(), mine.end(), round); },
                       [&] {
                           std::fill(theirs.begin(), theirs.end(), -round);
                           other = std::this_thread::get_id();
                       });
        ASSERT_EQ(mine.back(), round);
        ASSERT_EQ(theirs.back(), -round);  // finished before RunBoth returned
    }
    EXPECT_NE(other, std::this_thread::get_id());
    EXPECT_THROW(worker.RunBoth([] {}, [] { throw std::runtime_error("lane failed"); }),
                 std::runtime_error);
    // A failure of the caller's share waits for the worker's before it is passed on.
    bool finished = false;
    EXPECT_THROW(worker.RunBoth([] { throw std::logic_error("mine failed"); },
                                [&] {
                                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                    finished = true;
                                }),
                 std::logic_error);
    EXPECT_TRUE(finished);
    int after = 0;
    worker.RunBoth([] {}, [&] { after = 1; });  // still serves after a failure
    EXPECT_EQ(after, 1);
}

// Two threads walk 200 hops. Thread 0 never gets more than lead hops ahead, thread 1 never
// passes it; after EndAfter(h) both have walked exactly hops 0 .. h; after a failure of either
// the other stops instead of waiting for it.
TEST(HopPacerThreads, KeepTheLeadAndEndTogether) {
    struct Case {
        std::int64_t lead, trail, endAfter, failAt;
        int failing;
    };
    constexpr std::int64_t None = -1, Hops = 200;
    for (const Case& t :
         {Case{1, 0, None, None, 0}, Case{4, 0, None, None, 0}, Case{3, 0, 0, None, 0},
          Case{2, 0, 57, None, 0}, Case{4, 0, None, 90, 1}, Case{4, 0, None, 33, 0},
          Case{1, 1, None, None, 0}, Case{8, 1, 0, None, 0}, Case{3, 1, 120, None, 0},
          Case{8, 1, None, 70, 1}}) {
        HopPacer pacer(t.lead, t.trail);
        std::atomic<std::int64_t> at[2]{-1, -1};
        std::atomic<bool> spread{true};
        std::int64_t walked[2] = {0, 0};
        auto walk = [&](int self) {
            for (std::int64_t h = 0; h < Hops; ++h) {
                if (!pacer.MayStart(self, h)) return;
                at[self].store(h);
                const std::int64_t other = at[1 - self].load();
                // Thread 1 may start hop h only once thread 0 finished h - 1 + trail.
                if (self == 0 ? h - other > t.lead + 1 : h > other + 1 - t.trail) spread = false;
                if (self == t.failing && h == t.failAt) {
                    pacer.Abandon();
                    return;
                }
                if (h % 7 == self) std::this_thread::sleep_for(std::chrono::microseconds(200));
                ++walked[self];
                const bool ends = self == 0 && h == t.endAfter;
                if (ends && t.trail == 0) {
                    pacer.EndAfter(h);
                    return;
                }
                pacer.Finished(self, h);
                if (ends) {
                    pacer.EndAfter(h);
                    return;
                }
            }
        };
        std::thread second(walk, 1);
        walk(0);
        second.join();
        EXPECT_TRUE(spread) << t.lead;
        if (t.endAfter != None) {
            EXPECT_EQ(walked[0], t.endAfter + 1);
            EXPECT_EQ(walked[1], t.endAfter + 1);
        } else if (t.failAt == None) {
            EXPECT_EQ(walked[0], Hops);
            EXPECT_EQ(walked[1], Hops);
        } else {
            EXPECT_EQ(walked[t.failing], t.failAt);
            EXPECT_LT(walked[1 - t.failing], Hops);
        }
    }
}

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
