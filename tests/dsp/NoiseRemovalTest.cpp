#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "dsp/Engine.h"
#include "dsp/FFT.h"
#include "dsp/GainCurves.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"
#include "text/Language.h"
#include "text/StepCaptions.h"

namespace sv {
namespace {

constexpr int Hop = Engine::Hop;

struct NoiseTest : ::testing::Test {
    test::TempDir dir;
    test::ProgressScript script;
    WaveEnvironment env = test::MakeEnv(dir.path());
    std::unique_ptr<Engine> engine;
    FFT fft{Engine::BlockSize};
    BinSpectrum p0{}, p1{};

    void SetUp() override {
        env.Ports.progress = test::ScriptedProgressFactory(script);
        engine = std::make_unique<Engine>(env.Ports, EngineOptions{.Caption = StepCaption});
    }
    using Value = std::function<std::int32_t(std::int64_t, int)>;
    std::unique_ptr<Wave> Make(std::int32_t rate, int channels, std::int64_t frames,
                               const Value& value) {
        return test::MakeDocument(env, channels, rate, frames, value);
    }
    std::vector<std::int32_t> Raw(Wave& wave) { return test::StoreValues(wave); }
    // |X[k]| of transform hop h of one channel.
    BinSpectrum HopMagnitudes(Wave& wave, std::int64_t h, int channel) {
        std::vector<std::int32_t> block(Engine::BlockSize);
        ComplexArray x(Engine::BlockSize);
        wave.ReadChannel(block.data(), h * Hop, channel, Engine::BlockSize);
        fft.Forward(block.data(), x.data());
        BinSpectrum m{};
        for (int k = 0; k < SpectrumBins; ++k) m[k] = ComplexMath::Abs(x[k]);
        return m;
    }
    static BinSpectrum Max(std::initializer_list<BinSpectrum> spectra) {
        BinSpectrum m{};
        for (const auto& s : spectra)
            for (int k = 0; k < SpectrumBins; ++k) m[k] = std::max(m[k], s[k]);
        return m;
    }
    // The unmodified overlap-add of hops 0 .. F / 8192 + 1 of one channel, per store frame
    // (zeros read past the store's end, nothing added there).
    std::vector<std::int64_t> OverlapAdd(Wave& wave, int channel) {
        const std::int64_t frames = wave.FrameCount();
        const std::int64_t storeFrames = frames + 2 * MarginFrames;
        std::vector<std::int64_t> sum(static_cast<std::size_t>(storeFrames), 0);
        std::vector<std::int32_t> block(Engine::BlockSize);
        ComplexArray x(Engine::BlockSize);
        for (std::int64_t h = 0; h <= frames / Hop + 1; ++h) {
            const std::int64_t inside =
                std::min<std::int64_t>(Engine::BlockSize, storeFrames - h * Hop);
            std::fill(block.begin(), block.end(), 0);
            wave.ReadChannel(block.data(), h * Hop, channel, inside);
            fft.Forward(block.data(), x.data());
            fft.Inverse(x.data(), block.data());
            for (int i = 0; i < inside; ++i) sum[h * Hop + i] += block[i];
        }
        return sum;
    }
    std::vector<std::int32_t> Channel(Wave& wave, int channel) {
        std::vector<std::int32_t> v(static_cast<std::size_t>(wave.FrameCount() + 2 * MarginFrames));
        wave.ReadChannel(v.data(), 0, channel, static_cast<std::int64_t>(v.size()));
        return v;
    }
};

// Segment s = document frames 8192 s .. 8192 s + 8191; hop h covers segments h - 1 and h.
NoiseTest::Value Segments(std::vector<int> amplitude, int toneFrom = 1 << 30) {
    return [amplitude, toneFrom](std::int64_t f, int c) {
        const auto s = static_cast<std::size_t>(f / Hop);
        if (static_cast<int>(s) >= toneFrom)
            return static_cast<std::int32_t>(
                std::lrint(65536.0 * std::cos(2 * std::numbers::pi * 3000.0 * f / 16384.0)));
        return test::Noise16(f, c) * amplitude[s];
    };
}

TEST_F(NoiseTest, PartsSplitTheSearchAndTheRemainderIsNeverFlushed) {
    // 8192 Hz and one second: windows of one hop. Seven segments: search hops 2 .. 6.
    auto wave = Make(8192, 1, 7 * Hop, Segments({50, 2, 20, 60, 40}, 5));
    const auto hop2 = HopMagnitudes(*wave, 2, 0), hop5 = HopMagnitudes(*wave, 5, 0);
    const auto hop6 = HopMagnitudes(*wave, 6, 0);

    // One part: a single flush at the last search hop takes the quietest hop of all.
    p1.fill(9.0f);
    EXPECT_EQ(engine->DetectNoise(*wave, p0, p1, 1, 1), WalkResult::Completed);
    EXPECT_EQ(p0, hop6);
    EXPECT_EQ(p1, BinSpectrum{});  // mono: channel 1 stays cleared
    EXPECT_EQ(script.captions.back(), Texts().NoiseDetectionTitle);
    EXPECT_EQ(script.totals.back(), 7);

    // Two parts of two hops (2-3, 4-5); hop 6, the quietest, is examined but never flushed.
    engine->DetectNoise(*wave, p0, p1, 2, 1);
    EXPECT_EQ(p0, Max({hop2, hop5}));
    EXPECT_GT(hop6[3000], p0[3000]);

    // More parts than searched hops: every hop ends a part.
    engine->DetectNoise(*wave, p0, p1, 64, 1);
    EXPECT_EQ(p0, Max({hop2, HopMagnitudes(*wave, 3, 0), HopMagnitudes(*wave, 4, 0), hop5, hop6}));
}

TEST_F(NoiseTest, StereoProfilesComeFromTheWindowChannelZeroFindsQuietest) {
    const std::vector<std::vector<int>> amplitude = {{50, 50, 1, 1, 50}, {50, 1, 1, 50, 50}};
    auto wave = Make(8192, 2, 5 * Hop, [&](std::int64_t f, int c) {
        return test::Noise16(f, c) * amplitude[c][f / Hop];
    });
    engine->DetectNoise(*wave, p0, p1, 1, 1);
    EXPECT_EQ(p0, HopMagnitudes(*wave, 3, 0));
    EXPECT_EQ(p1, HopMagnitudes(*wave, 3, 1));  // not hop 2, channel 1's own quietest
}

TEST_F(NoiseTest, WindowLengthStaysWithinOneTo255Hops) {
    // 4000 Hz: less than a hop per second still examines one-hop windows.
    auto slow = Make(4000, 1, 7 * Hop, Segments({50, 2, 20, 60, 40}, 5));
    engine->DetectNoise(*slow, p0, p1, 1, 1);
    EXPECT_EQ(p0, HopMagnitudes(*slow, 6, 0));

    // 2,200,000 Hz for 9 s would be 2416 hops; 255 leaves two search hops in 258. The window
    // ending at hop 256 holds a loud tone from segment 1, the one ending at 257 a soft one.
    const std::int64_t frames = 258 * Hop;
    auto fast = Make(2200000, 1, frames, [](std::int64_t f, int) {
        const double t = 2 * std::numbers::pi * static_cast<double>(f) / 16384.0;
        if (f / Hop == 1) return static_cast<std::int32_t>(std::lrint(1e6 * std::cos(1000 * t)));
        if (f / Hop == 257) return static_cast<std::int32_t>(std::lrint(1e4 * std::cos(2000 * t)));
        return 0;
    });
    engine->DetectNoise(*fast, p0, p1, 1, 9);
    EXPECT_EQ(p0, HopMagnitudes(*fast, 257, 0));
    EXPECT_GT(p0[2000], 0.0f);
}

TEST_F(NoiseTest, ShortDocumentLeavesProfilesZeroAndRemovalOnlyOverlapAdds) {
    // 44100 Hz: five-hop windows; six hops leave nothing to search.
    auto wave = Make(44100, 2, 6 * Hop + 100,
                     [](std::int64_t f, int c) { return test::Noise16(f, c) * 20; });
    p0.fill(5.0f);
    p1.fill(5.0f);
    EXPECT_EQ(engine->DetectNoise(*wave, p0, p1, 1, 1), WalkResult::Completed);
    EXPECT_EQ(p0, BinSpectrum{});
    EXPECT_EQ(p1, BinSpectrum{});

    const auto expected0 = OverlapAdd(*wave, 0), expected1 = OverlapAdd(*wave, 1);
    const auto input0 = Channel(*wave, 0);
    Wave* original = wave.get();
    ASSERT_EQ(engine->RemoveNoise(wave, p0, p1), WalkResult::Completed);
    EXPECT_NE(wave.get(), original);
    EXPECT_EQ(script.captions.back(), Texts().NoiseRemovalTitle);
    EXPECT_EQ(script.totals.back(), 7);  // hops 0 .. 7
    const auto out0 = Channel(*wave, 0), out1 = Channel(*wave, 1);
    for (std::size_t i = 0; i < out0.size(); ++i) {
        ASSERT_EQ(out0[i], expected0[i]) << i;
        ASSERT_EQ(out1[i], expected1[i]) << i;
    }
    // The overlap-add reproduces every frame, the last ones too.
    for (std::int64_t f = 0; f < 6 * Hop + 100; f += 97)
        EXPECT_NEAR(out0[MarginFrames + f], input0[MarginFrames + f],
                    2 + std::abs(input0[MarginFrames + f]) * 1e-3);

    // Shorter than one hop: a walk of no units still runs, reporting a total of 1.
    auto tiny =
        Make(44100, 1, 5000, [](std::int64_t f, int) { return static_cast<std::int32_t>(f); });
    engine->DetectNoise(*tiny, p0, p1, 1, 1);
    EXPECT_EQ(script.totals.back(), 1);
    EXPECT_EQ(p0, BinSpectrum{});
    EXPECT_EQ(engine->RemoveNoise(tiny, p0, p1), WalkResult::Completed);
    EXPECT_EQ(script.totals.back(), 1);
}

TEST_F(NoiseTest, SmoothedRemovalLowersNoiseToAFloorKeepsAToneAndPassesWithoutAProfile) {
    // Noise throughout, a loud tone from segment 8 on: the quietest window is noise alone.
    auto wave = Make(44100, 2, 14 * Hop, [](std::int64_t f, int c) {
        const double tone = f < 8 * Hop ? 0.0 : 2e6 * std::cos(2 * std::numbers::pi * f / 15.0);
        return static_cast<std::int32_t>(std::lrint(tone)) + test::Noise16(f, c) * 2;
    });
    const auto input = Channel(*wave, 1);
    const auto pass0 = OverlapAdd(*wave, 0);
    engine->DetectNoise(*wave, p0, p1, 1, 1);
    ScaleNoiseProfile(p0, p1, 100, 2);
    p0.fill(0.0f);  // channel 0 without a profile: only the overlap-add
    ChainContext none;
    ASSERT_EQ(engine->RemoveNoiseSmoothly(wave, p0, p1, none), WalkResult::Completed);
    const auto out0 = Channel(*wave, 0), out1 = Channel(*wave, 1);
    for (std::size_t i = 0; i < out0.size(); ++i) ASSERT_EQ(out0[i], pass0[i]) << i;
    const auto level = [&](std::int64_t fromSegment, std::int64_t toSegment) {
        double in = 0.0, out = 0.0;
        for (std::int64_t f = MarginFrames + fromSegment * Hop; f < MarginFrames + toSegment * Hop;
             ++f) {
            in += double(input[f]) * input[f];
            out += double(out1[f]) * out1[f];
        }
        return std::sqrt(out / in);
    };
    EXPECT_GT(level(1, 6), 0.06);  // the floors keep a little of the noise, evenly
    EXPECT_LT(level(1, 6), 0.12);
    EXPECT_NEAR(level(10, 13), 1.0, 0.02);
}

TEST_F(NoiseTest, EachChannelLosesItsOwnProfileAndFurtherChannelsPassThrough) {
    auto wave =
        Make(44100, 3, 3 * Hop, [](std::int64_t f, int c) { return test::Noise16(f, c) * 30; });
    const auto pass0 = OverlapAdd(*wave, 0), pass2 = OverlapAdd(*wave, 2);
    p0.fill(0.0f);
    p1.fill(1e30f);  // above every bin: channel 1 is silenced
    ASSERT_EQ(engine->RemoveNoise(wave, p0, p1), WalkResult::Completed);
    const auto out0 = Channel(*wave, 0), out1 = Channel(*wave, 1), out2 = Channel(*wave, 2);
    for (std::size_t i = 0; i < out0.size(); ++i) {
        ASSERT_EQ(out0[i], pass0[i]) << i;
        ASSERT_EQ(out1[i], 0) << i;
        ASSERT_EQ(out2[i], pass2[i]) << i;
    }
}

TEST_F(NoiseTest, ScalingMultipliesThenWidensAllButTheOuterBins) {
    auto spikes = [] {
        BinSpectrum p{};
        p.fill(1.0f);
        p[0] = 100.0f;
        p[1000] = 7.0f;
        p[SpectrumBins - 1] = 50.0f;
        return p;
    };
    p0 = spikes();
    p1 = spikes();
    ScaleNoiseProfile(p0, p1, 200, 1);
    EXPECT_EQ(p0[0], 200.0f);
    EXPECT_EQ(p0[1], 2.0f);  // unwidened, although bin 0 is its neighbour
    EXPECT_EQ(p0[2], 200.0f);
    EXPECT_EQ(p0[3], 2.0f);
    for (int k = 998; k <= 1002; ++k) EXPECT_EQ(p0[k], 14.0f) << k;
    EXPECT_EQ(p0[997], 2.0f);
    EXPECT_EQ(p0[1003], 2.0f);
    EXPECT_EQ(p0[SpectrumBins - 3], 100.0f);
    EXPECT_EQ(p0[SpectrumBins - 2], 2.0f);
    EXPECT_EQ(p0[SpectrumBins - 1], 100.0f);
    EXPECT_EQ(p1, spikes());  // mono leaves channel 1 alone

    p0 = spikes();
    p1 = spikes();
    ScaleNoiseProfile(p0, p1, 37, 2);
    EXPECT_EQ(p1[1000], 7.0f * (37.0f / 100.0f));
    EXPECT_EQ(p1[1], 37.0f / 100.0f);
    EXPECT_EQ(p0, p1);

    ScaleNoiseProfile(p0, p1, 0, 2);
    EXPECT_EQ(p0, BinSpectrum{});
    EXPECT_EQ(p1, BinSpectrum{});
}

// Dispatch 1 is SetTotal; with at most 300 units every unit from 1 on dispatches once, and the
// final report once more unless the bar is already full. Cancel at a dispatch ends the walk
// after that unit, so the dispatches counted in all tell where the walk stopped.
struct CancelPoint {
    int dispatch;
    int dispatchesInAll;
};

TEST_F(NoiseTest, CancelledDetectionKeepsOnlyFlushedParts) {
    // Stereo walks each channel on a thread of its own: both must stop after the same hop, also
    // where channel 1 may run ahead of channel 0's judgements.
    for (const auto& [eitherLeads, channels] : {std::pair{false, 1}, {false, 2}, {true, 2}}) {
        engine = std::make_unique<Engine>(
            env.Ports, EngineOptions{.EitherThreadLeads = eitherLeads, .Caption = StepCaption});
        auto wave = Make(8192, channels, 7 * Hop, Segments({50, 2, 20, 60, 40}, 5));
        const auto before = Raw(*wave);
        // Search hops 2 .. 6, each polling at its bar step: cancel before hop 2, at hop 3 and at
        // hop 6.
        for (CancelPoint point : {CancelPoint{1, 3}, {3, 4}, {6, 7}}) {
            script = {};
            script.cancelAtDispatch = point.dispatch;
            EXPECT_EQ(engine->DetectNoise(*wave, p0, p1, 1, 1), WalkResult::Cancelled);
            EXPECT_EQ(script.dispatches, point.dispatchesInAll) << point.dispatch;
            // The single part ends at hop 6: only a walk that got there has a profile.
            for (int c = 0; c < channels; ++c) {
                const BinSpectrum& profile = c == 0 ? p0 : p1;
                if (point.dispatch == 6)
                    EXPECT_EQ(profile, HopMagnitudes(*wave, 6, c)) << c;
                else
                    EXPECT_EQ(profile, BinSpectrum{}) << point.dispatch << " " << c;
            }
            EXPECT_EQ(Raw(*wave), before);
        }
    }
}

TEST_F(NoiseTest, CancelledRemovalKeepsTheDocumentBitIdentical) {
    auto wave = Make(44100, 2, 6 * Hop + 10,
                     [](std::int64_t f, int c) { return test::Noise16(f, c) * 10; });
    const auto before = Raw(*wave);
    Wave* original = wave.get();
    p0.fill(1e6f);
    p1.fill(1e6f);
    // Hops 0 .. 7: cancel at hop 0, hop 3, hop 6 and the last hop.
    for (CancelPoint point : {CancelPoint{1, 2}, {4, 5}, {7, 8}, {8, 8}}) {
        script = {};
        script.cancelAtDispatch = point.dispatch;
        EXPECT_EQ(engine->RemoveNoise(wave, p0, p1), WalkResult::Cancelled);
        EXPECT_EQ(script.dispatches, point.dispatchesInAll) << point.dispatch;
        EXPECT_EQ(wave.get(), original);
        EXPECT_EQ(Raw(*wave), before);
        EXPECT_EQ(dir.CountFiles(".swap"), 1);
    }
}

}  // namespace
}  // namespace sv
