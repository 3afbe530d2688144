#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "base/IoError.h"
#include "support/RiffChunks.h"
#include "support/TestFiles.h"
#include "text/FileMessages.h"
#include "text/Language.h"

namespace sv {
namespace {

using test::TempDir;
using test::WavLayout;

struct WaveTest : ::testing::Test {
    TempDir dir;
    test::RecordingDialogs dialogs;
    WaveEnvironment env = test::MakeEnv(dir.path(), &dialogs);

    // The document, or null. Refusals other than not-PCM are reported as the front ends report
    // them; the not-PCM message names the file and is left to each test.
    std::unique_ptr<Wave> Load(const std::filesystem::path& path, bool* notPcm = nullptr,
                               LoadOutcome* outcome = nullptr) {
        LoadResult result = Wave::CreateFromFile(path, env);
        if (!result.Document && result.Outcome != LoadOutcome::NotPcm)
            dialogs.Message(LoadRefusalMessage(result.Outcome, result.Reason, env.WorkFolder));
        if (notPcm) *notPcm = result.Outcome == LoadOutcome::NotPcm;
        if (outcome) *outcome = result.Outcome;
        return std::move(result.Document);
    }
    std::int32_t Raw(Wave& wave, std::int64_t index) {
        std::int32_t v = 0;
        wave.ReadRaw(&v, index, 1);
        return v;
    }
    int SwapFiles() const { return dir.CountFiles(".swap"); }
};

TEST_F(WaveTest, StereoFileLoadsIntoMarginsAndInterleavedFrames) {
    WavLayout layout{.channels = 2, .frames = 300000};
    test::WriteWav(dir / "in.wav", layout,
                   [](std::int64_t f, int c) { return c ? -100 : 1 + f % 1000; });
    auto wave = Load(dir / "in.wav");
    ASSERT_TRUE(wave->HasData());
    EXPECT_EQ(wave->FrameCount(), 300000);
    EXPECT_EQ(wave->Memory().Length(), 632768);
    EXPECT_EQ(Raw(*wave, 16383), 0);
    EXPECT_EQ(Raw(*wave, 16384), 1 * 256);
    EXPECT_EQ(Raw(*wave, 16385), -100 * 256);
    EXPECT_EQ(Raw(*wave, 616384), 0);
    EXPECT_EQ(Raw(*wave, 632767), 0);
    std::vector<std::int32_t> right(4);
    wave->ReadChannel(right.data(), 8192, 1, 4);
    EXPECT_EQ(right, std::vector<std::int32_t>(4, -25600));
    EXPECT_EQ(SwapFiles(), 1);
    wave.reset();
    EXPECT_EQ(SwapFiles(), 0);
}

TEST_F(WaveTest, OneFrameOpensAndRoundTripsAndNoFrameIsTooShort) {
    test::WriteWav(dir / "stereo.wav", {.channels = 2, .frames = 1}, test::Noise16);
    auto stereo = Load(dir / "stereo.wav");
    ASSERT_NE(stereo, nullptr);
    EXPECT_EQ(stereo->FrameCount(), 1);
    ASSERT_TRUE(stereo->SaveToFile(dir / "out.wav").Saved());
    EXPECT_EQ(test::ReadFile(dir / "out.wav"), test::ReadFile(dir / "stereo.wav"));
    stereo.reset();
    test::WriteWav(dir / "empty.wav", {.channels = 1, .frames = 0}, test::Noise16);
    bool notPcm = true;
    LoadOutcome outcome = LoadOutcome::Loaded;
    EXPECT_EQ(Load(dir / "empty.wav", &notPcm, &outcome), nullptr);
    EXPECT_FALSE(notPcm);
    EXPECT_EQ(outcome, LoadOutcome::TooShort);
    EXPECT_EQ(dialogs.messages, std::vector<std::string>(1, "Sample is too short for this method"));
    EXPECT_EQ(SwapFiles(), 0);
}

TEST_F(WaveTest, DamagedOrForeignHeadersAreNotPcm) {
    const std::vector<WavLayout> bad = {
        {.formatTag = 3, .bits = 16, .frames = 600000},
        {.channels = 0, .frames = 600000},
        {.bits = 20, .frames = 600000},
        {.formatTag = 3, .bits = 64, .frames = 600000},
        {.formatTag = 6, .bits = 8, .frames = 600000},
        {.bits = 0, .frames = 600000},
        {.frames = 600000, .fmtSize = 14},
        {.frames = 600000, .fmtSize = 65537},  // larger than any real format
        {.channels = 257, .frames = 2000},     // above the channel cap
        {.channels = 999, .frames = 2},
        {.channels = 65535, .bits = 8, .frames = 1},
        {.rate = 0, .frames = 600000},
        {.rate = -1, .frames = 600000},                    // 4,294,967,295 Hz
        {.rate = INT32_MIN, .bits = 8, .frames = 600000},  // 2^31 Hz
        {.rate = 4000001, .frames = 600000},
    };
    for (const auto& layout : bad) {
        test::WriteWav(dir / "bad.wav", layout, [](std::int64_t, int) { return 0; });
        bool notPcm = false;
        LoadOutcome outcome = LoadOutcome::Loaded;
        auto wave = Load(dir / "bad.wav", &notPcm, &outcome);
        EXPECT_EQ(wave, nullptr);
        EXPECT_TRUE(notPcm);
        EXPECT_EQ(outcome, LoadOutcome::NotPcm);
    }
    // A fmt chunk claiming nearly 4 GiB, more than the file holds.
    std::string huge = test::WavBytes({.frames = 600000}, test::Noise16);
    const std::uint32_t hugeFmt = 0xFFFFFFF0u;
    std::memcpy(&huge[16], &hugeFmt, 4);
    test::WriteFile(dir / "hugefmt.wav", huge);
    test::WriteFile(dir / "tiny.wav", "RIFF");
    for (const char* name : {"hugefmt.wav", "tiny.wav"}) {
        bool notPcm = false;
        EXPECT_EQ(Load(dir / name, &notPcm), nullptr) << name;
        EXPECT_TRUE(notPcm) << name;
    }
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(SwapFiles(), 0);
}

TEST_F(WaveTest, DataBeyondTheEndOfTheFileIsRefusedAsDamageAndLeavesNoSwapFile) {
    WavLayout layout{.frames = 600000, .dataSizeOverride = 3000000000LL};  // above 2 GiB, unsigned
    test::WriteWav(dir / "cut.wav", layout, test::Noise16);
    bool notPcm = false;
    EXPECT_EQ(Load(dir / "cut.wav", &notPcm), nullptr);
    EXPECT_TRUE(notPcm);
    EXPECT_EQ(SwapFiles(), 0);
    EXPECT_THROW(Load(dir / "missing.wav"), IoError);
}

TEST_F(WaveTest, ChunksBeforeTheDataAreSkipped) {
    WavLayout layout{.channels = 2,
                     .frames = 250000,
                     .chunksBeforeData = {{"LIST", "INFOISFT\x05\0\0\0tool\0"}, {"fact", "abcd"}}};
    test::WriteWav(dir / "list.wav", layout, test::Noise16);
    auto wave = Load(dir / "list.wav");
    ASSERT_TRUE(wave->HasData());
    EXPECT_EQ(Raw(*wave, 2 * 8192 + 3), test::Noise16(1, 1) * 256);
}

TEST_F(WaveTest, EightBitAndSixteenBitConversionsRoundTrip) {
    auto wave16 = Wave::CreateEmpty(1, 1, 8000, 16, 6, env);
    auto wave8 = Wave::CreateEmpty(1, 1, 8000, 8, 6, env);
    const std::vector<std::int32_t> values = {-1, 8388607, -8388608, 255, -32768, 32512};
    wave16->WriteRaw(values.data(), 8192, 6);
    wave8->WriteRaw(values.data(), 8192, 6);
    ASSERT_TRUE(wave16->SaveToFile(dir / "a16.wav").Saved());
    ASSERT_TRUE(wave8->SaveToFile(dir / "a8.wav").Saved());
    const std::string s16 = test::ReadFile(dir / "a16.wav");
    const std::string s8 = test::ReadFile(dir / "a8.wav");
    ASSERT_EQ(s16.size(), 44u + 12);
    ASSERT_EQ(s8.size(), 44u + 6);
    auto sample16 = [&](int i) {
        return static_cast<std::int16_t>(static_cast<unsigned char>(s16[44 + 2 * i]) |
                                         (static_cast<unsigned char>(s16[45 + 2 * i]) << 8));
    };
    EXPECT_EQ(sample16(0), 0);  // -1 / 256 truncates toward zero
    EXPECT_EQ(sample16(1), 32767);
    EXPECT_EQ(sample16(2), -32768);
    EXPECT_EQ(static_cast<unsigned char>(s8[44]), 128);
    EXPECT_EQ(static_cast<unsigned char>(s8[48]), 0);
    EXPECT_EQ(static_cast<unsigned char>(s8[49]), 255);
    EXPECT_EQ(static_cast<unsigned char>(s8[45]), 255);  // clipped

    // 8-bit 0 and 255 load as -32768 and 32512 and save back unchanged.
    test::WriteWav(dir / "in8.wav", {.bits = 8, .frames = 500000},
                   [](std::int64_t f, int) { return f % 2 ? 255 : 0; });
    auto loaded = Load(dir / "in8.wav");
    EXPECT_EQ(Raw(*loaded, 8192), -32768);
    EXPECT_EQ(Raw(*loaded, 8193), 32512);
    ASSERT_TRUE(loaded->SaveToFile(dir / "out8.wav").Saved());
    EXPECT_EQ(test::ReadFile(dir / "in8.wav"), test::ReadFile(dir / "out8.wav"));
}

TEST_F(WaveTest, SavedHeaderKeepsTheFmtExtensionAndRecomputesSizes) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 250001, .fmtSize = 18}, test::Noise16);
    auto wave = Load(dir / "in.wav");
    ASSERT_TRUE(wave->HasData());
    EXPECT_EQ(wave->Format().FmtSize, 18u);
    ASSERT_TRUE(wave->SaveToFile(dir / "out.wav").Saved());
    const std::string in = test::ReadFile(dir / "in.wav");
    const std::string out = test::ReadFile(dir / "out.wav");
    EXPECT_EQ(in, out);
    EXPECT_EQ(out.substr(36, 2), std::string(2, '\0'));
    std::uint32_t riff = 0;
    std::memcpy(&riff, out.data() + 4, 4);
    EXPECT_EQ(riff, 38u + 250001u * 4);

    auto empty = Wave::CreateEmpty(1, 2, 44100, 16, 1000, env);
    ASSERT_TRUE(empty->SaveToFile(dir / "empty.wav").Saved());
    const std::string e = test::ReadFile(dir / "empty.wav");
    EXPECT_EQ(e.size(), 44u + 4000);
    std::memcpy(&riff, e.data() + 4, 4);
    EXPECT_EQ(riff, 36u + 4000);
}

