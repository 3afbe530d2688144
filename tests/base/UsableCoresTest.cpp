#include <gtest/gtest.h>
#include <sched.h>

#include <thread>

#include "base/UsableCores.h"

namespace sv {
namespace {

cpu_set_t Allowed() {
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof set, &set);
    return set;
}

// A thread that leaves its maker's core may run on every usable core again afterwards, also when
// there is no other core to go to or the maker's core is unknown.
TEST(LeaveCore, TheThreadEndsFreeToRunOnEveryUsableCore) {
    const cpu_set_t usable = Allowed();
    for (const int creator : {CurrentCore(), -1, CPU_SETSIZE + 5}) {
        cpu_set_t after;
        std::thread([&] {
            LeaveCore(creator);
            after = Allowed();
        }).join();
        EXPECT_TRUE(CPU_EQUAL(&after, &usable)) << "creator " << creator;
    }
}

}  // namespace
}  // namespace sv
