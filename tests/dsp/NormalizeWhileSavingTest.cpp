// Normalizing applied by the save must give the very bytes of normalizing the document and then
// saving it, in every format the save writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "audio/AudioFileFormats.h"
#include "dsp/RemasterChain.h"
#include "support/EngineFixture.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

using Values = std::function<std::int32_t(std::int64_t, int)>;

// Values spread over ±amplitude; channel c peaks at amplitude / (c + 1), and silentChannel is 0.
Values Spread(std::int64_t amplitude, int silentChannel = -1) {
    return [=](std::int64_t f, int c) -> std::int32_t {
        if (c == silentChannel) return 0;
        const std::uint64_t x =
            static_cast<std::uint64_t>(f * 2654435761u + c * 40503u + 7) * 6364136223846793005u;
        const std::int64_t range = 2 * amplitude / (c + 1);
        return static_cast<std::int32_t>(static_cast<std::int64_t>(x >> 22) % range - range / 2);
    };
}

// libsndfile stamps a float file's PEAK chunk with the time of writing; two saves a second
// apart differ there only.
std::string WithoutPeakTime(std::string bytes) {
    const auto at = bytes.find("PEAK");
    if (at != std::string::npos && at + 16 <= bytes.size()) bytes.replace(at + 12, 4, 4, '\0');
    return bytes;
}

struct Case {
    const char* name;
    std::uint16_t tag;
    std::uint16_t bits;
    int channels;
    std::int64_t amplitude;
    int silentChannel;
    bool perChannel;
    int levelDb;
    bool fitPeaks;
    const char* extension;
};

struct NormalizeWhileSavingTest : test::EngineFixture {
    static constexpr std::int64_t Frames = 70001;  // four blocks and a bit

    std::unique_ptr<Wave> Make(const Case& k) {
        auto wave = Wave::CreateEmpty(k.tag, static_cast<std::uint16_t>(k.channels), 44100, k.bits,
                                      Frames, env);
        const Values value = Spread(k.amplitude, k.silentChannel);
        std::vector<std::int32_t> raw(static_cast<std::size_t>(Frames * k.channels));
        for (std::int64_t f = 0; f < Frames; ++f)
            for (int c = 0; c < k.channels; ++c)
                raw[static_cast<std::size_t>(f * k.channels + c)] = value(f, c);
        wave->WriteRaw(raw.data(), k.channels * MarginFrames, Frames * k.channels);
        return wave;
    }

    RemasterSettings Settings(const Case& k) {
        RemasterSettings s;
        s.FitPeaks = k.fitPeaks;
        s.Normalize = true;
        s.PerChannel = k.perChannel;
        s.NormalizeDb = k.levelDb;
        return s;
    }

    // The file of the chain with normalizing walking the document, then with the save applying
    // its gains; gainsOut gets the gains the save applied.
    std::pair<std::string, std::string> BothWays(const std::function<std::unique_ptr<Wave>()>& make,
                                                 const RemasterSettings& s, const char* extension,
                                                 std::vector<float>& gainsOut) {
        SharedSpectra spectra;
        auto walked = make();
        const auto walkedName = dir / (std::string("walked") + extension);
        EXPECT_EQ(RunChain(*engine, walked, s, spectra).Result, WalkResult::Completed);
        EXPECT_TRUE(SaveAudioFile(*walked, walkedName).Saved());

        auto fused = make();
        const Wave* before = fused.get();
        const auto fusedName = dir / (std::string("fused") + extension);
        ChainOutcome outcome = RunChain(*engine, fused, s, spectra, {.NormalizeWhileSaving = true});
        EXPECT_EQ(outcome.Result, WalkResult::Completed);
        gainsOut = std::move(outcome.SaveGains);
        // Only the stages before normalizing may have replaced the document.
        if (!s.FitPeaks) {
            EXPECT_EQ(fused.get(), before);
        }
        EXPECT_TRUE(SaveAudioFile(*fused, fusedName, gainsOut).Saved());
        return {WithoutPeakTime(test::ReadFile(walkedName)),
                WithoutPeakTime(test::ReadFile(fusedName))};
    }
};

