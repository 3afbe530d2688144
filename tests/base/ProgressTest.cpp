#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "base/Progress.h"
#include "base/Time.h"

namespace sv {
namespace {

TEST(DurationText, FormatsMinutesSecondsAndFraction) {
    EXPECT_EQ(DurationText(0, 1), "0 min  0 s");
    EXPECT_EQ(DurationText(90, 1), "1 min  30 s");
    EXPECT_EQ(DurationText(3725, 1), "62 min  5 s");
    EXPECT_EQ(DurationText(66150, 44100), "0 min  1.500 s");
    EXPECT_EQ(DurationText(88200, 44100), "0 min  2 s");
    EXPECT_EQ(DurationText(44145, 44100), "0 min  1.001 s");
}

TEST(DurationText, NoFiniteDurationIsShownAsUnknown) {
    for (auto [count, rate] : {std::pair<std::int64_t, std::int64_t>{44100, 0},
                               {0, 0},
                               {-5, 0},
                               {INT64_MAX, 1},
                               {INT64_MIN, 1}})
        EXPECT_EQ(DurationText(count, rate), "-- min  -- s") << count << " / " << rate;
    EXPECT_EQ(DurationText(INT64_MAX / 2, 1), "76861433640456465 min  4 s");
}

// Records what the window would show; the clock is a plain number the test moves.
class RecordingProgress final : public Progress {
  public:
    explicit RecordingProgress(const std::int64_t* now) : Progress([now] { return *now; }) {}
    void SetCaption(const std::string&) override {}
    void EnableCancel(bool) override {}
    void Show() override {}
    std::vector<std::string> estimates;
    std::vector<int> positions;
    int dispatches = 0;

  protected:
    void ShowEstimate(const std::string& text) override { estimates.push_back(text); }
    void ShowPosition(int pixels) override { positions.push_back(pixels); }
    void PollCancel() override { ++dispatches; }
};

TEST(Progress, EstimateExtrapolatesLinearly) {
    std::int64_t now = 1000;
    RecordingProgress half(&now);
    half.SetTotal(10);
    half.SetDone(0);
    EXPECT_TRUE(half.estimates.empty());  // nothing done: no estimate shown
    now += 10000;
    half.SetDone(5);
    ASSERT_EQ(half.estimates.size(), 1u);
    EXPECT_EQ(half.estimates.back(), "0 min  10 s");

    now = 0;
    RecordingProgress quarter(&now);
    quarter.SetTotal(4);
    now = 2000;
    quarter.SetDone(1);
    EXPECT_EQ(quarter.ShownEstimate(), 6);
    EXPECT_EQ(quarter.estimates.back(), "0 min  6 s");
    quarter.SetDone(1);
    EXPECT_EQ(quarter.estimates.size(), 1u);  // unchanged seconds are not rewritten
}

TEST(Progress, DispatchesOnlyAtPixelSteps) {
    std::int64_t now = 0;
    RecordingProgress progress(&now);
    progress.SetTotal(1000);
    const int afterMax = progress.dispatches;
    for (int i = 0; i <= 1000; ++i) progress.SetDone(i);
    EXPECT_EQ(progress.dispatches - afterMax, 300);
    EXPECT_EQ(progress.positions.size(), 300u);
    EXPECT_EQ(progress.Position(), 300);
}

TEST(Progress, ZeroTotalCountsAsOneAndCancelSticks) {
    std::int64_t now = 0;
    RecordingProgress progress(&now);
    progress.SetTotal(0);
    EXPECT_EQ(progress.Total(), 1);
    progress.SetDone(1);  // no division by zero
    EXPECT_EQ(progress.Position(), 300);
    EXPECT_FALSE(progress.CancelRequested());
    progress.RequestCancel();
    EXPECT_TRUE(progress.CancelRequested());
}

}  // namespace
}  // namespace sv
