#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "playback/ManualClock.h"
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

}  // namespace
}  // namespace sv