TEST_F(NormalizeWhileSavingTest, SavedBytesEqualNormalizingThenSaving) {
    constexpr std::int64_t Big = std::int64_t{1} << 30;  // beyond 2^29: the wide product
    const Case cases[] = {
        {"16-bit linked", 1, 16, 2, 3000000, -1, false, 0, false, ".wav"},
        {"16-bit per channel -3 dB", 1, 16, 2, 3000000, -1, true, -3, false, ".wav"},
        {"8-bit", 1, 8, 2, 20000, -1, false, -1, false, ".wav"},
        {"24-bit silent right", 1, 24, 2, 5000000, 1, false, 0, false, ".wav"},
        {"24-bit silent left per channel", 1, 24, 2, 5000000, 0, true, -48, false, ".wav"},
        {"24-bit extensible", WaveExtensibleTag, 24, 2, 700000, -1, false, -6, false, ".wav"},
        {"32-bit large values", 1, 32, 2, Big, -1, false, 0, false, ".wav"},
        {"32-bit three channels", 1, 32, 3, Big, 1, true, -2, false, ".wav"},
        {"float large values", WaveFloatTag, 32, 2, Big, -1, true, -1, false, ".wav"},
        {"float mono", WaveFloatTag, 32, 1, 900000, -1, false, 0, false, ".wav"},
        {"16-bit after peak fitting", 1, 16, 2, 8000000, -1, false, 0, true, ".wav"},
        {"32-bit after peak fitting", 1, 32, 2, Big, -1, true, -4, true, ".wav"},
        {"FLAC 24-bit", 1, 24, 2, 5000000, -1, false, -2, false, ".flac"},
        {"FLAC 16-bit silent left", 1, 16, 2, 3000000, 0, false, 0, true, ".flac"},
        {"AIFF 32-bit large values", 1, 32, 2, Big, -1, true, 0, false, ".aiff"},
        {"AIFF float", WaveFloatTag, 32, 2, 900000, -1, false, -5, false, ".aiff"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::vector<float> gains;
        const auto [walked, fused] =
            BothWays([&] { return Make(k); }, Settings(k), k.extension, gains);
        ASSERT_EQ(gains.size(), static_cast<std::size_t>(k.channels));
        for (int c = 0; c < k.channels; ++c)
            EXPECT_EQ(gains[c] == 0.0f, c == k.silentChannel) << "channel " << c;
        ASSERT_FALSE(walked.empty());
        EXPECT_TRUE(walked == fused);  // not EXPECT_EQ: a megabyte dump helps nobody
    }
}

// A loaded file keeps its header fields as they came, but normalizing makes a new document whose
// block align and byte rate follow from the format; the fused save must write those.
TEST_F(NormalizeWhileSavingTest, AFileWithOddHeaderFieldsSavesAsTheNormalizedDocument) {
    std::string bytes = test::WavBytes({.channels = 2, .bits = 16, .frames = 250000},
                                       [](std::int64_t f, int c) { return Spread(9000)(f, c); });
    bytes[28] = 1;  // byte rate off by one...
    bytes[32] = 3;  // ...and block align wrong
    test::WriteFile(dir / "odd.wav", bytes);
    auto load = [&] { return OpenAudioFile(dir / "odd.wav", env).Document; };
    RemasterSettings s;
    s.Normalize = true;
    std::vector<float> gains;
    const auto [walked, fused] = BothWays(load, s, ".wav", gains);
    ASSERT_FALSE(walked.empty());
    EXPECT_TRUE(walked == fused);
}

// A cancel pending when normalizing starts cancels it either way, and the save gets no gains.
TEST_F(NormalizeWhileSavingTest, APendingCancelLeavesNoGains) {
    const Case k{"", 1, 16, 2, 3000000, -1, false, 0, false, ".wav"};
    script.cancelAtUnit = 0;
    SharedSpectra spectra;
    auto walked = Make(k);
    EXPECT_EQ(RunChain(*engine, walked, Settings(k), spectra).Result, WalkResult::Cancelled);
    auto fused = Make(k);
    const ChainOutcome outcome =
        RunChain(*engine, fused, Settings(k), spectra, {.NormalizeWhileSaving = true});
    EXPECT_EQ(outcome.Result, WalkResult::Cancelled);
    EXPECT_TRUE(outcome.SaveGains.empty());
}

}  // namespace
}  // namespace sv
