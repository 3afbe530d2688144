// Saves in other formats replace files only when complete; what they keep is in
// FormatRoundTripTest.
#include <gtest/gtest.h>

#include "audio/AudioFileFormats.h"
#include "audio/SoundFileExport.h"
#include "audio/SoundFileImport.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

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
};

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
