// Documents saved as FLAC, AIFF and Ogg Vorbis keep their depth and values where the format
// allows, replace files only when complete, and open again with what was saved.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "audio/AudioFileFormats.h"
#include "audio/SoundFileExport.h"
#include "audio/SoundFileImport.h"
#include "support/CommandOutput.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

bool HaveSox() { return std::system("command -v soxi >/dev/null") == 0; }

constexpr int Channels = 2;
constexpr std::int64_t Frames = 250000;  // above the shortest length processed

// A deterministic signal using every bit of a depth: value(frame, channel) within ±2^(bits-1).
std::int32_t Pattern(std::int64_t f, int c, int bits) {
    const std::uint64_t x =
        static_cast<std::uint64_t>(f * 2654435761u + c * 40503u) * 6364136223846793005u;
    const std::int64_t range = std::int64_t{1} << bits;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(x >> 20) % range - range / 2);
}

struct SoundFileExportTest : ::testing::Test {
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    WaveEnvironment env = test::MakeEnv(dir.path(), &dialogs);

    // A document of the given WAV format holding Pattern at the store's scale for that format.
    std::unique_ptr<Wave> Document(std::uint16_t tag, std::uint16_t bits, int channels = Channels) {
        auto wave =
            Wave::CreateEmpty(tag, static_cast<std::uint16_t>(channels), 44100, bits, Frames, env);
        // 8- and 16-bit documents hold their samples times 256, the others 24 bits.
        const int patternBits = bits <= 16 ? bits : 24;
        const int scale = bits <= 16 ? 256 : 1;
        std::vector<std::int32_t> raw(static_cast<std::size_t>(Frames * channels));
        for (std::int64_t f = 0; f < Frames; ++f)
            for (int c = 0; c < channels; ++c)
                raw[static_cast<std::size_t>(f * channels + c)] =
                    Pattern(f, c, patternBits) * scale;
        wave->WriteRaw(raw.data(), channels * MarginFrames, Frames * channels);
        return wave;
    }
    static std::vector<std::int32_t> Samples(Wave& wave) {
        std::vector<std::int32_t> v(static_cast<std::size_t>(wave.FrameCount() * wave.Channels()));
        wave.ReadRaw(v.data(), MarginFrames * wave.Channels(), static_cast<std::int64_t>(v.size()));
        return v;
    }
};

TEST_F(SoundFileExportTest, LosslessFormatsKeepDepthAndValues) {
    if (!HaveSox()) GTEST_SKIP() << "sox missing";
    struct Case {
        std::uint16_t tag, bits;
        const char* file;
        const char* savedBits;   // as soxi -b reports it
        std::int32_t factor;     // imported value = saved value * factor
        std::int32_t tolerance;  // in store units
    };
    const Case cases[] = {
        {1, 16, "a16.flac", "16", 1, 0}, {1, 24, "a24.flac", "24", 1, 0},
        {1, 8, "a8.flac", "8", 256, 0},   // opens as a 16-bit document
        {1, 32, "a32.flac", "24", 1, 0},  // FLAC holds 24 bits at most: all the store has
        {1, 16, "a16.aiff", "16", 1, 0}, {1, 24, "a24.aif", "24", 1, 0},
        {1, 32, "a32.aiff", "32", 1, 0}, {3, 32, "af.aiff", "32", 1, 0},  // float
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto wave = Document(c.tag, c.bits);
        const SaveResult saved = SaveAudioFile(*wave, dir / c.file);
        ASSERT_TRUE(saved.Saved()) << saved.Reason();
        EXPECT_EQ(test::CommandOutput("soxi -b '" + (dir / c.file).string() + "'"), c.savedBits);
        if (c.tag == 3) {
            EXPECT_NE(
                test::CommandOutput("soxi -e '" + (dir / c.file).string() + "'").find("Floating"),
                std::string::npos);
        }
        auto again = OpenAudioFile(dir / c.file, env).Document;
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->Channels(), Channels);
        if (std::to_string(c.bits) == c.savedBits && c.bits >= 24) {
            EXPECT_EQ(again->Encoding(), wave->Encoding());  // and so saves back the same
        }
        EXPECT_EQ(again->SampleRate(), 44100);
        ASSERT_EQ(again->FrameCount(), Frames);
        const auto before = Samples(*wave);
        const auto after = Samples(*again);
        std::int64_t worst = 0;
        for (std::size_t i = 0; i < before.size(); ++i)
            worst = std::max<std::int64_t>(
                worst, std::abs(static_cast<std::int64_t>(after[i]) -
                                static_cast<std::int64_t>(before[i]) * c.factor));
        EXPECT_LE(worst, c.tolerance);
    }
}