TEST_F(WaveTest, DataSizeNotAMultipleOfTheFrameRoundsDown) {
    WavLayout layout{.channels = 2, .frames = 250000};
    std::string bytes = test::WavBytes(layout, test::Noise16);
    bytes += "xyz";  // three stray bytes counted in DataSize
    const std::uint32_t dataSize = 250000 * 4 + 3;
    std::memcpy(&bytes[40], &dataSize, 4);
    test::WriteFile(dir / "odd.wav", bytes);
    auto wave = Load(dir / "odd.wav");
    ASSERT_TRUE(wave->HasData());
    EXPECT_EQ(wave->FrameCount(), 250000);
    ASSERT_TRUE(wave->SaveToFile(dir / "out.wav").Saved());
    const std::string out = test::ReadFile(dir / "out.wav");
    EXPECT_EQ(out.size(), 44u + 250000 * 4);
    // Whole frames only, with sizes that agree with the file's length.
    std::uint32_t written = 0, riff = 0;
    std::memcpy(&written, out.data() + 40, 4);
    std::memcpy(&riff, out.data() + 4, 4);
    EXPECT_EQ(written, 250000u * 4);
    EXPECT_EQ(riff, out.size() - 8);
    EXPECT_EQ(out.substr(44), bytes.substr(44, 250000 * 4));
}

