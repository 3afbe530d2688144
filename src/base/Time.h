#pragma once
#include <cstdint>
#include <string>

namespace sv {

// Milliseconds from a monotonic clock (never jumps at midnight, so estimates stay sane).
std::int64_t MonotonicMilliseconds();

// "M min  S s" with ".ttt" when the fraction is not zero: count / rate seconds. Without a
// finite duration (rate 0) the text is "-- min  -- s".
std::string DurationText(std::int64_t count, std::int64_t rate);

}  // namespace sv
