#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "playback/ManualClock.h"
#include "playback/SoundRing.h"
#include "playback/TickTimer.h"

namespace sv {
namespace {

using test::Eventually;
using test::ManualClock;

void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

TEST(TickTimerThread, FirstTickOneIntervalAfterEnablingAndLateTicksMadeUp) {
    ManualClock clock;
    std::atomic<int> ticks{0};
    TickTimer timer(clock, 100, [&] { ++ticks; });
    clock.Advance(500);  // time passing while suspended counts for nothing
    timer.SetEnabled(true);
    clock.Advance(99);
    Settle();
    EXPECT_EQ(ticks, 0);
    clock.Advance(1);
    EXPECT_TRUE(Eventually([&] { return ticks == 1; }));
    clock.Advance(350);  // three ticks late: all three come, none more
    EXPECT_TRUE(Eventually([&] { return ticks == 4; }));
    Settle();
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(timer.FiredCount(), 4);
}

TEST(TickTimerThread, EnablingAgainRestartsTheSchedule) {
    ManualClock clock;
    std::atomic<int> ticks{0};
    TickTimer timer(clock, 80, [&] { ++ticks; });
    timer.SetEnabled(true);
    clock.Advance(80);
    ASSERT_TRUE(Eventually([&] { return ticks == 1; }));
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Enabled());
    clock.Advance(1000);
    Settle();
    EXPECT_EQ(ticks, 1);
    timer.SetEnabled(true);
    clock.Advance(40);
    Settle();
    EXPECT_EQ(ticks, 1);  // no burst for the time spent disabled
    clock.Advance(40);
    EXPECT_TRUE(Eventually([&] { return ticks == 2; }));
}

// The writer fills 34 slots at once and then one per tick, while the device plays a slot every
// 8 820 000 / (channels x rate) ms. Over two hours its lead over what is heard must stay within
// one slot of where it began, at every rate, including those whose slot is no whole number of
// milliseconds.
TEST(TickTimerThread, SlotTicksKeepPaceWithTheDeviceForTwoHours) {
    constexpr std::int64_t startLead = 34;
    constexpr std::int64_t twoHoursMs = 2 * 3600 * 1000;
    for (std::int32_t rate : {8000, 22050, 44100, 48000, 88200, 96000, 192000}) {
        for (int channels : {1, 2, 6}) {
            SCOPED_TRACE(testing::Message() << channels << " x " << rate);
            ManualClock clock;
            std::atomic<std::int64_t> ticks{0};
            TickTimer timer(clock, SoundRing::SlotInterval(channels, rate), [&] { ++ticks; });
            const std::int64_t start = clock.NowMs();
            timer.SetEnabled(true);
            // Irregular checkpoints, so they meet the slots at many phases.
            for (std::int64_t at = 997; at <= twoHoursMs; at += 150'000 + at % 7919) {
                clock.AdvanceTo(start + at);
                ASSERT_TRUE(Eventually([&] { return clock.Settled(); }));
                const std::int64_t heard = at * channels * rate / 8'820'000;
                const std::int64_t lead = startLead + ticks - heard;
                ASSERT_LE(std::abs(lead - startLead), 1) << "after " << at << " ms";
            }
        }
    }
}

}  // namespace
}  // namespace sv