TEST_F(WaveTest, OddFmtChunkIsPaddedWhenReadAndWhenSaved) {
    // A 17-byte fmt chunk and its pad byte, as RIFF lays out every odd chunk.
    std::string bytes =
        test::WavBytes({.channels = 2, .frames = 250000, .fmtSize = 17}, test::Noise16);
    bytes.insert(20 + 17, 1, '\0');
    const std::uint32_t riff = static_cast<std::uint32_t>(bytes.size() - 8);
    std::memcpy(&bytes[4], &riff, 4);
    test::WriteFile(dir / "odd.wav", bytes);
    auto wave = Load(dir / "odd.wav");
    ASSERT_TRUE(wave->HasData());
    EXPECT_EQ(wave->Format().FmtSize, 17u);
    EXPECT_EQ(Raw(*wave, 2 * 8192 + 1), test::Noise16(0, 1) * 256);
    ASSERT_TRUE(wave->SaveToFile(dir / "out.wav").Saved());
    EXPECT_EQ(test::ReadFile(dir / "out.wav"), bytes);
}

TEST_F(WaveTest, BoundaryRatesLoadAndKeepTheirHeader) {
    for (std::int32_t rate : {1, 4000000}) {
        test::WriteWav(dir / "in.wav", {.rate = rate, .frames = 491520}, test::Noise16);
        auto wave = Load(dir / "in.wav");
        ASSERT_TRUE(wave->HasData()) << rate;
        EXPECT_EQ(wave->SampleRate(), rate);
        ASSERT_TRUE(wave->SaveToFile(dir / "out.wav").Saved());
        EXPECT_EQ(test::ReadFile(dir / "out.wav"), test::ReadFile(dir / "in.wav")) << rate;
    }
}

