// Documents with many channels: channels 0 and 1 of a 6-channel file go through every
// channel-wise stage exactly as the same two channels of a stereo file do.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "dsp/RemasterChain.h"
#include "support/EngineFixture.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

constexpr std::int64_t Frames = 245760 + 5000;

// A tone with noise on the left, another on the right; both reach the same peak so that a
// linked stereo normalization picks the same gain as one per channel.
int Sample(std::int64_t f, int c) {
    const double tone = std::sin(2.0 * 3.141592653589793 * (c ? 997.0 : 440.0) * f / 44100.0);
    const int v = static_cast<int>(12000.0 * tone) + test::Noise16(f, c) / 16;
    return f == 1000 ? 30000 : v;
}

// Channels past the first two carry loud unrelated content that must not leak into 0 and 1.
int WideSample(std::int64_t f, int c) { return c < 2 ? Sample(f, c) : test::Noise16(f, c) / 2; }

struct ManyChannelDocumentTest : test::EngineFixture {
    void SetUp() override {
        EngineFixture::SetUp();
        test::WriteWav(dir / "stereo.wav", {.channels = 2, .frames = Frames}, Sample);
        test::WriteWav(dir / "wide.wav", {.channels = 6, .frames = Frames}, WideSample);
    }

    // Channel 0 and 1 of the store, margins included, after running the stage.
    std::vector<std::int32_t> FirstTwoChannels(
        const std::string& name, const std::function<WalkResult(std::unique_ptr<Wave>&)>& stage) {
        auto wave = Wave::CreateFromFile(dir / name, env).Document;
        EXPECT_NE(wave, nullptr);
        EXPECT_EQ(stage(wave), WalkResult::Completed) << name;
        const std::int64_t frames = wave->FrameCount() + 2 * MarginFrames;
        std::vector<std::int32_t> both(static_cast<std::size_t>(2 * frames));
        wave->ReadChannel(both.data(), 0, 0, frames);
        wave->ReadChannel(both.data() + frames, 0, 1, frames);
        return both;
    }
};

TEST_F(ManyChannelDocumentTest, FirstTwoChannelsMatchTheStereoFileForEveryChannelWiseStage) {
    RemasterSettings s;
    s.PeakCount = 5;
    SharedSpectra spectra;
    spectra.Target.fill(2.0e6f);
    struct Stage {
        const char* name;
        std::function<WalkResult(std::unique_ptr<Wave>&)> run;
    };
    const std::vector<Stage> stages = {
        {"noise removal", [&](auto& w) { return RunRemoveNoise(*engine, w, s, spectra); }},
        {"levelling", [&](auto& w) { return RunLevelling(*engine, w, s, spectra); }},
        {"normalizing", [&](auto& w) { return engine->Normalize(w, -3, false); }},
        {"normalizing per channel", [&](auto& w) { return engine->Normalize(w, -1, true); }},
    };
    for (const Stage& stage : stages) {
        const auto stereo = FirstTwoChannels("stereo.wav", stage.run);
        const auto wide = FirstTwoChannels("wide.wav", stage.run);
        ASSERT_EQ(stereo.size(), wide.size()) << stage.name;
        std::size_t differing = 0;
        for (std::size_t i = 0; i < stereo.size(); ++i) differing += stereo[i] != wide[i];
        EXPECT_EQ(differing, 0u) << stage.name;
        // The stage did something: the result is not the input.
        EXPECT_NE(stereo[MarginFrames + 1000], Sample(1000, 0) * 256) << stage.name;
    }
}

}  // namespace
}  // namespace sv
