#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "base/Progress.h"

namespace sv {
namespace {

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