TEST_F(WaveTest, AnyChannelCountUpToTheCapHasSilentMarginsAndRoundTrips) {
    for (const int channels : {3, 21, 24, 64, 65, 255, Wave::MaxChannels}) {
        const std::int64_t frames = (Wave::MinimumValues + channels - 1) / channels;
        const std::uint16_t bits = channels % 2 ? 8 : 16;
        auto sample = [bits](std::int64_t f, int c) {
            const int v = test::Noise16(f, c);
            return bits == 8 ? (v & 0xff) : v;
        };
        test::WriteWav(
            dir / "in.wav",
            {.channels = static_cast<std::uint16_t>(channels), .bits = bits, .frames = frames},
            sample);
        auto wave = Load(dir / "in.wav");
        ASSERT_TRUE(wave->HasData()) << channels;
        const auto store = test::StoreValues(*wave);
        const std::int64_t margin = channels * MarginFrames;
        ASSERT_EQ(static_cast<std::int64_t>(store.size()), 2 * margin + frames * channels);
        auto zerosIn = [&](std::int64_t from, std::int64_t count) {
            return std::all_of(store.begin() + from, store.begin() + from + count,
                               [](std::int32_t v) { return v == 0; });
        };
        EXPECT_TRUE(zerosIn(0, margin)) << channels;
        EXPECT_TRUE(zerosIn(margin + frames * channels, margin)) << channels;
        const int last = channels - 1;
        const std::int32_t expected =
            bits == 8 ? (sample(frames - 1, last) - 128) * 256 : sample(frames - 1, last) * 256;
        EXPECT_EQ(store[static_cast<std::size_t>(margin + frames * channels - 1)], expected);
        ASSERT_TRUE(wave->SaveToFile(dir / "out.wav").Saved());
        EXPECT_EQ(test::ReadFile(dir / "out.wav"), test::ReadFile(dir / "in.wav")) << channels;

        // The tail a deletion leaves behind is silent in every channel too.
        DeleteBlock(*wave, 0, frames / 2);
        const auto after = test::StoreValues(*wave);
        const std::int64_t kept = (frames - frames / 2) * channels;
        EXPECT_TRUE(std::all_of(after.begin() + margin + kept, after.end(), [](std::int32_t v) {
            return v == 0;
        })) << channels;
    }
    EXPECT_EQ(SwapFiles(), 0);
}

