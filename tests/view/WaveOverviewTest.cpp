#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "audio/Wave.h"
#include "base/IoError.h"
#include "support/TestFiles.h"
#include "view/WaveOverview.h"

namespace sv {
namespace {

struct WaveOverviewTest : ::testing::Test {
    test::TempDir dir;
    ViewPosition view{0, 1};
    WaveOverview overview{view};
    WaveEnvironment env = test::MakeEnv(dir.path(), nullptr, &overview);
};

TEST_F(WaveOverviewTest, FollowsWritesInsideTheView) {
    auto wave = Wave::CreateEmpty(1, 1, 8000, 16, 12000, env);
    const std::int32_t v = 1000;
    wave->WriteChannel(&v, 8192, 0, 1);
    EXPECT_EQ(overview.Value(*wave, 0, 0), 1000);
    const std::int32_t low = -500;
    wave->WriteRaw(&low, 8192 + 30, 1);  // frame 30 is column 3
    EXPECT_EQ(overview.Value(*wave, 7, 0), -500);
    view.ViewStart = 100;
    const std::int32_t far = 7777;
    wave->WriteRaw(&far, 8192 + 94, 1);  // more than half a column left of the view
    for (int slot = 0; slot < 2400; ++slot) ASSERT_NE(overview.Value(*wave, slot, 0), 7777);
}

TEST_F(WaveOverviewTest, BuildSummarizesColumns) {
    auto mono = Wave::CreateEmpty(1, 1, 8000, 16, 5000, env);
    std::vector<std::int32_t> values(1200);
    for (int k = 0; k < 1200; ++k) values[k] = (k % 2 ? -1 : 1) * (k + 1);
    mono->WriteRaw(values.data(), 8192, 1200);
    overview.Build(*mono, 0, 1200);
    EXPECT_TRUE(overview.Built(*mono));
    for (int k = 0; k < 1200; ++k) {
        ASSERT_EQ(overview.Value(*mono, 2 * k, 0), std::max(0, values[k]));
        ASSERT_EQ(overview.Value(*mono, 2 * k + 1, 0), std::min(0, values[k]));
    }
    auto stereo = Wave::CreateEmpty(1, 2, 8000, 16, 24000, env);
    std::vector<std::int32_t> frames(48000);
    for (int i = 0; i < 48000; ++i) frames[i] = i % 2 ? -3 - i : 5 + i;
    stereo->WriteRaw(frames.data(), 2 * 8192, 48000);
    overview.Build(*stereo, 0, 24000);
    for (int k = 0; k < 1200; ++k) {
        ASSERT_GT(overview.Value(*stereo, 2 * k, 0), 0);
        ASSERT_LT(overview.Value(*stereo, 2 * k + 1, 1), 0);
    }
}

// Each column holds the largest value (at least 0) and the smallest (at most 0) of its own
// frames, channel by channel, however many channels are read together.
TEST_F(WaveOverviewTest, BuildMatchesAPlainScanForEveryChannelCount) {
    for (const int ch : {1, 2, 3}) {
        SCOPED_TRACE(ch);
        const std::int64_t n = 7219;
        auto wave = Wave::CreateEmpty(1, static_cast<std::uint16_t>(ch), 8000, 16, n, env);
        std::vector<std::int32_t> raw(static_cast<std::size_t>(n * ch));
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = static_cast<std::int32_t>((i * 2654435761u) % 20001) - 10000;
        wave->WriteRaw(raw.data(), ch * 8192, n * ch);
        const std::int64_t first = 13, last = 6400;
        overview.Build(*wave, first, last);
        const float w = static_cast<float>(last - first) / 1200.0f;
        const auto cnt = static_cast<std::int64_t>(std::nearbyint(w));
        for (int k = 0; k < 1200; ++k) {
            const auto s = first + static_cast<std::int64_t>(std::nearbyint(double(k) * double(w)));
            for (int c = 0; c < ch; ++c) {
                std::int32_t hi = 0, lo = 0;
                for (std::int64_t f = s; f < s + cnt; ++f) {
                    const std::int32_t v = f < n ? raw[static_cast<std::size_t>(f * ch + c)] : 0;
                    hi = std::max(hi, v);
                    lo = std::min(lo, v);
                }
                ASSERT_EQ(overview.Value(*wave, 2 * k, c), hi) << k << " " << c;
                ASSERT_EQ(overview.Value(*wave, 2 * k + 1, c), lo) << k << " " << c;
            }
        }
    }
}

// Each document has a table of its own, and it goes with the document.
TEST_F(WaveOverviewTest, TablesBelongToOneDocumentEach) {
    auto first = Wave::CreateEmpty(1, 1, 8000, 16, 12000, env);
    auto second = Wave::CreateEmpty(1, 1, 8000, 16, 12000, env);
    const std::int32_t v = 1000;
    WriteInterleaved(*first, &v, SampleIndex{0}, 1);
    EXPECT_EQ(overview.Value(*first, 0, 0), 1000);
    EXPECT_EQ(overview.Value(*second, 0, 0), 0);
    const Wave* gone = first.get();
    first.reset();
    EXPECT_EQ(overview.Value(*second, 0, 0), 0);
    // Whatever address a later document gets, it starts with an empty table.
    auto third = Wave::CreateEmpty(1, 1, 8000, 16, 12000, env);
    if (third.get() == gone) EXPECT_EQ(overview.Value(*third, 0, 0), 0);
    EXPECT_FALSE(overview.Built(*third));
}

// A long write is summarized column by column, and lands in the same columns as the same values
// told one at a time.
TEST_F(WaveOverviewTest, LongWritesLandWhereSingleValuesLand) {
    struct Case {
        int channels;
        std::int64_t frames, viewStart;
        std::int32_t zoom;
        std::int64_t raw, stride, count;
    };
    const Case cases[] = {{2, 100000, 0, 1, 2 * 8192, 1, 200000},
                          {2, 100000, 0, 1, 2 * 8192 + 12345, 2, 40000},
                          {1, 3000, 0, 1, 8192 - 50, 1, 3100},
                          {3, 50000, 777, 3, 3 * 8192 + 1, 1, 150000},
                          {2, 7001, 1000, 2, 2 * 8192 + 3, 1, 9000}};
    WaveEnvironment quiet = test::MakeEnv(dir.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        auto wave =
            Wave::CreateEmpty(1, static_cast<std::uint16_t>(c.channels), 8000, 16, c.frames, quiet);
        std::vector<std::int32_t> values(static_cast<std::size_t>(c.count));
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<std::int32_t>((i * 2654435761u) % 20001) - 10000;
        ViewPosition at{c.viewStart, c.zoom};
        WaveOverview whole(at), single(at);
        whole.Written(*wave, c.raw, c.stride, values.data(), c.count);
        for (std::int64_t i = 0; i < c.count; ++i)
            single.Written(*wave, c.raw + i * c.stride, 1, &values[static_cast<std::size_t>(i)], 1);
        for (int slot = 0; slot < 2 * WaveOverview::Columns; ++slot)
            for (int ch = 0; ch < c.channels; ++ch)
                ASSERT_EQ(whole.Value(*wave, slot, ch), single.Value(*wave, slot, ch)) << slot;
    }
}

// A file read where it lies fills the overview in the pass that reads it, as a copying load
// does; its samples stay in the file (a later change to the file is a read error).
TEST_F(WaveOverviewTest, AFileReadInPlaceFillsTheOverviewAsACopyDoes) {
    for (const std::uint16_t channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const auto file = dir.path() / "in.wav";
        test::WriteWav(file, {.channels = channels, .bits = 16, .frames = 600001},
                       [](std::int64_t f, int c) { return test::Noise16(f, c); });
        WaveEnvironment inPlace = env;
        inPlace.SamplesStayInSourceFile = true;
        auto copied = Wave::CreateFromFile(file, env).Document;
        auto read = Wave::CreateFromFile(file, inPlace).Document;
        ASSERT_TRUE(copied && read);
        for (int slot = 0; slot < 2 * WaveOverview::Columns; ++slot)
            for (int c = 0; c < channels; ++c)
                ASSERT_EQ(overview.Value(*read, slot, c), overview.Value(*copied, slot, c));
        EXPECT_NE(overview.Value(*read, 0, 0), 0);
        std::filesystem::last_write_time(
            file, std::filesystem::last_write_time(file) + std::chrono::seconds(5));
        std::int32_t value = 0;
        EXPECT_NO_THROW(copied->ReadRaw(&value, 8192 * channels, 1));
        EXPECT_THROW(read->ReadRaw(&value, 8192 * channels, 1), IoError);
    }
}

}  // namespace
}  // namespace sv
