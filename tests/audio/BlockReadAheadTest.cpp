#include <gtest/gtest.h>

#include <stdexcept>

#include "audio/BlockReadAhead.h"

namespace sv {
namespace {

// Every value is its own index, so a block shows which values it holds.
void ReadIndices(std::int64_t first, std::int64_t count, std::int32_t* to) {
    for (std::int64_t i = 0; i < count; ++i) to[i] = static_cast<std::int32_t>(first + i);
}

struct Blocks {
    std::int64_t total;
    std::int64_t block;
};

class BlockReadAheadTest : public testing::TestWithParam<Blocks> {};

TEST_P(BlockReadAheadTest, HandsOutEveryBlockInOrderAndNothingAfterTheLast) {
    const Blocks run = GetParam();
    BlockReadAhead ahead(ReadIndices, run.total, run.block);
    std::int64_t next = 0;
    for (std::int64_t b = 0; b <= run.total / run.block; ++b) {
        const auto values = ahead.Next();
        ASSERT_EQ(static_cast<std::int64_t>(values.size()),
                  std::min(run.block, run.total - b * run.block));
        for (const std::int32_t v : values) ASSERT_EQ(v, next++);
        // The caller may change its block: the next one is read into the other buffer.
        for (std::int32_t& v : values) v = -1;
    }
    EXPECT_EQ(next, run.total);
    EXPECT_TRUE(ahead.Next().empty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, BlockReadAheadTest,
                         testing::Values(Blocks{0, 8}, Blocks{5, 8}, Blocks{16, 8}, Blocks{17, 8},
                                         Blocks{1000, 7}));

TEST(BlockReadAhead, AFailedReadIsThrownForItsBlockAndAnUnfinishedRunStops) {
    BlockReadAhead failing(
        [](std::int64_t first, std::int64_t count, std::int32_t* to) {
            if (first >= 16) throw std::runtime_error("unreadable");
            ReadIndices(first, count, to);
        },
        40, 8);
    EXPECT_EQ(failing.Next()[0], 0);
    EXPECT_EQ(failing.Next()[0], 8);
    EXPECT_THROW(failing.Next(), std::runtime_error);
    // Destroyed after one block of many: the reader stops instead of waiting forever.
    BlockReadAhead abandoned(ReadIndices, 1 << 20, 8);
    EXPECT_EQ(abandoned.Next()[0], 0);
}

}  // namespace
}  // namespace sv