TEST_F(WaveTest, FormatsWhoseHeaderFieldsCannotBeRepresentedAreRefused) {
    struct Case {
        std::uint16_t channels;
        std::int32_t rate;
        std::uint16_t bits;
        std::int64_t frames;
        bool valid;
    };
    const Case cases[] = {
        {32768, 8000, 16, 1, false},       // block align 65,536
        {65535, 44100, 8, 1, false},       // byte rate above 31 bits
        {2, 1 << 30, 16, 1, false},        // byte rate 2^32
        {2, 44100, 16, 1LL << 30, false},  // data size 4 GiB
        {2, 44100, 16, -1, false},
        {0, 44100, 16, 1, false},
        {1, 44100, 0, 1, false},
        {2, 44100, 16, (0xFFFFFFFFLL - 36) / 4, true},  // the largest that still fits
        {256, 4000000, 16, 0, true},
    };
    for (const Case& c : cases) {
        // Importers ask first and refuse with the problem named.
        const NewWavFormat asked = MakeWavFormat(1, c.channels, c.rate, c.bits, c.frames);
        EXPECT_EQ(asked.Format.has_value(), c.valid) << asked.Problem;
        EXPECT_EQ(asked.Problem.empty(), c.valid);
        if (c.valid) {
            auto wave = Wave::CreateEmpty(1, c.channels, c.rate, c.bits, c.frames, env);
            EXPECT_EQ(wave->FrameCount(), c.frames);
        } else {
            EXPECT_THROW(Wave::CreateEmpty(1, c.channels, c.rate, c.bits, c.frames, env),
                         std::invalid_argument)
                << c.channels << " " << c.rate << " " << c.frames;
        }
    }
    EXPECT_EQ(SwapFiles(), 0);
}

TEST_F(WaveTest, FailedSaveLeavesTheOldFileIntact) {
    auto wave = Wave::CreateEmpty(1, 2, 44100, 16, 300000, env);
    test::WriteFile(dir / "old.wav", "precious bytes");
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto* previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100000;  // a full disk for everything this process writes
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = wave->SaveToFile(dir / "old.wav").Saved();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(test::ReadFile(dir / "old.wav"), "precious bytes");
    EXPECT_EQ(dir.CountFiles(), 2);  // old.wav and the swap file: no temporary left

    std::filesystem::permissions(dir / "old.wav", std::filesystem::perms::owner_read);
    EXPECT_TRUE(IsWriteProtected(dir / "old.wav"));
    EXPECT_FALSE(wave->SaveToFile(dir / "old.wav").Saved());
    EXPECT_EQ(test::ReadFile(dir / "old.wav"), "precious bytes");
}

TEST_F(WaveTest, SavingOverTheSourceFileWorks) {
    test::WriteWav(dir / "a.wav", {.channels = 1, .frames = 500000}, test::Noise16);
    const std::string before = test::ReadFile(dir / "a.wav");
    auto wave = Load(dir / "a.wav");
    ASSERT_TRUE(wave->SaveToFile(dir / "a.wav").Saved());
    EXPECT_EQ(test::ReadFile(dir / "a.wav"), before);
}

