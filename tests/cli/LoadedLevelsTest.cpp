// The levels of a loaded document gathered from the reads that happen anyway equal those of a
// pass of their own, whatever the work on the document did first.
#include <gtest/gtest.h>

#include "audio/AudioFileFormats.h"
#include "cli/SignalLevels.h"
#include "support/TestFiles.h"

namespace sv::test {
namespace {

enum class Work { None, ChangeFirst, SkipAheadThenWalk, ReplaceAfterHalf };

struct Case {
    const char* name;  // a WAV is read in place, a FLAC decoded into the store
    Work work;
    bool toldAllBeforeLevels;  // the reads that ran gave every sample: no reading of its own
};

class LoadedLevelsTest : public testing::TestWithParam<Case> {};

TEST_P(LoadedLevelsTest, EqualTheLevelsOfAPassOfTheirOwn) {
    const Case& c = GetParam();
    TempDir dir;
    WaveEnvironment env = MakeEnv(dir.path());
    env.SamplesStayInSourceFile = true;
    constexpr std::int64_t Frames = 100000;  // several store windows
    const auto input = dir / c.name;
    {
        auto made = MakeDocument(env, 2, 44100, Frames, [](std::int64_t f, int ch) {
            return (f % 5000 == 0 ? 4 : 1) * Noise16(f, ch) / 4;
        });
        ASSERT_TRUE(SaveAudioFile(*made, input).Saved());
    }
    const cli::SignalLevels expected = cli::MeasureLevels(*OpenAudioFile(input, env).Document);

    cli::LoadedLevels levels(env, true);
    auto wave = OpenAudioFile(input, env).Document;
    ASSERT_TRUE(wave);
    levels.Opened(*wave);
    std::vector<std::int32_t> block(static_cast<std::size_t>(2 * Frames));
    std::int64_t told = 0;
    switch (c.work) {
        case Work::None:
            break;
        case Work::ChangeFirst:
            WriteInterleaved(*wave, block.data(), SampleIndex{0}, 1);
            break;
        case Work::SkipAheadThenWalk:
            ReadInterleaved(*wave, block.data(), SampleIndex{Frames}, 1000);
            ReadInterleaved(*wave, block.data(), SampleIndex{0}, 2 * Frames);
            break;
        case Work::ReplaceAfterHalf:
            ReadInterleaved(*wave, block.data(), SampleIndex{0}, Frames);
            told = levels.SamplesTold();
            wave = MakeDocument(env, 2, 44100, Frames, [](std::int64_t, int) { return 7; });
            break;
    }
    if (c.work != Work::ReplaceAfterHalf) told = levels.SamplesTold();
    EXPECT_EQ(told == 2 * Frames, c.toldAllBeforeLevels);
    const auto gathered = levels.Levels(*wave, input);
    ASSERT_TRUE(gathered);
    EXPECT_EQ(gathered->PeakDbfs, expected.PeakDbfs);
    EXPECT_EQ(gathered->RmsDbfs, expected.RmsDbfs);
}

INSTANTIATE_TEST_SUITE_P(ReadInPlaceOrDecoded, LoadedLevelsTest,
                         testing::Values(Case{"in.wav", Work::None, false},
                                         Case{"in.wav", Work::ChangeFirst, true},
                                         Case{"in.wav", Work::SkipAheadThenWalk, true},
                                         Case{"in.wav", Work::ReplaceAfterHalf, false},
                                         Case{"in.flac", Work::None, true}));

}  // namespace
}  // namespace sv::test
