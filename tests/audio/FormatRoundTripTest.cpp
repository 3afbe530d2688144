// Every sample format a WAV file can hold, mono and stereo, saved in every writable format and
// opened again: WAV comes back byte for byte, FLAC and AIFF with their depth and values where
// the format allows, Ogg Vorbis with its length and level.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>

#include "audio/AudioFileFormats.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

using test::WavLayout;

using test::Pattern24;

float PatternFloat(std::int64_t f, int c) {
    if (f == 0) return 2.5f;     // beyond full scale: kept, not clipped
    if (f == 1) return -200.0f;  // deep in the headroom
    return static_cast<float>(Pattern24(f, c)) / 8388608.0f;
}

// A WAV file's sample format and what the store makes of it.
struct Source {
    const char* name;
    std::uint16_t formatTag, bits, fmtSize, extensibleSubFormat;  // sub-format 0: a plain fmt
    std::function<int(std::int64_t, int)> sample;                 // the file's sample
    SampleEncoding encoding;
    std::vector<const char*> targets;  // the extensions saved to besides .wav
};

int Sample8(std::int64_t f, int c) { return (Pattern24(f, c) >> 16) + 128; }
int Sample16(std::int64_t f, int c) { return Pattern24(f, c) >> 8; }
int Sample32(std::int64_t f, int c) { return static_cast<int>(Pattern24(f, c) * 256u); }
int SampleFloat(std::int64_t f, int c) { return std::bit_cast<int>(PatternFloat(f, c)); }
int Sine16(std::int64_t f, int) {
    return static_cast<int>(std::lround(16384.0 * std::sin(2 * M_PI * 1000.0 * f / 44100)));
}

const std::vector<Source>& Sources() {
    using enum SampleEncoding;
    // FLAC holds no float: values beyond full scale would be clipped there. An 8-bit AIFF file
    // of an odd length opens one frame longer: no row until that is mended.
    static const std::vector<Source> sources = {
        {"8-bit", 1, 8, 16, 0, Sample8, Unsigned8, {".flac"}},
        {"16-bit", 1, 16, 16, 0, Sample16, Signed16, {".flac", ".aiff"}},
        {"24-bit", 1, 24, 16, 0, Pattern24, Signed24, {".flac", ".aif"}},
        {"32-bit low byte zero", 1, 32, 16, 0, Sample32, Signed32, {".flac", ".aiff"}},
        {"float", 3, 32, 16, 0, SampleFloat, Float32, {".aiff"}},
        {"extensible 24-bit", 1, 24, 40, 1, Pattern24, Signed24, {".flac"}},
        {"extensible float", 1, 32, 40, 3, SampleFloat, Float32, {".aiff"}},
        {"16-bit sine at half scale", 1, 16, 16, 0, Sine16, Signed16, {".ogg"}},
    };
    return sources;
}

// What a lossless format keeps of a source: the libsndfile subtype written, and the factor
// between the value opened again and the value saved (8 bits open as a 16-bit document).
struct Kept {
    int subtype;
    std::int32_t factor;
};

Kept KeptBy(const std::string& target, SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            return {SF_FORMAT_PCM_S8, 256};
        case SampleEncoding::Signed16:
            return {SF_FORMAT_PCM_16, 1};
        case SampleEncoding::Signed24:
            return {SF_FORMAT_PCM_24, 1};
        case SampleEncoding::Signed32:  // FLAC holds 24 bits at most: all the store has
            return {target == ".flac" ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_32, 1};
        case SampleEncoding::Float32:
            return {SF_FORMAT_FLOAT, 1};
    }
    return {0, 0};
}

int SubtypeOf(const std::filesystem::path& file) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (!sound) return -1;
    sf_close(sound);
    return info.format & SF_FORMAT_SUBMASK;
}

struct Row {
    const Source* source;
    std::uint16_t channels;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.source->name << ", " << row.channels << " channels";
}

std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (const Source& source : Sources())
        for (const std::uint16_t channels : {1, 2}) rows.push_back({&source, channels});
    return rows;
}