// A document read through its file must be, value for value and at every step, the document a
// copying load makes: through window moves both ways, a first change, a save over the source.
TEST_F(WaveTest, ADocumentReadThroughItsFileIsTheDocumentACopyingLoadMakes) {
    struct Case {
        std::uint16_t tag, channels, bits;
    };
    const Case cases[] = {{1, 1, 8}, {1, 2, 16}, {1, 2, 24}, {1, 1, 32}, {3, 2, 32}};
    WaveEnvironment through = env;
    through.SamplesStayInSourceFile = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tag << "/" << c.channels << "/" << c.bits);
        const auto file = dir / "in.wav";
        test::WriteWav(
            file, {.formatTag = c.tag, .channels = c.channels, .bits = c.bits, .frames = 250001},
            [&](std::int64_t f, int ch) {
                const int n = test::Noise16(f, ch);
                if (c.tag == 3) return std::bit_cast<int>(n / 32768.0f * 1.5f);
                const int low = c.bits > 16 ? static_cast<int>(f & 255) : 0;  // every byte used
                return c.bits == 8 ? n & 255 : n * (1 << (c.bits - 16)) + low;
            });
        auto copied = Load(file);
        auto read = Wave::CreateFromFile(file, through).Document;
        ASSERT_TRUE(copied && read);
        const std::int64_t length = copied->Memory().Length();
        ASSERT_EQ(read->Memory().Length(), length);
        auto everything = [&](Wave& wave, bool backwards) {
            // Not zeros: a read must write every value it returns.
            std::vector<std::int32_t> all(static_cast<std::size_t>(length), 0x5A5A5A5A);
            // Not a fraction of the window (test::MakeEnv's): spans cross the ring's wrap.
            const std::int64_t piece = 70001;
            for (std::int64_t k = 0; k * piece < length; ++k) {
                const std::int64_t first =
                    backwards ? std::max<std::int64_t>(0, length - (k + 1) * piece) : k * piece;
                const std::int64_t end =
                    backwards ? length - k * piece : std::min(length, first + piece);
                wave.ReadRaw(all.data() + first, first, end - first);
            }
            return all;
        };
        const auto expected = everything(*copied, false);
        EXPECT_EQ(everything(*read, true), expected);
        EXPECT_EQ(everything(*read, false), expected);
        // Saved unchanged, the samples come from the file as they are, in the same bytes.
        ASSERT_TRUE(copied->SaveToFile(dir / "copied.wav").Saved());
        ASSERT_TRUE(read->SaveToFile(dir / "read.wav").Saved());
        EXPECT_EQ(test::ReadFile(dir / "read.wav"), test::ReadFile(dir / "copied.wav"));
        // The first change copies the samples in; the rest must stay as they were.
        const std::int32_t changed[3] = {7, -7, 77};
        for (Wave* wave : {copied.get(), read.get()}) wave->WriteRaw(changed, length / 2, 3);
        EXPECT_EQ(everything(*read, true), everything(*copied, true));
        ASSERT_TRUE(copied->SaveToFile(dir / "copied.wav").Saved());

        // Saved over its own file, the document still has the samples it had: after a rename
        // over the file, and after writing it in place (a file with a second name).
        for (bool inPlace : {false, true}) {
            if (inPlace) std::filesystem::create_hard_link(file, dir / "second name.wav");
            auto again = Wave::CreateFromFile(file, through).Document;
            ASSERT_TRUE(again->SaveToFile(file).Saved());
            again->WriteRaw(changed, length / 2, 3);
            ASSERT_TRUE(again->SaveToFile(dir / "again.wav").Saved());
            EXPECT_EQ(test::ReadFile(dir / "again.wav"), test::ReadFile(dir / "copied.wav"));
        }
        std::filesystem::remove(dir / "second name.wav");
    }
    EXPECT_EQ(SwapFiles(), 0);
}

// Another program writing into the file must not change the document unseen.
TEST_F(WaveTest, ADocumentReadThroughAFileThatChangesFailsToRead) {
    WaveEnvironment through = env;
    through.SamplesStayInSourceFile = true;
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 600000}, test::Noise16);
    auto wave = Wave::CreateFromFile(dir / "in.wav", through).Document;
    std::int32_t value = 0;
    wave->ReadRaw(&value, 100, 1);
    std::ofstream(dir / "in.wav", std::ios::binary | std::ios::app).put('x');
    std::vector<std::int32_t> all(static_cast<std::size_t>(wave->Memory().Length()));
    EXPECT_THROW(wave->ReadRaw(all.data(), 0, static_cast<std::int64_t>(all.size())), IoError);
}

TEST_F(WaveTest, SavingThroughALinkReplacesTheLinkedFile) {
    auto wave = Wave::CreateEmpty(1, 1, 8000, 16, 10, env);
    test::WriteFile(dir / "real.wav", "old");
    std::filesystem::create_symlink(dir / "real.wav", dir / "link.wav");
    ASSERT_TRUE(wave->SaveToFile(dir / "link.wav").Saved());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.wav"));
    EXPECT_EQ(std::filesystem::file_size(dir / "real.wav"), 44u + 20);
}

