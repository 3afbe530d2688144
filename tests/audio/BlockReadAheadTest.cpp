#include <gtest/gtest.h>

#include <stdexcept>

#include "audio/BlockReadAhead.h"

namespace sv {
namespace {

// Every value is its own index; reads from 16 on fail when asked to.
BlockReadAhead::Reader Indices(bool failFrom16 = false) {
    return [failFrom16](std::int64_t first, std::int64_t count, std::int32_t* to) {
        if (failFrom16 && first >= 16) throw std::runtime_error("unreadable");
        for (std::int64_t i = 0; i < count; ++i) to[i] = static_cast<std::int32_t>(first + i);
    };
}

TEST(BlockReadAhead, HandsOutEveryBlockInOrderThenNothingAndThrowsAFailedRead) {
    for (const std::int64_t total : {0, 5, 16, 17, 1000}) {
        BlockReadAhead ahead(Indices(), total, 8);
        std::int64_t next = 0;
        for (auto values = ahead.Next(); !values.empty(); values = ahead.Next())
            for (std::int32_t& v : values) {
                ASSERT_EQ(v, next++) << total;
                v = -1;  // the caller's to change: the next block goes to the other buffer
            }
        EXPECT_EQ(next, total);
    }
    BlockReadAhead failing(Indices(true), 40, 8);
    EXPECT_EQ(failing.Next()[0], 0);
    EXPECT_EQ(failing.Next()[0], 8);
    EXPECT_THROW(failing.Next(), std::runtime_error);
    BlockReadAhead abandoned(Indices(), 1 << 20, 8);  // its reader must stop, not wait forever
    EXPECT_EQ(abandoned.Next()[0], 0);
}

}  // namespace
}  // namespace sv