std::string RowName(const testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* c = info.param.source->name; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name + "_" + std::to_string(info.param.channels) + "ch";
}

class FormatRoundTrip : public testing::TestWithParam<Row> {
  protected:
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    WaveEnvironment env = test::MakeEnv(dir.path(), &dialogs);

    static std::vector<std::int32_t> Samples(Wave& wave) {
        std::vector<std::int32_t> v(static_cast<std::size_t>(wave.FrameCount() * wave.Channels()));
        wave.ReadRaw(v.data(), MarginFrames * wave.Channels(), static_cast<std::int64_t>(v.size()));
        return v;
    }
};

TEST_P(FormatRoundTrip, SavedFilesOpenWithWhatWasSaved) {
    const Source& source = *GetParam().source;
    const std::uint16_t channels = GetParam().channels;
    // Just above the shortest length processed.
    const std::int64_t frames = Wave::MinimumValues / channels + 7;
    std::string bytes = test::WavBytes({.formatTag = source.formatTag,
                                        .channels = channels,
                                        .bits = source.bits,
                                        .frames = frames,
                                        .fmtSize = source.fmtSize},
                                       source.sample);
    if (source.extensibleSubFormat)
        test::MakeExtensible(bytes, source.extensibleSubFormat, source.bits);
    test::WriteFile(dir / "in.wav", bytes);
    auto wave = OpenAudioFile(dir / "in.wav", env).Document;
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->Format().Encoding, source.encoding);
    EXPECT_EQ(wave->FrameCount(), frames);
    if (source.bits >= 24) EXPECT_EQ(wave->FullScale(), 8388608);

    const SaveResult savedWav = SaveAudioFile(*wave, dir / "out.wav");
    ASSERT_TRUE(savedWav.Saved()) << savedWav.Reason();
    EXPECT_TRUE(test::ReadFile(dir / "out.wav") == bytes);

    const auto before = Samples(*wave);
    for (const std::string target : source.targets) {
        SCOPED_TRACE(target);
        const auto file = dir / ("out" + target);
        const SaveResult saved = SaveAudioFile(*wave, file);
        ASSERT_TRUE(saved.Saved()) << saved.Reason();
        auto again = OpenAudioFile(file, env).Document;
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->Channels(), channels);
        EXPECT_EQ(again->SampleRate(), 44100);
        if (target == ".ogg") {  // lossy: the coder may pad a little
            EXPECT_NEAR(static_cast<double>(again->FrameCount()), frames, 44100 * 0.06);
            std::int32_t peak = 0;
            for (const auto v : Samples(*again)) peak = std::max(peak, std::abs(v));
            EXPECT_NEAR(peak / 8388608.0, 0.5, 0.05);
            continue;
        }
        const Kept kept = KeptBy(target, source.encoding);
        EXPECT_EQ(SubtypeOf(file), kept.subtype);
        // Where the file holds the document's own depth, the document opens as it was (and so
        // saves back the same).
        const int savedBits = kept.subtype == SF_FORMAT_PCM_24   ? 24
                              : kept.subtype == SF_FORMAT_PCM_16 ? 16
                              : kept.subtype == SF_FORMAT_PCM_S8 ? 8
                                                                 : 32;
        if (savedBits == source.bits && source.bits >= 24)
            EXPECT_EQ(again->Format().Encoding, wave->Format().Encoding);
        ASSERT_EQ(again->FrameCount(), frames);
        const auto after = Samples(*again);
        std::int64_t worst = 0;
        for (std::size_t i = 0; i < before.size(); ++i)
            worst = std::max<std::int64_t>(
                worst, std::abs(static_cast<std::int64_t>(after[i]) -
                                static_cast<std::int64_t>(before[i]) * kept.factor));
        EXPECT_EQ(worst, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(FormatDepthChannels, FormatRoundTrip, testing::ValuesIn(Rows()), RowName);

}  // namespace
}  // namespace sv
