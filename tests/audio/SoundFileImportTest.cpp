// Files of other formats open with their length and level, streams without a stated length
// with what they hold; damaged ones are refused with a reason of their own.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

#include "audio/AudioFileFormats.h"
#include "audio/SoundFileImport.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

constexpr int Rate = 44100;

// A stereo 0.5 sine written by libsndfile; through a pipe when streamed, so that the encoder
// cannot go back to complete its header (a FLAC length, an MP3 Xing frame).
void WriteSound(const std::filesystem::path& path, int format, std::int64_t frames, bool streamed,
                int bitrateMode = -1) {
    int ends[2] = {-1, -1};
    std::string bytes;
    std::thread collect;
    SF_INFO info{};
    info.samplerate = Rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* file = nullptr;
    if (streamed) {
        ASSERT_EQ(::pipe(ends), 0);
        collect = std::thread([&] {
            char block[65536];
            for (ssize_t n; (n = ::read(ends[0], block, sizeof block)) > 0;) bytes.append(block, n);
            ::close(ends[0]);
        });
        file = sf_open_fd(ends[1], SFM_WRITE, &info, SF_TRUE);
    } else {
        file = sf_open(path.c_str(), SFM_WRITE, &info);
    }
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    if (bitrateMode >= 0) sf_command(file, SFC_SET_BITRATE_MODE, &bitrateMode, sizeof(int));
    std::vector<float> samples(static_cast<std::size_t>(2 * frames));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5f * static_cast<float>(std::sin(static_cast<double>(i / 2) * 0.0625));
    EXPECT_EQ(sf_writef_float(file, samples.data(), frames), frames);
    sf_close(file);
    if (!streamed) return;
    collect.join();
    test::WriteFile(path, bytes);
}

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
        EXPECT_EQ(wave->Format().BitsPerSample, c.bits);
        EXPECT_NEAR(static_cast<double>(wave->FrameCount()),
                    wave->SampleRate() * (c.channels == 1 ? 12.0 : 8.0),
                    wave->SampleRate() * 0.06);  // lossy coders may pad a little
        EXPECT_NEAR(Peak(*wave) / 8388608.0, 0.5, 0.5 * c.tolerance);
    }
}

TEST_F(SoundFileImportTest, DamagedFilesAreRefusedWithAReasonOfTheirOwn) {
    WriteSound(dir / "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8 * Rate, false);
    WriteSound(dir / "a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 8 * Rate, false);
    const std::string whole = test::ReadFile(dir / "a.flac");
    test::WriteFile(dir / "cut.flac", whole.substr(0, whole.size() / 3));
    std::string noise;
    for (int i = 0; i < 5000; ++i) noise.push_back(static_cast<char>(i * 7919 % 251));
    test::WriteFile(dir / "garbage.flac", "fLaC" + noise);
    test::WriteFile(dir / "garbage.mp3", "ID3\x03\x00\x00\x00\x00\x00\x10" + noise);
    test::WriteFile(dir / "text.mp3", "a text file named like a sound file\n");
    test::WriteFile(dir / "text.flac", "a text file named like a sound file\n");
    // STREAMINFO claiming 2^36 - 1 frames: more than any document holds.
    std::string endless = whole;
    endless[21] = static_cast<char>(endless[21] | 0x0F);
    for (int i = 22; i < 26; ++i) endless[static_cast<std::size_t>(i)] = '\xFF';
    test::WriteFile(dir / "endless.flac", endless);
    test::WriteWav(dir / "cut.wav", {.channels = 2, .frames = 300000, .dataSizeOverride = 4000000},
                   test::Noise16);
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"cut.flac", "the stream ends after "},
        {"garbage.flac", "not a sound file of a known format"},
        {"endless.flac", "longer than a document holds"},
        {"garbage.mp3", "not a sound file of a known format"},
        {"text.mp3", "not a sound file of a known format"},
        {"text.flac", "not a sound file of a known format"},
        {"cut.wav", "the file ends before its 4000000 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadResult result = OpenAudioFile(dir / c.name, env);
        EXPECT_EQ(result.Outcome, LoadOutcome::NotPcm);
        EXPECT_EQ(result.Reason.rfind(c.reason, 0), 0u) << result.Reason;
        for (const char* unclear : {"No Error", "pipe"})
            EXPECT_EQ(result.Reason.find(unclear), std::string::npos) << result.Reason;
    }
}

TEST_F(SoundFileImportTest, StreamsWithoutAStatedLengthOpenWithWhatTheyHold) {
    const std::int64_t frames = 12 * Rate;
    WriteSound(dir / "piped.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, frames, true);
    WriteSound(dir / "whole.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, frames, false);
    const std::string ogg = test::ReadFile(dir / "whole.ogg");
    test::WriteFile(dir / "cut.ogg", ogg.substr(0, ogg.size() * 3 / 4));  // a recorded stream
    // Constant bit rate through a pipe: no Xing frame, so libsndfile only estimates the length.
    WriteSound(dir / "cbr.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, frames, true,
               SF_BITRATE_MODE_CONSTANT);
    ASSERT_EQ(test::ReadFile(dir / "cbr.mp3").find("Xing"), std::string::npos);
    const struct {
        const char* name;
        std::int64_t least, most;
    } cases[] = {
        {"piped.flac", frames, frames},
        {"cut.ogg", frames / 2, frames * 3 / 4},
        {"cbr.mp3", frames, frames + 3 * 1152},  // the encoder's delay and padding stay
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadResult result = ImportSoundFile(dir / c.name, env);
        ASSERT_EQ(result.Outcome, LoadOutcome::Loaded) << result.Reason;
        Wave& wave = *result.Document;
        EXPECT_GE(wave.FrameCount(), c.least);
        EXPECT_LE(wave.FrameCount(), c.most);
        EXPECT_NEAR(Peak(wave) / 8388608.0, 0.5, 0.05);
        // The trailing margin is silent.
        const auto values = test::StoreValues(wave);
        EXPECT_TRUE(std::all_of(values.end() - 2 * MarginFrames, values.end(),
                                [](std::int32_t v) { return v == 0; }));
    }
}

TEST_F(SoundFileImportTest, InfiniteFloatSamplesAreCounted) {
    const float inf = std::numeric_limits<float>::infinity();
    test::WriteWav(dir / "inf.wav", {.formatTag = 3, .channels = 2, .bits = 32, .frames = 300000},
                   [inf](std::int64_t f, int c) {
                       const float v = f == 7 ? (c ? -inf : inf) : f == 9 && c ? inf : 0.25f;
                       return std::bit_cast<int>(v);
                   });
    env.SamplesStayInSourceFile = true;  // as the command line reads
    const LoadResult result = OpenAudioFile(dir / "inf.wav", env);
    ASSERT_EQ(result.Outcome, LoadOutcome::Loaded);
    EXPECT_EQ(result.Document->InfiniteSamples(), 3);
}

}  // namespace
}  // namespace sv
