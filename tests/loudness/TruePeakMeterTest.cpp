// The true-peak meter finds peaks between samples and does not depend on how the signal is cut
// into blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// The meter skips stretches that cannot raise its reading and spreads channels over threads;
// neither may change the reading of a plain scalar interpolation by a single bit.
TEST(TruePeakMeter, ReadsExactlyWhatAPlainInterpolationReads) {
    struct Case {
        const char* name;
        int rate, channels, threads, block;
        double (*signal)(double t, int channel);
    };
    const Case cases[] = {
        {"music", 44100, 2, 2, 4096,
         [](double t, int c) {
             const double envelope =
                 std::exp(-3 * std::fmod(t, 0.5)) * (t > 0.6 && t < 0.7 ? 2 : 1);
             return 0.3 * envelope *
                    (std::sin(2 * M_PI * 220 * t) + 0.5 * std::sin(2 * M_PI * 3300 * t + c));
         }},
        {"noise", 48000, 3, 2, 777,
         [](double t, int c) {
             std::uint32_t h = static_cast<std::uint32_t>(t * 48000 + 0.5) * 2654435761u + c * 97u;
             h ^= h >> 15;
             h *= 2246822519u;
             h ^= h >> 13;
             return (static_cast<double>(h % 20001) - 10000.0) / 12000.0;
         }},
        {"near Nyquist", 44100, 1, 1, 100000,
         [](double t, int) { return 0.6 * std::sin(2 * M_PI * 21500 * t + 0.3); }},
        {"quiet then loud", 96000, 2, 2, 32,
         [](double t, int c) {
             return (t < 0.3 ? 0.01 : 0.8) * std::sin(2 * M_PI * (19000 + 500 * c) * t);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int frames = c.rate / 2;
        std::vector<float> signal(static_cast<std::size_t>(frames * c.channels));
        for (int f = 0; f < frames; ++f)
            for (int ch = 0; ch < c.channels; ++ch)
                signal[static_cast<std::size_t>(f * c.channels + ch)] =
                    static_cast<float>(c.signal(static_cast<double>(f) / c.rate, ch));
        TruePeakMeter meter(c.channels, c.rate, c.threads);
        for (int first = 0; first < frames; first += c.block)
            meter.Add(signal.data() + first * c.channels, std::min(c.block, frames - first));
        meter.Finish();

        const int taps = TruePeakMeter::TapsPerPhase;
        const std::vector<float>& h = meter.Coefficients();
        float expected = 0.0f;
        for (int ch = 0; ch < c.channels; ++ch) {
            std::vector<float> x(static_cast<std::size_t>(frames + 2 * taps), 0.0f);
            for (int f = 0; f < frames; ++f)
                x[static_cast<std::size_t>(taps - 1 + f)] =
                    signal[static_cast<std::size_t>(f * c.channels + ch)];
            for (int i = 0; i < frames + taps; ++i)
                for (int p = 0; p < meter.Factor(); ++p) {
                    float y = 0.0f;
                    for (int k = 0; k < taps; ++k)
                        y += h[static_cast<std::size_t>(p * taps + k)] *
                             x[static_cast<std::size_t>(i + taps - 1 - k)];
                    expected = std::max(expected, std::abs(y));
                }
        }
        EXPECT_EQ(meter.Peak(), static_cast<double>(expected));
    }
}

}  // namespace
}  // namespace sv
