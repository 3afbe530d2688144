// The gain curves worked out from a kept long-term spectrum are those a levelling run applies,
// and every stage says how long a document it needs.
#include <gtest/gtest.h>

#include <cmath>

#include "dsp/LevellingPreview.h"
#include "dsp/RemasterChain.h"
#include "dsp/StageLength.h"
#include "support/EngineFixture.h"
#include "timbre/Timbres.h"

namespace sv {
namespace {

struct LevellingPreviewTest : test::EngineFixture {
    std::unique_ptr<Wave> Tone(int channels, std::int64_t frames) {
        return test::MakeDocument(env, channels, 44100, frames, [](std::int64_t f, int c) {
            return static_cast<std::int32_t>(
                256.0 * (3000.0 * std::sin(0.05 * f * (c + 1)) + 500.0 * std::sin(0.7 * f)));
        });
    }
};

TEST_F(LevellingPreviewTest, PreviewGivesTheGainCurvesOfALevellingRun) {
    RemasterSettings modes;
    modes.ChannelMode = ChannelMode::Half;
    modes.BandLevelMode = BandLevelMode::Peak;
    modes.Bands = 7;
    modes.Limit = 2;
    modes.HighPass = true;
    modes.LowPass = true;
    for (const int channels : {1, 2})
        for (const RemasterSettings& settings : {RemasterSettings{}, modes}) {
            SCOPED_TRACE(channels);
            auto wave = Tone(channels, 70000);
            auto spectrum = std::make_unique<LongTermSpectrum>();
            ASSERT_EQ(engine->MeasureLongTermSpectrum(*wave, *spectrum), WalkResult::Completed);
            auto spectra = std::make_unique<SharedSpectra>();
            BandsToSpectrum(BuiltInTable(BuiltInTimbre::Pop), spectra->Target);
            const auto preview = std::make_unique<LevellingPreview>(
                PreviewLevelling(*spectrum, spectra->Target, settings));
            ASSERT_EQ(RunLevelling(*engine, wave, settings, *spectra), WalkResult::Completed);
            EXPECT_EQ(preview->Gains[0], spectra->Measured[0]);
            EXPECT_EQ(preview->Gains[1], spectra->Measured[1]);
        }
}

TEST_F(LevellingPreviewTest, BandsOfAFlatCurveSpanTwelveHertzToHalfTheRate) {
    auto gains = std::make_unique<std::array<BinSpectrum, 2>>();
    (*gains)[0].fill(1.5f);
    (*gains)[1].fill(0.5f);
    const GainBands bands = BandsOfGains(*gains, 2, 48000, 60);
    ASSERT_EQ(bands.CentreHz.size(), 60u);
    EXPECT_NEAR(bands.CentreHz.front(), 12.0, 1e-9);
    EXPECT_NEAR(bands.CentreHz.back(), 24000.0, 1e-6);
    for (std::size_t i = 0; i < 60; ++i) {
        EXPECT_NEAR(bands.Db[0][i], 20 * std::log10(1.5), 1e-6);
        EXPECT_NEAR(bands.Db[1][i], 20 * std::log10(0.5), 1e-6);
    }
}

TEST_F(LevellingPreviewTest, StagesNeedTheirOwnLengthAndTheFirstTooShortIsNamed) {
    RemasterSettings s;
    s.PeakCount = 100;
    s.PeakBlockSize = 4096;
    s.NoiseSeconds = 1;
    struct Case {
        ChainStage stage;
        std::int32_t rate;
        int channels;
        std::int64_t frames;
    };
    const Case cases[] = {
        {ChainStage::RemoveNoise, 44100, 1, 7 * 8192},  // a 5-hop window and one to search
        {ChainStage::RemoveNoise, 96000, 2, 13 * 8192},
        {ChainStage::Levelling, 8000, 1, 16384},
        {ChainStage::FitPeaks, 44100, 1, 409600},
        {ChainStage::FitPeaks, 44100, 3, 136534},
        {ChainStage::Normalize, 44100, 2, 1},
        {ChainStage::NormalizeLoudness, 48000, 2, 19200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MinimumFrames(c.stage, s, c.rate, c.channels), c.frames)
            << static_cast<int>(c.stage) << " " << c.channels;

    auto wave = Tone(2, 5000);
    s.Normalize = s.FitPeaks = true;
    const auto shortfall = FirstTooShortStage(s, *wave);
    ASSERT_TRUE(shortfall);
    EXPECT_EQ(shortfall->Stage, ChainStage::FitPeaks);
    EXPECT_EQ(TooShortMessage(shortfall->MinimumFrames, wave->SampleRate()),
              "Sample is too short for this method (at least 4.644 s)");
    s.FitPeaks = false;
    EXPECT_FALSE(FirstTooShortStage(s, *wave));
}

}  // namespace
}  // namespace sv
