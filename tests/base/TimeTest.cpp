#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "base/Time.h"

namespace sv {
namespace {

TEST(DurationText, FormatsMinutesSecondsAndFraction) {
    EXPECT_EQ(DurationText(0, 1), "0 min  0 s");
    EXPECT_EQ(DurationText(90, 1), "1 min  30 s");
    EXPECT_EQ(DurationText(3725, 1), "62 min  5 s");
    EXPECT_EQ(DurationText(66150, 44100), "0 min  1.500 s");
    EXPECT_EQ(DurationText(88200, 44100), "0 min  2 s");
    EXPECT_EQ(DurationText(44145, 44100), "0 min  1.001 s");
}

TEST(DurationText, NoFiniteDurationIsShownAsUnknown) {
    for (auto [count, rate] : {std::pair<std::int64_t, std::int64_t>{44100, 0},
                               {0, 0},
                               {-5, 0},
                               {INT64_MAX, 1},
                               {INT64_MIN, 1}})
        EXPECT_EQ(DurationText(count, rate), "-- min  -- s") << count << " / " << rate;
    EXPECT_EQ(DurationText(INT64_MAX / 2, 1), "76861433640456465 min  4 s");
}

}  // namespace
}  // namespace sv
