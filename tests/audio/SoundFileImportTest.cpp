// Files of other formats, made by sox and ffmpeg, open with their length and level.
#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/SoundFileImport.h"
#include "base/IoError.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

struct SoundFileImportTest : ::testing::Test {
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    WaveEnvironment env = test::MakeEnv(dir.path(), &dialogs);

    bool Run(const std::string& command) {
        return std::system(
                   ("cd '" + dir.path().string() + "' && " + command + " 2>/dev/null").c_str()) ==
               0;
    }
    std::int32_t Peak(Wave& wave) {
        Int32Array values(static_cast<std::size_t>(wave.FrameCount() * wave.Channels()));
        wave.ReadRaw(values.data(), MarginFrames * wave.Channels(),
                     static_cast<std::int64_t>(values.size()));
        std::int32_t peak = 0;
        for (const auto v : values) peak = std::max(peak, std::abs(v));
        return peak;
    }
};

TEST_F(SoundFileImportTest, OtherFormatsOpenWithTheirLengthAndLevel) {
    if (std::system("command -v sox >/dev/null && command -v ffmpeg >/dev/null") != 0)
        GTEST_SKIP() << "sox or ffmpeg missing";
    struct Case {
        const char* make;
        const char* file;
        int channels;
        int bits;
        double tolerance;  // relative, of the 0.5 full-scale peak
    };
    const Case cases[] = {
        {"sox -n -r 44100 -b 16 -c 2 a.flac synth 8 sine 1000 vol 0.5", "a.flac", 2, 16, 0.001},
        {"sox -n -r 48000 -b 24 -c 1 a.aiff synth 12 sine 500 vol 0.5", "a.aiff", 1, 24, 0.001},
        {"sox -n -r 44100 -c 2 a.ogg synth 8 sine 1000 vol 0.5", "a.ogg", 2, 24, 0.15},
        {"sox -n -r 44100 -b 16 -c 2 m.wav synth 8 sine 1000 vol 0.5 && ffmpeg -v error -y -i "
         "m.wav a.mp3",
         "a.mp3", 2, 24, 0.15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(Run(c.make));
        auto wave = ImportSoundFile(dir / c.file, env).Document;
        ASSERT_NE(wave, nullptr);
        EXPECT_EQ(wave->Channels(), c.channels);
        EXPECT_EQ(wave->BitsPerSample(), c.bits);
        EXPECT_NEAR(static_cast<double>(wave->FrameCount()),
                    wave->SampleRate() * (c.channels == 1 ? 12.0 : 8.0),
                    wave->SampleRate() * 0.06);  // lossy coders may pad a little
        EXPECT_NEAR(Peak(*wave) / 8388608.0, 0.5, 0.5 * c.tolerance);
    }
}

TEST_F(SoundFileImportTest, DamagedFilesAreReportedNotLoaded) {
    if (std::system("command -v sox >/dev/null") != 0) GTEST_SKIP() << "sox missing";
    ASSERT_TRUE(Run("sox -n -r 44100 -b 16 -c 2 a.flac synth 8 sine 1000 vol 0.5"));
    const std::string whole = test::ReadFile(dir / "a.flac");
    test::WriteFile(dir / "cut.flac", whole.substr(0, whole.size() / 3));
    std::string garbage = "fLaC";
    for (int i = 0; i < 5000; ++i) garbage.push_back(static_cast<char>(i * 7919 % 251));
    test::WriteFile(dir / "garbage.flac", garbage);
    // STREAMINFO claiming 2^36 - 1 frames: more than any document holds.
    std::string endless = whole;
    endless[21] = static_cast<char>(endless[21] | 0x0F);
    for (int i = 22; i < 26; ++i) endless[static_cast<std::size_t>(i)] = '\xFF';
    test::WriteFile(dir / "endless.flac", endless);
    for (const char* name : {"cut.flac", "garbage.flac", "endless.flac"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(ImportSoundFile(dir / name, env), IoError);
    }
}

}  // namespace
}  // namespace sv
