// 24-bit, 32-bit, float and WAVE_FORMAT_EXTENSIBLE files: what the store holds and what is saved.
// (Their round trips are rows of FormatRoundTripTest.)
#include <gtest/gtest.h>

#include <cstring>

#include "audio/Wave.h"
#include "support/TestFiles.h"
#include "text/FileMessages.h"

namespace sv {
namespace {

using test::WavLayout;

constexpr std::int64_t Frames = 500000;

using test::Pattern24;

int FloatBits(float f) {
    int bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

float PatternFloat(std::int64_t f) {
    if (f == 0) return 2.5f;     // beyond full scale: kept, not clipped
    if (f == 1) return -200.0f;  // deep in the headroom
    return static_cast<float>(Pattern24(f, 0)) / 8388608.0f;
}

struct WideWaveTest : ::testing::Test {
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    WaveEnvironment env = test::MakeEnv(dir.path(), &dialogs);

    std::unique_ptr<Wave> Load(const std::filesystem::path& path) {
        auto wave = Wave::CreateFromFile(path, env).Document;
        EXPECT_NE(wave, nullptr) << path;
        return wave;
    }
    std::int32_t Value(Wave& wave, std::int64_t frame, int channel) {
        std::int32_t v = 0;
        wave.ReadChannel(&v, frame + MarginFrames, channel, 1);
        return v;
    }
};

TEST_F(WideWaveTest, StoreValuesShareTheTwentyFourBitScale) {
    test::WriteWav(dir / "24.wav", {.bits = 24, .frames = Frames}, Pattern24);
    auto w24 = Load(dir / "24.wav");
    EXPECT_EQ(Value(*w24, 0, 0), -8388608);
    EXPECT_EQ(Value(*w24, 1, 0), 8388607);
    EXPECT_EQ(Value(*w24, 7, 0), Pattern24(7, 0));

    test::WriteWav(dir / "f.wav", {.formatTag = 3, .bits = 32, .frames = Frames},
                   [](std::int64_t f, int) { return FloatBits(PatternFloat(f)); });
    auto wf = Load(dir / "f.wav");
    EXPECT_EQ(Value(*wf, 0, 0), 2.5 * 8388608);
    EXPECT_EQ(Value(*wf, 1, 0), -200 * 8388608);
}

// A 32-bit integer file keeps its top 24 bits; the saved low byte is zero.
TEST_F(WideWaveTest, ThirtyTwoBitKeepsTheTopTwentyFourBits) {
    test::WriteWav(dir / "in.wav", {.bits = 32, .frames = Frames}, [](std::int64_t f, int) {
        return f == 0 ? 0x7FFFFFFF : f == 1 ? static_cast<int>(0x80000001u) : 0x123456FF;
    });
    auto wave = Load(dir / "in.wav");
    EXPECT_EQ(Value(*wave, 0, 0), 8388607);
    EXPECT_EQ(Value(*wave, 1, 0), -8388608);
    EXPECT_EQ(Value(*wave, 2, 0), 0x123456);
    ASSERT_TRUE(wave->SaveToFile(dir / "out.wav").Saved());
    const std::string out = test::ReadFile(dir / "out.wav");
    std::int32_t third;
    std::memcpy(&third, out.data() + 44 + 8, 4);
    EXPECT_EQ(third, 0x12345600);
}

// The engine's output of an EXTENSIBLE document saves with the same fmt chunk.
TEST_F(WideWaveTest, EmptyDocumentLikeAnExtensibleOneKeepsItsFmtChunk) {
    std::string bytes =
        test::WavBytes({.channels = 1, .bits = 32, .frames = Frames, .fmtSize = 40},
                       [](std::int64_t f, int) { return FloatBits(PatternFloat(f)); });
    test::MakeExtensible(bytes, 3, 32);
    test::WriteFile(dir / "in.wav", bytes);
    auto wave = Load(dir / "in.wav");
    auto empty = Wave::CreateEmptyLike(*wave, 10);
    EXPECT_EQ(empty->Format().Encoding, SampleEncoding::Float32);
    ASSERT_TRUE(empty->SaveToFile(dir / "empty.wav").Saved());
    const std::string out = test::ReadFile(dir / "empty.wav");
    ASSERT_EQ(out.size(), 20u + 40 + 8 + 40);
    EXPECT_EQ(out.substr(8, 60), bytes.substr(8, 56) + std::string("\x28\0\0\0", 4));
}

TEST_F(WideWaveTest, RefusedFormatsNameTheirReason) {
    const std::vector<std::pair<WavLayout, std::string>> cases = {
        {{.formatTag = 3, .bits = 64, .frames = Frames}, "64-bit float samples are not supported"},
        {{.formatTag = 6, .bits = 8, .frames = Frames}, "A-law samples are not supported"},
        {{.formatTag = 2, .bits = 4, .frames = Frames},
         "compressed WAV (format 2) is not supported"},
        {{.bits = 12, .frames = Frames}, "12-bit integer samples are not supported"},
    };
    for (const auto& [layout, reason] : cases) {
        test::WriteWav(dir / "bad.wav", layout, [](std::int64_t, int) { return 0; });
        const LoadResult result = Wave::CreateFromFile(dir / "bad.wav", env);
        EXPECT_EQ(result.Document, nullptr);
        EXPECT_EQ(result.Outcome, LoadOutcome::NotPcm);
        EXPECT_EQ(result.Reason, reason);
        EXPECT_EQ(LoadRefusalMessage(result.Outcome, result.Reason, env.WorkFolder),
                  "File is not in PCM format or is damaged: " + reason);
    }
}

}  // namespace
}  // namespace sv
