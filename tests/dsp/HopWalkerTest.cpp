#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "dsp/HopWalker.h"

// A walk that starts on one thread and is paired part of the way: every channel still sees each
// hop once and in order, the channels after the first move to the second thread from the hop
// after the one that found a core free, and every hop is reported in order.

namespace sv {
namespace {

class RecordingStage final : public HopStage {
  public:
    struct Visit {
        std::int64_t hop;
        std::thread::id thread;
    };
    explicit RecordingStage(int channels) : visits_(static_cast<std::size_t>(channels)) {}
    void Hop(HopLane&, int channel, std::int64_t hop) override {
        std::lock_guard lock(mutex_);
        visits_[static_cast<std::size_t>(channel)].push_back({hop, std::this_thread::get_id()});
    }
    const std::vector<Visit>& Of(int channel) const {
        return visits_[static_cast<std::size_t>(channel)];
    }

  private:
    std::mutex mutex_;
    std::vector<std::vector<Visit>> visits_;
};

TEST(HopWalkerThreads, AWalkPairedPartOfTheWayKeepsEveryChannelsHopsInOrder) {
    struct Case {
        int channels;
        std::int64_t trail;
        bool eitherLeads;
        std::int64_t freeAfter;  // the hop after which a core is found free
    };
    constexpr std::int64_t First = 1, Last = 40;
    for (const Case& t : {Case{2, 0, false, 10}, Case{2, 1, false, 10}, Case{3, 0, true, 5},
                          Case{2, 0, true, Last - 1}, Case{2, 0, false, Last}}) {
        SCOPED_TRACE(testing::Message() << t.channels << " channels, trail " << t.trail
                                        << ", free after hop " << t.freeAfter);
        HopWalker walker;
        RecordingStage stage(t.channels);
        HopRange range{First, Last, t.channels, false, 2, t.trail, t.eitherLeads, {}};
        std::int64_t asked = First - 1;
        range.PairFromNowOn = [&] { return ++asked >= t.freeAfter; };
        std::vector<std::int64_t> reported;
        ASSERT_TRUE(walker.Walk(stage, range, [&](std::int64_t h) {
            reported.push_back(h);
            return true;
        }));
        const std::thread::id caller = std::this_thread::get_id();
        for (int c = 0; c < t.channels; ++c) {
            const auto& visits = stage.Of(c);
            ASSERT_EQ(visits.size(), static_cast<std::size_t>(Last - First + 1)) << "channel " << c;
            for (std::size_t i = 0; i < visits.size(); ++i) {
                const std::int64_t h = First + static_cast<std::int64_t>(i);
                EXPECT_EQ(visits[i].hop, h) << "channel " << c;
                const bool second = c % 2 == 1 && h > t.freeAfter;
                EXPECT_EQ(visits[i].thread != caller, second) << "channel " << c << ", hop " << h;
            }
        }
        std::vector<std::int64_t> inOrder;
        for (std::int64_t h = First; h <= Last; ++h) inOrder.push_back(h);
        EXPECT_EQ(reported, inOrder);
    }
}

}  // namespace
}  // namespace sv
