#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "dsp/ChannelWorker.h"

namespace sv {
namespace {

TEST(ChannelWorkerThread, RunsBothSharesAndPassesOnAFailure) {
    ChannelWorker worker;
    std::vector<int> mine(1000, 0), theirs(1000, 0);
    std::thread::id other;
    for (int round = 1; round <= 200; ++round) {
        worker.RunBoth([&] { std::fill(mine.begin(), mine.end(), round); },
                       [&] {
                           std::fill(theirs.begin(), theirs.end(), -round);
                           other = std::this_thread::get_id();
                       });
        ASSERT_EQ(mine.back(), round);
        ASSERT_EQ(theirs.back(), -round);  // finished before RunBoth returned
    }
    EXPECT_NE(other, std::this_thread::get_id());
    EXPECT_THROW(worker.RunBoth([] {}, [] { throw std::runtime_error("lane failed"); }),
                 std::runtime_error);
    // A failure of the caller's share waits for the worker's before it is passed on.
    bool finished = false;
    EXPECT_THROW(worker.RunBoth([] { throw std::logic_error("mine failed"); },
                                [&] {
                                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                    finished = true;
                                }),
                 std::logic_error);
    EXPECT_TRUE(finished);
    int after = 0;
    worker.RunBoth([] {}, [&] { after = 1; });  // still serves after a failure
    EXPECT_EQ(after, 1);
}

}  // namespace
}  // namespace sv