TEST_F(SoundFileExportTest, OggVorbisKeepsLengthAndLevel) {
    auto wave = Wave::CreateEmpty(1, 2, 44100, 16, Frames, env);
    std::vector<std::int32_t> raw(static_cast<std::size_t>(Frames * 2));
    for (std::int64_t f = 0; f < Frames; ++f)
        raw[static_cast<std::size_t>(2 * f)] = raw[static_cast<std::size_t>(2 * f + 1)] =
            static_cast<std::int32_t>(0.5 * 8388608.0 * std::sin(2 * M_PI * 1000.0 * f / 44100.0));
    wave->WriteRaw(raw.data(), 2 * MarginFrames, Frames * 2);
    ASSERT_TRUE(SaveAudioFile(*wave, dir / "a.ogg").Saved());
    auto again = OpenAudioFile(dir / "a.ogg", env).Document;
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Channels(), 2);
    EXPECT_NEAR(static_cast<double>(again->FrameCount()), Frames, 44100 * 0.06);
    std::int32_t peak = 0;
    for (const auto v : Samples(*again)) peak = std::max(peak, std::abs(v));
    EXPECT_NEAR(peak / 8388608.0, 0.5, 0.05);
}

TEST_F(SoundFileExportTest, FailedSavesLeaveTheOldFileAndNoTemporary) {
    test::WriteFile(dir / "old.flac", "precious bytes");
    auto wide = Document(1, 16, 9);  // FLAC holds at most eight channels
    const SaveResult tooWide = SaveAudioFile(*wide, dir / "old.flac");
    EXPECT_FALSE(tooWide.Saved());
    EXPECT_NE(tooWide.Reason().find("old.flac"), std::string::npos) << tooWide.Reason();
    EXPECT_EQ(test::ReadFile(dir / "old.flac"), "precious bytes");

    auto wave = Document(1, 16);
    const SaveResult mp3 = SaveAudioFile(*wave, dir / "out.mp3");
    EXPECT_FALSE(mp3.Saved());
    EXPECT_EQ(mp3.Code(), EINVAL);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));

    std::filesystem::permissions(dir / "old.flac", std::filesystem::perms::owner_read);
    EXPECT_EQ(SaveAudioFile(*wave, dir / "old.flac").Code(), EACCES);
    EXPECT_EQ(test::ReadFile(dir / "old.flac"), "precious bytes");
    EXPECT_EQ(dir.CountFiles(), 3);  // old.flac and the two swap files
}

TEST(AudioFileNames, ReadableAndSavableNames) {
    struct Case {
        const char* name;
        bool readable, savable;
    };
    const Case cases[] = {
        {"a.wav", true, true},         {"a.WAV", true, true},    {"a.flac", true, true},
        {"a.Aiff", true, true},        {"a.aif", true, true},    {"a.ogg", true, true},
        {"a.oga", true, true},         {"a.mp3", true, false},   {"a.txt", false, false},
        {"noextension", false, false}, {"a.aifc", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsReadableAudioFileName(c.name), c.readable) << c.name;
        EXPECT_EQ(IsSavableAudioFileName(c.name), c.savable) << c.name;
    }
}

}  // namespace
}  // namespace sv