TEST_F(WaveTest, SwapFilesOfManyDocumentsNeverCollide) {
    std::vector<std::unique_ptr<Wave>> docs;
    for (int i = 0; i < 40; ++i) docs.push_back(Wave::CreateEmpty(1, 1, 8000, 16, 10, env));
    EXPECT_EQ(SwapFiles(), 40);
    docs.clear();
    EXPECT_EQ(SwapFiles(), 0);
}

TEST_F(WaveTest, DeleteBlockClampsAndClearsTheTail) {
    const std::int64_t n = 1000;
    auto wave = Wave::CreateEmpty(1, 2, 8000, 16, n, env);
    std::vector<std::int32_t> frames(2 * n);
    for (std::int64_t i = 0; i < 2 * n; ++i) frames[i] = static_cast<std::int32_t>(i + 1);
    wave->WriteRaw(frames.data(), 2 * 8192, 2 * n);
    DeleteBlock(*wave, -5, 100);
    EXPECT_EQ(wave->FrameCount(), 900);
    EXPECT_EQ(Raw(*wave, 2 * 8192), 201);  // old frame 100, left channel
    DeleteBlock(*wave, 890, 950);
    EXPECT_EQ(wave->FrameCount(), 890);
    EXPECT_EQ(wave->Memory().Length(), 2 * (890 + 16384));
    for (std::int64_t r = 2 * (890 + 8192); r < 2 * (890 + 16384); ++r) ASSERT_EQ(Raw(*wave, r), 0);
    ASSERT_TRUE(wave->SaveToFile(dir / "cut.wav").Saved());
    EXPECT_EQ(std::filesystem::file_size(dir / "cut.wav"), 44u + 890 * 4);
    DeleteBlock(*wave, 0, 890);
    EXPECT_EQ(wave->FrameCount(), 0);
    EXPECT_FALSE(wave->HasData());
}

