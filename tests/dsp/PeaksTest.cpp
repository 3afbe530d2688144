#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "dsp/Engine.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"
#include "text/Language.h"

namespace sv {
namespace {

constexpr std::int32_t T = 20000;

struct PeaksTest : ::testing::Test {
    test::TempDir dir;
    test::ProgressScript script;
    ViewPosition view;
    WaveEnvironment env = test::MakeEnv(dir.path(), nullptr, &view);
    std::unique_ptr<Engine> engine;

    void SetUp() override {
        env.Ports.progress = test::ScriptedProgressFactory(script);
        engine = std::make_unique<Engine>(env.Ports);
    }
    // A document from its raw values (interleaved, without margins).
    std::unique_ptr<Wave> Make(int channels, const std::vector<std::int32_t>& raw) {
        const auto frames = static_cast<std::int64_t>(raw.size()) / channels;
        auto wave =
            Wave::CreateEmpty(1, static_cast<std::uint16_t>(channels), 44100, 16, frames, env);
        wave->WriteRaw(raw.data(), channels * MarginFrames, static_cast<std::int64_t>(raw.size()));
        return wave;
    }
    std::vector<std::int32_t> Store(Wave& wave) {
        std::vector<std::int32_t> raw(static_cast<std::size_t>(wave.Memory().Length()));
        wave.ReadRaw(raw.data(), 0, static_cast<std::int64_t>(raw.size()));
        return raw;
    }
    // The store a document of these raw values has: silent margins around them.
    static std::vector<std::int32_t> WithMargins(int channels,
                                                 const std::vector<std::int32_t>& raw) {
        std::vector<std::int32_t> store(static_cast<std::size_t>(channels * MarginFrames), 0);
        store.insert(store.end(), raw.begin(), raw.end());
        store.resize(store.size() + static_cast<std::size_t>(channels * MarginFrames), 0);
        return store;
    }
};

// Every block of b raw values has exactly one value T at its middle; the rest is small.
std::vector<std::int32_t> BlocksAtT(std::int64_t values, std::int64_t b) {
    std::vector<std::int32_t> raw(static_cast<std::size_t>(values));
    for (std::int64_t d = 0; d < values; ++d)
        raw[d] = d % b == b / 2 ? T : static_cast<std::int32_t>(1000 + d % 37 * 13);
    return raw;
}

// The dip of a peak P at raw value c, as the fitting defines it, clipped to the document.
void ExpectedDip(std::vector<std::int32_t>& raw, std::int64_t c, std::int64_t b) {
    const double p = std::abs(raw[c]);
    const auto last = static_cast<std::int64_t>(raw.size()) - 1;
    for (std::int64_t d = std::max<std::int64_t>(c - b, 0); d <= std::min(c + b, last); ++d) {
        const double shape = (std::cos(static_cast<double>(d - c) * std::numbers::pi / b) + 1) / 2;
        raw[d] = static_cast<std::int32_t>(std::nearbyint(raw[d] * (1 - shape * (1 - T / p))));
    }
}

TEST_F(PeaksTest, IsolatedDoublePeakBecomesTWithRaisedCosineNeighbours) {
    const std::int64_t b = 512, values = 12 * b, c = 5 * b + 100;
    for (int sign : {1, -1}) {
        auto raw = BlocksAtT(values, b);
        raw[c] = sign * 2 * T;
        auto wave = Make(1, raw);
        Wave* original = wave.get();
        ASSERT_EQ(engine->FitPeaks(wave, 5, static_cast<int>(b)), WalkResult::Completed);
        EXPECT_NE(wave.get(), original);
        const auto out = Store(*wave);
        const std::int64_t first = MarginFrames;
        EXPECT_EQ(out[first + c], sign * T);
        for (std::int64_t d = 0; d < values; ++d) {
            const std::int64_t dist = std::abs(d - c);
            if (dist == 0) continue;
            if (dist > b) {
                ASSERT_EQ(out[first + d], raw[d]) << d;
                continue;
            }
            const double factor = 1 - (std::cos(dist * std::numbers::pi / b) + 1) / 4;
            ASSERT_EQ(out[first + d], std::nearbyint(raw[d] * factor)) << d;
        }
        // The peak's overview column is rebuilt from the lowered values.
        const int column = static_cast<int>(std::nearbyint(c * 1200.0 / values));
        EXPECT_EQ(wave->OverviewValue(2 * column + (sign > 0 ? 0 : 1), 0), sign * T);
    }
    EXPECT_EQ(script.captions,
              std::vector<std::string>({Texts().PeakDetectionTitle, Texts().PeakFittingTitle,
                                        Texts().PeakDetectionTitle, Texts().PeakFittingTitle}));
    EXPECT_EQ(script.totals.back(), 12);
}

TEST_F(PeaksTest, ThresholdIsTheNthLargestBlockPeakCountingTies) {
    // One spike per block, B apart, so a dip reaches the next spike with gain exactly 1.
    const std::vector<std::int32_t> spikes = {3000,  -9000, 1000,  8000, 9000, 2000,
                                              -7000, 6000,  10000, 5000, 4000, 500};
    std::vector<std::int32_t> raw(spikes.size() * 512, 0);
    for (std::size_t b = 0; b < spikes.size(); ++b) raw[b * 512 + 256] = spikes[b];
    auto wave = Make(1, raw);
    ASSERT_EQ(engine->FitPeaks(wave, 5, 512), WalkResult::Completed);
    // |peaks| in order: 10000, 9000, 9000, 8000, 7000 -> T = 7000.
    auto expected = raw;
    for (std::size_t b = 0; b < spikes.size(); ++b)
        if (std::abs(spikes[b]) > 7000) expected[b * 512 + 256] = spikes[b] > 0 ? 7000 : -7000;
    EXPECT_EQ(Store(*wave), WithMargins(1, expected));
}

TEST_F(PeaksTest, EqualBlockPeaksLeaveTheSignalUnchanged) {
    // A stereo square wave of constant amplitude; 8192 raw values make the last block empty.
    std::vector<std::int32_t> raw(8192);
    for (std::size_t d = 0; d < raw.size(); ++d) raw[d] = (d / 2) % 64 < 32 ? 300000 : -300000;
    auto wave = Make(2, raw);
    Wave* original = wave.get();
    ASSERT_EQ(engine->FitPeaks(wave, 5, 1024), WalkResult::Completed);
    EXPECT_NE(wave.get(), original);
    EXPECT_EQ(Store(*wave), WithMargins(2, raw));
    EXPECT_EQ(script.totals.back(), 8);
}

TEST_F(PeaksTest, FewerPositiveBlocksThanPeaksKeepTheCopy) {
    std::vector<std::int32_t> raw(10 * 512, 0);
    raw[100] = 5000;
    raw[3000] = -70000;
    raw[4000] = 12;
    auto wave = Make(1, raw);
    Wave* original = wave.get();
    ASSERT_EQ(engine->FitPeaks(wave, 5, 512), WalkResult::Completed);
    EXPECT_NE(wave.get(), original);
    EXPECT_EQ(Store(*wave), WithMargins(1, raw));
    EXPECT_EQ(script.captions, std::vector<std::string>{Texts().PeakDetectionTitle});
}

TEST_F(PeaksTest, DipsAtTheDocumentEdgesAreOneSided) {
    // Stereo: the dip spans raw values, i.e. both channels of b / 2 frames on either side.
    const std::int64_t b = 512, values = 16 * b;
    auto raw = BlocksAtT(values, b);
    raw[3] = 2 * T + 1234;     // frame 1, channel 1
    raw[values - 2] = -3 * T;  // last frame, channel 0
    auto wave = Make(2, raw);
    ASSERT_EQ(engine->FitPeaks(wave, 5, static_cast<int>(b)), WalkResult::Completed);
    auto expected = raw;
    ExpectedDip(expected, 3, b);
    ExpectedDip(expected, values - 2, b);
    EXPECT_EQ(expected[3], T);
    EXPECT_EQ(expected[values - 2], -T);
    EXPECT_EQ(Store(*wave), WithMargins(2, expected));
}

TEST_F(PeaksTest, LaterValuesOfABlockAreTestedAfterTheDip) {
    // Two values above T close together: the first dip lowers the second below T.
    const std::int64_t b = 512, values = 8 * b;
    auto raw = BlocksAtT(values, b);
    raw[600] = 4 * T;
    raw[610] = T + 500;
    auto wave = Make(1, raw);
    ASSERT_EQ(engine->FitPeaks(wave, 5, static_cast<int>(b)), WalkResult::Completed);
    auto expected = raw;
    ExpectedDip(expected, 600, b);
    ASSERT_LT(std::abs(expected[610]), T);
    EXPECT_EQ(Store(*wave), WithMargins(1, expected));
}

TEST_F(PeaksTest, CancelInEitherWindowKeepsTheDocumentBitIdentical) {
    // Ten full blocks and an empty one: units 0 .. 10 in each window. Dispatch 1 is the
    // detection's SetTotal, 2 .. 11 its units 1 .. 10; 12 the fitting's SetTotal, 13 .. 22 its
    // units.
    auto raw = BlocksAtT(10 * 512, 512);
    raw[2000] = 3 * T;
    struct Point {
        int dispatch;
        std::size_t windows;
    };
    for (Point point : {Point{1, 1}, {6, 1}, {11, 1}, {12, 2}, {17, 2}, {22, 2}}) {
        auto wave = Make(1, raw);
        const auto before = Store(*wave);
        Wave* original = wave.get();
        script = {};
        script.cancelAtDispatch = point.dispatch;
        EXPECT_EQ(engine->FitPeaks(wave, 5, 512), WalkResult::Cancelled) << point.dispatch;
        EXPECT_EQ(script.captions.size(), point.windows) << point.dispatch;
        EXPECT_EQ(wave.get(), original);
        EXPECT_EQ(Store(*wave), before);
        EXPECT_EQ(dir.CountFiles(".swap"), 1);
    }
}

}  // namespace
}  // namespace sv
