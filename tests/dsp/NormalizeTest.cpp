#include <gtest/gtest.h>

#include <cmath>

#include "dsp/Engine.h"
#include "support/EngineFixture.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

struct NormalizeTest : test::EngineFixture {
    std::unique_ptr<Wave> Make(int channels, std::int64_t frames,
                               const std::function<std::int32_t(std::int64_t, int)>& value) {
        return test::MakeDocument(env, channels, 44100, frames, value);
    }
    std::vector<std::int32_t> Raw(Wave& wave) { return test::StoreValues(wave); }
    std::int64_t Peak(Wave& wave, int channel) { return engine->FindChannelPeak(wave, channel); }
};

TEST_F(NormalizeTest, HalfScaleReachesFullScaleAtZeroDecibels) {
    auto wave =
        Make(1, 40000, [](std::int64_t f, int) { return f == 777 ? -4194304 : (f % 100) * 1000; });
    ASSERT_EQ(engine->Normalize(wave, 0, false), WalkResult::Completed);
    EXPECT_EQ(Peak(*wave, 0), 8388607);
    // Every value is scaled by the same gain, rounded half to even.
    std::int32_t v = 0;
    wave->ReadRaw(&v, MarginFrames + 150, 1);
    const float gain = static_cast<float>(8388607.0L / 4194304.0L);
    EXPECT_EQ(v, static_cast<std::int32_t>(std::lrint(50000.0L * gain)));
}

TEST_F(NormalizeTest, MinusSixDecibelsGivesHalfScale) {
    auto wave = Make(1, 20000,
                     [](std::int64_t f, int) { return static_cast<std::int32_t>(f * 37 % 90001); });
    ASSERT_EQ(engine->Normalize(wave, -6, false), WalkResult::Completed);
    EXPECT_NEAR(static_cast<double>(Peak(*wave, 0)) / 8388608.0, 0.501, 0.001);
}

TEST_F(NormalizeTest, LinkedChannelsKeepTheirBalanceAndPerChannelDoesNot) {
    auto value = [](std::int64_t f, int c) {
        return static_cast<std::int32_t>((f % 2 ? -1 : 1) * (c ? 2000000 : 1000000) * (f % 7) / 6);
    };
    auto linked = Make(2, 33000, value);
    ASSERT_EQ(engine->Normalize(linked, 0, false), WalkResult::Completed);
    EXPECT_EQ(Peak(*linked, 1), 8388607);
    EXPECT_NEAR(static_cast<double>(Peak(*linked, 0)), 8388607 / 2.0, 1.0);
    auto separate = Make(2, 33000, value);
    ASSERT_EQ(engine->Normalize(separate, 0, true), WalkResult::Completed);
    EXPECT_EQ(Peak(*separate, 0), 8388607);
    EXPECT_EQ(Peak(*separate, 1), 8388607);
}

TEST_F(NormalizeTest, SilentChannelStaysSilentAndTheOtherIsNormalized) {
    for (bool perChannel : {false, true}) {
        auto wave = Make(2, 20000, [](std::int64_t f, int c) {
            return c ? 0 : static_cast<std::int32_t>(f % 500) * 100;
        });
        ASSERT_EQ(engine->Normalize(wave, 0, perChannel), WalkResult::Completed);
        EXPECT_EQ(Peak(*wave, 0), 8388607);
        EXPECT_EQ(Peak(*wave, 1), 0);
    }
}

TEST_F(NormalizeTest, WalkCoversEveryFrameIncludingAPartialLastBlock) {
    // 16384 * 2 + 1 frames: three blocks, the last holds one frame.
    auto wave = Make(1, 32769, [](std::int64_t f, int) { return f == 32768 ? 400000 : 1000; });
    ASSERT_EQ(engine->Normalize(wave, 0, false), WalkResult::Completed);
    std::int32_t last = 0;
    wave->ReadRaw(&last, MarginFrames + 32768, 1);
    EXPECT_EQ(last, 8388607);
    std::int32_t margin = 0;
    wave->ReadRaw(&margin, MarginFrames + 32769, 1);
    EXPECT_EQ(margin, 0);
    // A document of exact blocks reports one more (empty) unit.
    auto exact = Make(1, 32768, [](std::int64_t, int) { return 5; });
    script.totals.clear();
    ASSERT_EQ(engine->Normalize(exact, 0, false), WalkResult::Completed);
    EXPECT_EQ(script.totals.back(), 2);
}

TEST_F(NormalizeTest, CancelKeepsTheDocumentBitIdentical) {
    // Dispatches: peak scan SetTotal + units 1..n, then the gain pass's SetTotal + units.
    const std::int64_t frames = 16384 * 5 + 10;
    for (int dispatch : {7, 8, 10, 12}) {
        auto wave = Make(1, frames,
                         [](std::int64_t f, int) { return static_cast<std::int32_t>(f % 3000); });
        const auto before = Raw(*wave);
        Wave* original = wave.get();
        script = {};
        script.cancelAtDispatch = dispatch;
        EXPECT_EQ(engine->Normalize(wave, 0, false), WalkResult::Cancelled) << dispatch;
        EXPECT_EQ(wave.get(), original);
        EXPECT_EQ(Raw(*wave), before);
        EXPECT_EQ(dir.CountFiles(".swap"), 1);  // the output's swap file is gone
    }
    // Cancel during the peak scan is not polled.
    auto wave =
        Make(1, frames, [](std::int64_t f, int) { return static_cast<std::int32_t>(f % 3000); });
    script = {};
    script.cancelAtDispatch = 2;
    EXPECT_EQ(engine->Normalize(wave, 0, false), WalkResult::Completed);
}

}  // namespace
}  // namespace sv
