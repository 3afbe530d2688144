// The limiter keeps the true peak under its ceiling without clipping, leaves what stays under it
// alone (only delayed), and does not depend on how the signal is cut into blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "loudness/TruePeakLimiter.h"
#include "loudness/TruePeakMeter.h"

namespace sv {
namespace {

constexpr int Rate = 48000;

TEST(TruePeakLimiter, HoldsTheCeilingBetweenSamplesAndPassesQuietSignalsUnchanged) {
    struct Case {
        const char* name;
        double amplitude;  // of the sine under the bursts; bursts of noise reach 4
        bool bursts;
        int chunk;  // frames handed over at a time
    };
    const Case cases[] = {{"quarter-rate sine, every sample 3 dB under its peak", 1.6, false, 4096},
                          {"noise bursts over a sine", 0.2, true, 1000},
                          {"quiet sine", 0.5, false, 333}};
    const double ceiling = std::pow(10.0, -1.0 / 20.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        const int frames = Rate;
        std::vector<float> in(static_cast<std::size_t>(frames * 2));
        for (int f = 0; f < frames; ++f) {
            const bool burst = c.bursts && f % 12000 < 300;
            for (int ch = 0; ch < 2; ++ch)
                in[static_cast<std::size_t>(f * 2 + ch)] =
                    static_cast<float>(c.amplitude * std::sin(M_PI / 2 * f + M_PI / 4 + ch)) +
                    (burst ? 1.3f * noise(random) : 0.0f);
        }
        TruePeakLimiter limiter(2, Rate, ceiling);
        const int latency = limiter.Latency();
        std::vector<float> out = in;
        out.resize(static_cast<std::size_t>((frames + latency) * 2), 0.0f);
        for (int at = 0; at < frames + latency; at += c.chunk)
            limiter.Process(out.data() + at * 2, std::min(c.chunk, frames + latency - at));

        TruePeakMeter meter(2, Rate);
        meter.Add(out.data() + latency * 2, frames);
        meter.Finish();
        EXPECT_LE(meter.Peak(), ceiling * 1.01);  // the loudness pass corrects the last per cent
        const bool quiet = c.amplitude < 0.6 && !c.bursts;
        if (quiet) {
            for (int i = 0; i < frames * 2; ++i)
                ASSERT_EQ(out[static_cast<std::size_t>(latency * 2 + i)],
                          in[static_cast<std::size_t>(i)]);
            EXPECT_EQ(limiter.SmallestGain(), 1.0);
        } else {
            // Turned down, yet no sample is pinned at the ceiling as clipping would leave it.
            EXPECT_LT(limiter.SmallestGain(), 0.8);
            int atCeiling = 0;
            for (const float v : out) atCeiling += std::abs(std::abs(v) - ceiling) < 1e-4 ? 1 : 0;
            EXPECT_LT(atCeiling, frames / 100);
        }
    }
}

}  // namespace
}  // namespace sv
