#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "dsp/RemasterChain.h"
#include "support/TestFiles.h"
#include "timbre/Timbres.h"

namespace sv {
namespace {

// A progress port that records the steps shown and presses Cancel as one step's window opens.
struct StepScript {
    std::vector<std::string> shown;
    std::optional<std::string> cancelAt;
};

class CancelAtStep final : public Progress {
  public:
    explicit CancelAtStep(StepScript& script) : script_(script) {}
    void SetCaption(const std::string& title) override {
        script_.shown.push_back(title);
        if (title == script_.cancelAt) RequestCancel();
    }
    void EnableCancel(bool) override {}
    void Show() override {}

  protected:
    void ShowEstimate(const std::string&) override {}
    void ShowPosition(int) override {}
    void PollCancel() override {}

  private:
    StepScript& script_;
};

std::string Name(ProcessingStep step) { return "step " + std::to_string(static_cast<int>(step)); }

struct RemasterChainTest : ::testing::Test {
    test::TempDir dir;
    StepScript script;
    WaveEnvironment env = test::MakeEnv(dir.path());
    std::unique_ptr<Engine> engine;
    SharedSpectra spectra;

    void SetUp() override {
        env.Ports.progress = [this] { return std::make_unique<CancelAtStep>(script); };
        engine = std::make_unique<Engine>(env.Ports, EngineOptions{.Caption = Name});
        BandsToSpectrum(BuiltInTable(BuiltInTimbre::Pop), spectra.Target);
    }
    std::unique_ptr<Wave> Make() {
        return test::MakeDocument(env, 2, 44100, 6 * Engine::Hop + 99, [](std::int64_t f, int c) {
            const double swell = f < 3 * Engine::BlockSize ? 0.01 : 0.4;
            return static_cast<std::int32_t>(2e6 * swell * std::sin(f * 0.02 * (c + 1)) +
                                             test::Noise16(f, c) * 4 + (f % 20011 == 9 ? 5e6 : 0));
        });
    }
    static RemasterSettings Stages(const std::vector<ChainStage>& stages) {
        RemasterSettings s;
        for (const ChainStage stage : stages) {
            s.RemoveNoise = s.RemoveNoise || stage == ChainStage::RemoveNoise;
            s.Levelling = s.Levelling || stage == ChainStage::Levelling;
            s.FitPeaks = s.FitPeaks || stage == ChainStage::FitPeaks;
            s.Normalize = s.Normalize || stage == ChainStage::Normalize;
        }
        return s;
    }
};

// A cancel ends the chain: the later stages do not start, and the document is the one the
// stages completed before the cancel made.
TEST_F(RemasterChainTest, ACancelEndsTheChainKeepingTheStagesBeforeIt) {
    using S = ChainStage;
    struct Case {
        ProcessingStep cancelAt;
        std::vector<ChainStage> completed;
        ChainStage cancelledIn;
    };
    const std::vector<ChainStage> all{S::RemoveNoise, S::Levelling, S::FitPeaks, S::Normalize};
    for (const Case& c :
         {Case{ProcessingStep::DetectingNoise, {}, S::RemoveNoise},
          Case{ProcessingStep::Levelling, {S::RemoveNoise}, S::Levelling},
          Case{ProcessingStep::MeasuringBlockPeaks, {S::RemoveNoise, S::Levelling}, S::FitPeaks},
          Case{ProcessingStep::Normalizing,
               {S::RemoveNoise, S::Levelling, S::FitPeaks},
               S::Normalize}}) {
        SCOPED_TRACE(Name(c.cancelAt));
        auto expected = Make();
        script = {};
        EXPECT_EQ(RunChain(*engine, expected, Stages(c.completed), spectra).Completed, c.completed);

        auto wave = Make();
        script = {};
        script.cancelAt = Name(c.cancelAt);
        const ChainOutcome outcome = RunChain(*engine, wave, Stages(all), spectra);
        EXPECT_EQ(outcome.Result, WalkResult::Cancelled);
        EXPECT_EQ(outcome.Completed, c.completed);
        EXPECT_EQ(outcome.CancelledIn, c.cancelledIn);
        EXPECT_EQ(outcome.Replaced, !c.completed.empty());
        EXPECT_EQ(script.shown.back(), Name(c.cancelAt));  // nothing after it started
        EXPECT_EQ(test::StoreValues(*wave), test::StoreValues(*expected));
    }
}

// Loudness normalizing is the chain's last stage and gives what normalizing the chain's result
// on its own gives; normalizing while saving then does not apply (the save comes after it).
TEST_F(RemasterChainTest, LoudnessNormalizingIsTheLastStage) {
    RemasterSettings s = Stages({ChainStage::FitPeaks, ChainStage::Normalize});
    s.Loudness = LoudnessTarget{-20.0, -1.0};
    auto wave = Make();
    const ChainOutcome outcome =
        RunChain(*engine, wave, s, spectra, {.NormalizeWhileSaving = true});
    EXPECT_EQ(outcome.Completed,
              (std::vector<ChainStage>{ChainStage::FitPeaks, ChainStage::Normalize,
                                       ChainStage::NormalizeLoudness}));
    ASSERT_TRUE(outcome.Loudness.has_value());
    EXPECT_TRUE(outcome.SaveGains.empty());

    auto expected = Make();
    RunChain(*engine, expected, Stages({ChainStage::FitPeaks, ChainStage::Normalize}), spectra);
    LoudnessGain gain;
    expected = NormalizeLoudness(*expected, -20.0, -1.0, &gain,
                                 {engine->Worded(ProcessingStep::MeasuringLoudness),
                                  engine->Worded(ProcessingStep::NormalizingLoudness)});
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(test::StoreValues(*wave), test::StoreValues(*expected));
    EXPECT_EQ(outcome.Loudness->GainDb, gain.GainDb);
}

// Figures are handed on only for the very document they were gathered from, and only once a
// stage has named it; a change in place withdraws them.
TEST_F(RemasterChainTest, TheContextHandsOnFiguresOfTheSameDocumentOnly) {
    auto wave = Make();
    auto twin = Make();  // same shape and values, another document
    ChainContext context;
    context.GatherBlockPeaks(*wave, 512);
    context.GatherTally();
    EXPECT_EQ(context.BlockPeaksOf(*wave, 512), nullptr);  // gathered, not yet kept
    EXPECT_EQ(context.TallyOf(*wave), nullptr);
    context.KeepBlockPeaksOf(*wave);
    context.KeepTallyOf(*wave);
    context.KeepChannelPeaks(*wave, {1, 2});
    EXPECT_NE(context.BlockPeaksOf(*wave, 512), nullptr);
    EXPECT_EQ(context.BlockPeaksOf(*wave, 1024), nullptr);
    EXPECT_NE(context.TallyOf(*wave), nullptr);
    EXPECT_NE(context.ChannelPeaksOf(*wave), nullptr);
    EXPECT_EQ(context.BlockPeaksOf(*twin, 512), nullptr);
    EXPECT_EQ(context.TallyOf(*twin), nullptr);
    EXPECT_EQ(context.ChannelPeaksOf(*twin), nullptr);
    context.Forget(*wave);
    EXPECT_EQ(context.BlockPeaksOf(*wave, 512), nullptr);
    EXPECT_EQ(context.TallyOf(*wave), nullptr);
    EXPECT_EQ(context.ChannelPeaksOf(*wave), nullptr);
}

// The chain hands out the long-term spectra it measured and gathered, exactly as a measurement
// finds them; handed the spectrum of its start, it makes the same document.
TEST_F(RemasterChainTest, HandsOutTheSpectraItMeasuredAndTakesOneHandedIn) {
    using S = ChainStage;
    auto measure = [&](Wave& wave) {
        auto spectrum = std::make_shared<LongTermSpectrum>();
        engine->MeasureLongTermSpectrum(wave, *spectrum);
        return spectrum;
    };
    auto same = [](const LongTermSpectrum* a, const LongTermSpectrum& b) {
        return a && a->Sums == b.Sums && a->Peaks == b.Peaks && a->Hops == b.Hops &&
               a->Channels == b.Channels && a->SampleRate == b.SampleRate;
    };
    struct Case {
        std::vector<ChainStage> stages;
        bool inputMeasured, outputGathered;
    };
    for (const Case& c :
         {Case{{S::Levelling}, true, true}, Case{{S::RemoveNoise, S::Levelling}, false, true},
          Case{{S::Levelling, S::Normalize}, true, false}, Case{{S::RemoveNoise}, false, true}}) {
        SCOPED_TRACE(c.stages.size());
        auto start = Make();
        const auto before = measure(*start);
        SharedSpectra handedOut = spectra;
        handedOut.GatherOutput = true;
        auto wave = Make();
        RunChain(*engine, wave, Stages(c.stages), handedOut);
        EXPECT_EQ(same(handedOut.Input.Spectrum.get(), *before), c.inputMeasured);
        EXPECT_EQ(handedOut.Output.Describes(*wave), c.outputGathered);
        if (c.outputGathered) EXPECT_TRUE(same(handedOut.Output.Spectrum.get(), *measure(*wave)));

        SharedSpectra handedIn = spectra;
        handedIn.Input = KnownSpectrumOf(*start, before);
        RunChain(*engine, start, Stages(c.stages), handedIn);
        EXPECT_EQ(test::StoreValues(*start), test::StoreValues(*wave));
        EXPECT_TRUE(same(handedIn.Input.Spectrum.get(), *before));
        EXPECT_FALSE(handedIn.Output.Spectrum);  // not asked to gather
    }
}

}  // namespace
}  // namespace sv