TEST_F(WaveTest, ChunkLayoutsAndHeaderFieldsTheReaderMustNotTrust) {
    const std::string plain = test::WavBytes({.frames = 491520}, test::Noise16);
    std::string notWave = plain,
                dataFirst = plain.substr(0, 12) + plain.substr(36) +
                            plain.substr(12, 24),  // data chunk, then fmt
        zeroFields = plain;                        // byte rate and block align 0
    notWave.replace(8, 4, "AVI ");
    zeroFields.replace(28, 6, std::string(6, '\0'));
    // An odd chunk last, its pad byte missing.
    std::string unpadded =
        test::WavWithChunks({.frames = 491520}, {{"note", "abc"}}, test::Noise16);
    unpadded.pop_back();
    // Extensible, claiming 20 valid bits of 24, channel mask 4.
    std::string extensible = test::WavBytes(
        {.formatTag = WaveExtensibleTag, .bits = 24, .frames = 491520, .fmtSize = 40},
        test::Noise16);
    extensible.replace(
        36, 24,
        std::string("\x16\0\x14\0\4\0\0\0\1\0\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 24));
    for (const std::string* bytes : {&notWave, &dataFirst, &zeroFields, &unpadded, &extensible}) {
        test::WriteFile(dir / "in.wav", *bytes);
        auto wave = Load(dir / "in.wav");
        ASSERT_EQ(wave == nullptr, bytes == &notWave);
        if (!wave) continue;
        EXPECT_EQ(Raw(*wave, 8192 + 7), test::Noise16(7, 0) * (bytes == &extensible ? 1 : 256));
        ASSERT_TRUE(wave->SaveToFile(dir / "out.wav").Saved());
        const std::string out = test::ReadFile(dir / "out.wav");
        if (bytes == &extensible) {
            EXPECT_EQ(out.substr(28, 16),
                      test::Le32Text(132300) + std::string("\3\0\x18\0\x16\0\x18\0\4\0\0\0", 12));
        } else if (bytes == &unpadded) {
            EXPECT_EQ(test::ChunksOf(out).back(), test::Chunk("note", "abc"));
        } else {
            EXPECT_EQ(out, plain);
        }
    }
}

TEST_F(WaveTest, BlockDeleteMovesCuePointsAndLoopsAfterItAndDropsThoseInside) {
    auto words = [](std::initializer_list<std::uint32_t> list) {
        std::string out;
        for (const std::uint32_t w : list) out += test::Le32Text(w);
        return out;
    };
    auto cue = [&](std::uint32_t frame) {
        return words({1, frame}) + "data" + words({0, 0, frame});
    };
    auto loop = [&](std::uint32_t start, std::uint32_t end) {
        return words({7, 0, start, end, 0, 0});
    };
    const std::string smpl = words({0, 0, 125000, 60, 0, 0, 0});
    auto bytes = [](const std::string& text) {
        return std::vector<unsigned char>(text.begin(), text.end());
    };
    auto wave = Wave::CreateEmpty(1, 1, 8000, 16, 10000, env);
    wave->Metadata().Chunks = {
        {{'c', 'u', 'e', ' '}, bytes(words({3}) + cue(100) + cue(5000) + cue(9000))},
        {{'s', 'm', 'p', 'l'},
         bytes(smpl + words({4, 4}) + loop(200, 300) + loop(500, 7000) + loop(2000, 3000) +
               loop(8000, 9000) + "ABCD")}};
    DeleteBlock(*wave, 1000, 6000);
    EXPECT_EQ(wave->Metadata().Chunks[0].Body, bytes(words({2}) + cue(100) + cue(4000)));
    EXPECT_EQ(wave->Metadata().Chunks[1].Body, bytes(smpl + words({3, 4}) + loop(200, 300) +
                                                     loop(500, 2000) + loop(3000, 4000) + "ABCD"));
}

TEST_F(WaveTest, LowDiskSpaceIsReportedWithTheFolder) {
    // A work folder on a tmpfs of 1 MiB cannot take five times a 600 kB file.
    TempDir mount;
    if (::geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=1m tmpfs " + mount.path().string() + " 2>/dev/null")
                        .c_str()) != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    env.WorkFolder = mount.path();
    test::WriteWav(dir / "in.wav", {.frames = 300000}, test::Noise16);
    bool notPcm = true;
    auto wave = Load(dir / "in.wav", &notPcm);
    std::system(("umount " + mount.path().string()).c_str());
    EXPECT_EQ(wave, nullptr);
    EXPECT_FALSE(notPcm);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0],
              "Low disk space " + mount.path().string() + "/ for needs calculation");
}

TEST(LoadRefusalMessage, NamesARelativeWorkFolderByItsFullPath) {
    EXPECT_EQ(LoadRefusalMessage(LoadOutcome::LowDiskSpace, "", "tfs"),
              "Low disk space " + (std::filesystem::current_path() / "tfs").string() +
                  "/ for needs calculation");
}

TEST_F(WaveTest, LowDiskSpaceCountsTheMarginsOfEveryChannel) {
    // A 1 MB file of 256 channels: five times its size fits in 20 MiB, its store and the
    // engine's output beside it (2 x 18.7 MB) do not.
    TempDir mount;
    if (::geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=20m tmpfs " + mount.path().string() + " 2>/dev/null")
                        .c_str()) != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    env.WorkFolder = mount.path();
    test::WriteWav(dir / "in.wav", {.channels = 256, .frames = 1920}, test::Noise16);
    LoadOutcome outcome = LoadOutcome::Loaded;
    auto wide = Load(dir / "in.wav", nullptr, &outcome);
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 245760}, test::Noise16);
    auto stereo = Load(dir / "in.wav");  // the same file size in two channels fits
    const bool stereoLoaded = stereo != nullptr;
    stereo.reset();
    std::system(("umount " + mount.path().string()).c_str());
    EXPECT_EQ(wide, nullptr);
    EXPECT_EQ(outcome, LoadOutcome::LowDiskSpace);
    EXPECT_TRUE(stereoLoaded);
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

}  // namespace
}  // namespace sv
