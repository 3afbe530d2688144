// The true-peak meter finds peaks between samples and does not depend on how the signal is cut
// into blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "loudness/TruePeakMeter.h"

namespace sv {
namespace {

std::vector<float> Sine(int rate, double hz, double amplitude, double phase, int frames,
                        int channels) {
    std::vector<float> v(static_cast<std::size_t>(frames * channels));
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            v[static_cast<std::size_t>(f * channels + c)] = static_cast<float>(
                amplitude * std::sin(2 * M_PI * hz * f / rate + phase) * (c == 0 ? 1.0 : 0.5));
    return v;
}

double Db(double x) { return 20 * std::log10(x); }

// Never below the true peak; in the upper half of the band it reads high as ffmpeg's meter does,
// since both short interpolators have some gain ripple and let some of the mirror image through.
TEST(TruePeakMeter, ReadsThePeakBetweenSamples) {
    struct Case {
        int rate;
        double hz, phase, overDb;
    };
    // At a quarter of the rate and 45 degrees every sample lies 3 dB below the peak.
    const Case cases[] = {{48000, 12000, M_PI / 4, 0.15},
                          {44100, 11025, M_PI / 4, 0.15},
                          {48000, 997, 0.3, 0.01},
                          {96000, 20000, 1.0, 0.15},
                          {44100, 17000, 0.2, 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hz);
        const auto signal = Sine(c.rate, c.hz, 0.5, c.phase, c.rate, 2);
        TruePeakMeter meter(2, c.rate);
        meter.Add(signal.data(), c.rate);
        meter.Finish();
        EXPECT_GE(Db(meter.Peak()), Db(0.5) - 0.01);
        EXPECT_LE(Db(meter.Peak()), Db(0.5) + c.overDb);
        EXPECT_GE(meter.Factor() * c.rate, 384000);
    }
}

TEST(TruePeakMeter, BlockBoundariesDoNotChangeTheReading) {
    const auto signal = Sine(44100, 15000, 0.7, 0.4, 20000, 3);
    TruePeakMeter whole(3, 44100);
    whole.Add(signal.data(), 20000);
    whole.Finish();
    TruePeakMeter pieces(3, 44100);
    for (int first = 0; first < 20000;) {
        const int count = std::min(first % 2 ? 777 : 1, 20000 - first);
        pieces.Add(signal.data() + first * 3, count);
        first += count;
    }
    pieces.Finish();
    EXPECT_EQ(whole.Peak(), pieces.Peak());
    // A peak in the last sample still counts.
    std::vector<float> step(64, 0.0f);
    step.back() = -0.9f;
    TruePeakMeter last(1, 48000);
    last.Add(step.data(), 64);
    last.Finish();
    EXPECT_GE(last.Peak(), 0.9f);
}

}  // namespace
}  // namespace sv
