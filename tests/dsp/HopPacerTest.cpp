#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "dsp/HopPacer.h"

namespace sv {
namespace {

// Two threads walk 200 hops. Thread 0 never gets more than lead hops ahead, thread 1 never
// passes it (when either leads: never by more than lead hops); after EndAfter(h) both have
// walked exactly hops 0 .. h (thread 1 at most lead more when either leads); after a failure of
// either the other stops instead of waiting for it.
TEST(HopPacerThreads, KeepTheLeadAndEndTogether) {
    struct Case {
        std::int64_t lead, trail, endAfter, failAt;
        int failing;
        bool eitherLeads = false;
    };
    constexpr std::int64_t None = -1, Hops = 200;
    for (const Case& t :
         {Case{1, 0, None, None, 0}, Case{4, 0, None, None, 0}, Case{3, 0, 0, None, 0},
          Case{2, 0, 57, None, 0}, Case{4, 0, None, 90, 1}, Case{4, 0, None, 33, 0},
          Case{1, 1, None, None, 0}, Case{8, 1, 0, None, 0}, Case{3, 1, 120, None, 0},
          Case{8, 1, None, 70, 1}, Case{4, 0, None, None, 0, true}, Case{3, 0, 57, None, 0, true},
          Case{4, 0, None, 90, 1, true}}) {
        HopPacer pacer(t.lead, t.trail, t.eitherLeads);
        std::atomic<std::int64_t> at[2]{-1, -1};
        std::atomic<bool> spread{true};
        std::int64_t walked[2] = {0, 0};
        auto walk = [&](int self) {
            for (std::int64_t h = 0; h < Hops; ++h) {
                if (!pacer.MayStart(self, h)) return;
                at[self].store(h);
                const std::int64_t other = at[1 - self].load();
                // Thread 1 may start hop h only once thread 0 finished h - 1 + trail.
                const std::int64_t ahead = h - other - 1;
                if (ahead > (self == 0 || t.eitherLeads ? t.lead : -t.trail)) spread = false;
                if (self == t.failing && h == t.failAt) {
                    pacer.Abandon();
                    return;
                }
                if (h % 7 == self) std::this_thread::sleep_for(std::chrono::microseconds(200));
                ++walked[self];
                const bool ends = self == 0 && h == t.endAfter;
                if (ends && t.trail == 0) {
                    pacer.EndAfter(h);
                    return;
                }
                pacer.Finished(self, h);
                if (ends) {
                    pacer.EndAfter(h);
                    return;
                }
            }
        };
        std::thread second(walk, 1);
        walk(0);
        second.join();
        EXPECT_TRUE(spread) << t.lead;
        if (t.endAfter != None) {
            EXPECT_EQ(walked[0], t.endAfter + 1);
            EXPECT_GE(walked[1], t.endAfter + 1);
            EXPECT_LE(walked[1], t.endAfter + 1 + (t.eitherLeads ? t.lead : 0));
        } else if (t.failAt == None) {
            EXPECT_EQ(walked[0], Hops);
            EXPECT_EQ(walked[1], Hops);
        } else {
            EXPECT_EQ(walked[t.failing], t.failAt);
            EXPECT_LT(walked[1 - t.failing], Hops);
        }
    }
}

}  // namespace
}  // namespace sv
