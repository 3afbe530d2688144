// Jobs spread over threads run once each, and a job's exception reaches the caller.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "loudness/ParallelRuns.h"

namespace sv {
namespace {

TEST(ParallelRuns, RunsEachJobOnceAndPassesOnAFailure) {
    for (const int threads : {1, 2, 3}) {
        SCOPED_TRACE(threads);
        ParallelRuns runs(threads);
        for (int round = 0; round < 50; ++round) {
            std::vector<std::atomic<int>> calls(5);
            runs.Run(5, [&](int i) { ++calls[static_cast<std::size_t>(i)]; });
            for (const auto& c : calls) ASSERT_EQ(c.load(), 1);
        }
        EXPECT_THROW(runs.Run(3,
                              [](int i) {
                                  if (i == 2) throw std::runtime_error("unreadable");
                              }),
                     std::runtime_error);
        std::atomic<int> after = 0;
        runs.Run(4, [&](int) { ++after; });
        EXPECT_EQ(after.load(), 4);
    }
}

}  // namespace
}  // namespace sv
