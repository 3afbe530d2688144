#include "base/Time.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace sv {

std::int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string DurationText(std::int64_t count, std::int64_t rate) {
    const double x = static_cast<double>(count) / static_cast<double>(rate);
    const double whole = std::trunc(x);
    // A rate of 0 or a count beyond 64 bits has no duration to show; converting it would be
    // undefined.
    if (!(std::fabs(whole) < 9.0e18)) return "-- min  -- s";
    const auto w = static_cast<std::int64_t>(whole);
    std::string text = std::to_string(w / 60) + " min  " + std::to_string(w % 60);
    const auto t = static_cast<std::int64_t>(std::trunc((x - whole) * 1000.0));
    if (t != 0) {
        char fraction[32];
        std::snprintf(fraction, sizeof fraction, ".%03lld", static_cast<long long>(t < 0 ? -t : t));
        text += fraction;
    }
    return text + " s";
}

}  // namespace sv
