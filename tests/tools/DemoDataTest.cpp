// The files the build makes: demo recording, start-up chime, level report, sample language file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "DemoRecording.h"
#include "LanguageIniSample.h"
#include "LevelReport.h"
#include "audio/Wave.h"
#include "support/TestFiles.h"
#include "text/Language.h"

using namespace sv;
using namespace sv::demo;
using sv::test::TempDir;

namespace {

double RmsDbfs(const PcmRecording& r, int channel, double fromSeconds, double toSeconds) {
    const auto first = static_cast<std::int64_t>(fromSeconds * r.sampleRate);
    const auto last = std::min(r.Frames(), static_cast<std::int64_t>(toSeconds * r.sampleRate));
    double sum = 0;
    for (std::int64_t f = first; f < last; ++f) {
        const double v = r.samples[static_cast<std::size_t>(f * r.channels + channel)];
        sum += v * v;
    }
    return 20 * std::log10(std::sqrt(sum / static_cast<double>(last - first)) / 32768.0);
}

// Separate places where a channel sits at full scale (hits closer than 0.1 s count as one).
int ClippedPlaces(const PcmRecording& r, int channel) {
    int places = 0;
    std::int64_t lastClip = -r.sampleRate;
    for (std::int64_t f = 0; f < r.Frames(); ++f) {
        const int v = r.samples[static_cast<std::size_t>(f * r.channels + channel)];
        if (v != 32767 && v != -32768) continue;
        if (f - lastClip > r.sampleRate / 10) ++places;
        lastClip = f;
    }
    return places;
}

}  // namespace

TEST(DemoRecording, GivesEveryStageWork) {
    const PcmRecording demo = MakeDemoRecording();
    ASSERT_EQ(demo.channels, 2);
    EXPECT_EQ(demo.Frames(), static_cast<std::int64_t>(DemoSeconds * demo.sampleRate));
    EXPECT_GE(demo.Frames() * demo.channels, Wave::MinimumValues);  // long enough to process

    for (int c = 0; c < 2; ++c) {
        const double noise = RmsDbfs(demo, c, 0.1, DemoNoiseOnlySeconds - 0.1);
        const double music = RmsDbfs(demo, c, DemoNoiseOnlySeconds + 0.5, DemoSeconds);
        EXPECT_GT(noise, -60.0) << "the noise-only stretch holds audible hiss";
        EXPECT_LT(noise, music - 20.0) << "and is clearly the quietest part";
        EXPECT_EQ(ClippedPlaces(demo, c), 4) << "a few clipped peaks, channel " << c;
    }
    EXPECT_GT(std::fabs(RmsDbfs(demo, 0, 2.5, 12) - RmsDbfs(demo, 1, 2.5, 12)), 0.5)
        << "the channels differ, so the channel modes matter";
    EXPECT_EQ(MakeDemoRecording().samples, demo.samples) << "the same file on every build";
}

TEST(DemoRecording, ChimeEndsBeforeTheSplashCloses) {
    const PcmRecording chime = MakeStartChime();
    EXPECT_GT(chime.Frames(), 0);
    EXPECT_LT(static_cast<double>(chime.Frames()) / chime.sampleRate, 2.0);
}

TEST(DemoRecording, WrittenFileLoadsWithTheSameSamples) {
    TempDir dir;
    PcmRecording recording;
    recording.sampleRate = 22050;
    recording.samples.resize(static_cast<std::size_t>(Wave::MinimumValues));
    for (std::size_t i = 0; i < recording.samples.size(); ++i)
        recording.samples[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
    WriteWav(dir / "r.wav", recording);

    WaveEnvironment env;
    env.WorkFolder = dir.path();
    const auto wave = Wave::CreateFromFile(dir / "r.wav", env).Document;
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->Channels(), 2);
    EXPECT_EQ(wave->SampleRate(), 22050);
    EXPECT_EQ(wave->Format().BitsPerSample, 16);
    std::vector<std::int32_t> values(recording.samples.size());
    wave->ReadRaw(values.data(), MarginFrames * 2, static_cast<std::int64_t>(values.size()));
    for (std::size_t i = 0; i < values.size(); i += 997)
        ASSERT_EQ(values[i], recording.samples[i] * 256) << "at " << i;
}

TEST(LevelReport, PeakAndRmsPerChannel) {
    struct Case {
        const char* name;
        int amplitude;  // of a square wave in channel 0; channel 1 is silent
        double peak;
        double rms;
    };
    const Case cases[] = {
        {"full scale", 32768, 0.0, 0.0},
        {"half scale", 16384, -6.02, -6.02},
        {"tenth", 3277, -20.0, -20.0},
    };
    for (const Case& c : cases) {
        TempDir dir;
        PcmRecording r;
        r.samples.resize(static_cast<std::size_t>(Wave::MinimumValues));
        for (std::size_t f = 0; f < r.samples.size() / 2; ++f)
            r.samples[2 * f] =
                static_cast<std::int16_t>(f % 2 ? -c.amplitude : std::min(c.amplitude, 32767));
        WriteWav(dir / "s.wav", r);
        const auto levels = MeasureLevels(dir / "s.wav", dir.path());
        ASSERT_EQ(levels.size(), 2u) << c.name;
        EXPECT_NEAR(levels[0].peakDbfs, c.peak, 0.01) << c.name;
        EXPECT_NEAR(levels[0].rmsDbfs, c.rms, 0.01) << c.name;
        EXPECT_TRUE(std::isinf(levels[1].peakDbfs) && levels[1].peakDbfs < 0) << c.name;
        EXPECT_NE(LevelsText("x", levels).find("channel 2"), std::string::npos);
    }
}

TEST(LevelReport, RefusedFileIsAnError) {
    TempDir dir;
    std::ofstream(dir / "bad.wav") << "not a wave file at all";
    EXPECT_THROW(MeasureLevels(dir / "bad.wav", dir.path()), std::runtime_error);
}

TEST(LanguageIniSample, ReadsBackAsEveryDefault) {
    TempDir dir;
    const std::string sample = LanguageIniSample();
    std::ofstream(dir / "language.ini", std::ios::binary) << sample;
    LanguageTexts texts;
    texts.OpenCaption = "changed";  // loading must set every key, this one included
    LoadLanguageFrom(dir / "language.ini", texts);
    EXPECT_TRUE(texts == LanguageTexts{});
    for (const LanguageKey& key : LanguageKeys()) {
        const std::string line = "\n" + std::string(key.Key) + "=";
        const std::size_t first = sample.find(line);
        ASSERT_NE(first, std::string::npos) << key.Key;
        EXPECT_EQ(sample.find(line, first + 1), std::string::npos) << key.Key << " twice";
    }
}

// Help texts are whole paragraphs: none is left at its opening words, and none is cut when a
// translator's copy of it is read back.
TEST(LanguageIniSample, HelpTextsAreCompleteSentences) {
    int helpTexts = 0;
    for (const LanguageKey& key : LanguageKeys()) {
        if (!key.Key.starts_with("CaHelp") || key.Key == "CaHelp") continue;
        ++helpTexts;
        const std::string_view text = DropTrailingBlanks(key.Default);
        EXPECT_TRUE(text.ends_with(".") || text.ends_with(")")) << key.Key;
        EXPECT_LE(text.size(), MaxTextLength) << key.Key;
    }
    EXPECT_EQ(helpTexts, 38);
}
