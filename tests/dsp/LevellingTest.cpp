#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>

#include "dsp/Engine.h"
#include "dsp/GainCurves.h"
#include "dsp/PassSlopes.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"
#include "text/Language.h"
#include "text/StepCaptions.h"
#include "timbre/Timbres.h"

namespace sv {
namespace {

constexpr int Bins = SpectrumBins;
constexpr int Hop = Engine::Hop;

using CancelScript = test::ProgressScript;

using Spectrum = std::unique_ptr<BinSpectrum>;
Spectrum NewSpectrum(float value = 0.0f) {
    auto s = std::make_unique<BinSpectrum>();
    s->fill(value);
    return s;
}

struct LevellingTest : ::testing::Test {
    test::TempDir dir;
    CancelScript script;
    WaveEnvironment env = test::MakeEnv(dir.path());
    std::unique_ptr<Engine> engine;

    void SetUp() override {
        env.Ports.progress = test::ScriptedProgressFactory(script);
        engine = std::make_unique<Engine>(env.Ports, EngineOptions{.Caption = StepCaption});
    }

    std::unique_ptr<Wave> Make(int channels, std::int64_t frames,
                               const std::function<std::int32_t(std::int64_t, int)>& value,
                               int bits = 16, int rate = 44100) {
        auto wave = Wave::CreateEmpty(1, static_cast<std::uint16_t>(channels), rate,
                                      static_cast<std::uint16_t>(bits), frames, env);
        std::vector<std::int32_t> raw(static_cast<std::size_t>(frames * channels));
        for (std::int64_t f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) raw[f * channels + c] = value(f, c);
        wave->WriteRaw(raw.data(), channels * MarginFrames, frames * channels);
        return wave;
    }
    // Music-like content: two tones and noise, different per channel.
    static std::int32_t Music(std::int64_t f, int c) {
        const double t = static_cast<double>(f) / 44100.0;
        const double tone = 3000.0 * std::sin(2 * 3.14159265358979 * (220.0 + 110.0 * c) * t) +
                            1500.0 * std::sin(2 * 3.14159265358979 * 3520.0 * t);
        return static_cast<std::int32_t>(tone + test::Noise16(f, c) / 8) * 256;
    }
    std::vector<std::int32_t> Raw(Wave& wave) {
        std::vector<std::int32_t> raw(static_cast<std::size_t>(wave.Memory().Length()));
        wave.ReadRaw(raw.data(), 0, static_cast<std::int64_t>(raw.size()));
        return raw;
    }
    float Frequency(int k, int rate = 44100) { return BinFrequency(k, rate); }
    // The modes by their numbers 0 .. 4 as the controls and options give them.
    WalkResult Measure(Wave& wave, BinSpectrum& a, BinSpectrum& b, int mode) {
        return engine->MeasureSpectrum(wave, a, b, static_cast<BandLevelMode>(mode));
    }
    // Gain curves of a recording at 44100 Hz.
    static void Gains(int channels, const BinSpectrum& target, BinSpectrum& c0, BinSpectrum& c1,
                      int channelMode, int bands, int highPassHz, int lowPassKHz, int limit,
                      int highPassSlope, int lowPassSlope) {
        RemasterSettings s;
        s.ChannelMode = static_cast<ChannelMode>(channelMode);
        s.Bands = bands;
        s.HighPass = s.LowPass = true;
        s.HighPassHz = highPassHz;
        s.LowPassKHz = lowPassKHz;
        s.Limit = limit;
        s.HighPassSlope = highPassSlope;
        s.LowPassSlope = lowPassSlope;
        ComputeRemasterGains(target, c0, c1, s, 44100, channels);
    }
    // Bar positions of a walk of `units` units that reported units 0 .. last.
    static std::vector<int> Positions(std::int64_t units, std::int64_t last) {
        std::vector<int> p{0};
        for (std::int64_t h = 1; h <= last; ++h)
            p.push_back(static_cast<int>(h * Progress::BarPixels / units));
        if (p.back() != Progress::BarPixels) p.push_back(Progress::BarPixels);
        return p;
    }
};

// Sum and peak of the hop magnitudes of one channel over hops 0 .. lastHop, as the measurement
// walks them.
struct ReferenceLevels {
    std::vector<float> sum = std::vector<float>(Bins, 0.0f);
    std::vector<float> peak = std::vector<float>(Bins, 0.0f);
};

ReferenceLevels Reference(Wave& wave, int channel, std::int64_t lastHop) {
    FFT fft(Bins);
    std::vector<std::int32_t> block(Bins);
    std::vector<Complex> x(Bins);
    ReferenceLevels r;
    for (std::int64_t h = 0; h <= lastHop; ++h) {
        wave.ReadChannel(block.data(), h * Hop, channel, Bins);
        fft.Forward(block.data(), x.data());
        for (int k = 0; k < Bins; ++k) {
            const float m = ComplexMath::Abs(x[k]);
            r.sum[k] += m;
            r.peak[k] = std::max(r.peak[k], m);
        }
    }
    return r;
}

float Weighted(float peak, float f) {
    return static_cast<float>(0.03L * peak / std::atan(0.013L * static_cast<long double>(f)));
}

// ---- MeasureSpectrum ---------------------------------------------------------------------------

TEST_F(LevellingTest, SilenceMeasuresZeroInEveryMode) {
    auto wave = Make(2, 3 * Hop + 5, [](std::int64_t, int) { return 0; });
    for (int mode = 0; mode <= 4; ++mode) {
        auto a = NewSpectrum(3.0f), b = NewSpectrum(3.0f);
        EXPECT_EQ(Measure(*wave, *a, *b, mode), WalkResult::Completed);
        for (int k = 0; k < Bins; ++k) {
            ASSERT_EQ((*a)[k], 0.0f) << mode << " " << k;
            ASSERT_EQ((*b)[k], 0.0f) << mode << " " << k;
        }
    }
}

TEST_F(LevellingTest, MeasurementIsTheMeanAndWeightedPeakOfAllHops) {
    for (const std::int64_t frames : {std::int64_t{5000}, std::int64_t{3 * Hop + 100}}) {
        auto wave = Make(1, frames, Music);
        const std::int64_t hops = frames / Hop;
        const ReferenceLevels ref = Reference(*wave, 0, hops);
        const float divisor = static_cast<float>(2 * (hops + 1));  // also 2 for a single hop
        std::array<Spectrum, 5> mode;
        for (int m = 0; m < 5; ++m) {
            mode[m] = NewSpectrum();
            auto other = NewSpectrum(9.0f);
            Measure(*wave, *mode[m], *other, m);
            // Mono: the channel-1 output is cleared and stays 0.
            ASSERT_TRUE(
                std::all_of(other->begin(), other->end(), [](float v) { return v == 0.0f; }));
        }
        EXPECT_EQ(script.captions.back(), Texts().LevellingDetectionTitle);
        EXPECT_EQ(script.totals.back(), std::max<std::int64_t>(hops, 1));
        for (int k = 0; k < Bins; ++k) {
            const float average = ref.sum[k] / divisor;
            const float peak = k == 0 ? ref.peak[0] : Weighted(ref.peak[k], Frequency(k));
            ASSERT_FLOAT_EQ((*mode[0])[k], average) << k;
            ASSERT_FLOAT_EQ((*mode[4])[k], peak) << k;
            ASSERT_FLOAT_EQ((*mode[1])[k], (3 * average + peak) / 4) << k;
            ASSERT_FLOAT_EQ((*mode[2])[k], (average + peak) / 2) << k;
            ASSERT_FLOAT_EQ((*mode[3])[k], (average + 3 * peak) / 4) << k;
        }
        // Any other mode value leaves the average.
        auto odd = NewSpectrum(), other = NewSpectrum();
        Measure(*wave, *odd, *other, 7);
        EXPECT_EQ(*odd, *mode[0]);
    }
}

TEST_F(LevellingTest, PeakWeightFavoursLowFrequencies) {
    auto wave = Make(1, 2 * Hop, Music);
    auto peak = NewSpectrum(), other = NewSpectrum();
    Measure(*wave, *peak, *other, 4);
    const ReferenceLevels ref = Reference(*wave, 0, 2);
    auto weight = [&](float hz) {
        const int k = static_cast<int>(std::lround(hz / 44100.0 * Bins));
        return (*peak)[k] / ref.peak[k];
    };
    EXPECT_NEAR(weight(100.0f), 0.033, 0.001);
    EXPECT_NEAR(weight(1000.0f), 0.0201, 0.0002);
    EXPECT_NEAR(weight(20000.0f), 0.0191, 0.0001);
    EXPECT_EQ((*peak)[0], ref.peak[0]);  // bin 0 is not weighted
}

TEST_F(LevellingTest, StereoChannelsAreMeasuredApartAndFurtherChannelsIgnored) {
    // Channel 1 is exactly twice channel 0, so every value of its measurement is exactly twice.
    auto stereo =
        Make(2, 2 * Hop + 77, [](std::int64_t f, int c) { return Music(f, 0) * (c + 1); });
    for (int mode = 0; mode <= 4; ++mode) {
        auto a = NewSpectrum(), b = NewSpectrum();
        Measure(*stereo, *a, *b, mode);
        for (int k = 0; k < Bins; ++k) ASSERT_EQ((*b)[k], 2 * (*a)[k]) << mode << " " << k;
    }
    auto three = Make(3, 2 * Hop + 77, [](std::int64_t f, int c) {
        return c == 2 ? test::Noise16(f, 5) * 256 : Music(f, 0) * (c + 1);
    });
    auto a2 = NewSpectrum(), b2 = NewSpectrum(), a3 = NewSpectrum(), b3 = NewSpectrum();
    Measure(*stereo, *a2, *b2, 2);
    Measure(*three, *a3, *b3, 2);
    EXPECT_EQ(*a2, *a3);
    EXPECT_EQ(*b2, *b3);
}

TEST_F(LevellingTest, CancelledMeasurementKeepsTheDocumentAndDividesByTheFullCount) {
    const std::int64_t frames = 4 * Hop + 300;  // hops 0 .. 4
    auto wave = Make(2, frames, Music);
    const auto before = Raw(*wave);
    for (const std::int64_t at : {0, 2, 4}) {
        script = CancelScript{.cancelAtUnit = at};
        auto a = NewSpectrum(), b = NewSpectrum();
        EXPECT_EQ(Measure(*wave, *a, *b, 0), WalkResult::Cancelled) << at;
        EXPECT_EQ(script.positions, Positions(4, at)) << at;  // the walk ended after unit `at`
        EXPECT_EQ(Raw(*wave), before);
        // The sums cover the hops walked; the divisor is still that of the whole walk.
        const ReferenceLevels ref = Reference(*wave, 1, at);
        for (int k = 0; k < Bins; k += 97)
            ASSERT_FLOAT_EQ((*b)[k], ref.sum[k] / 10.0f) << at << " " << k;
    }
}

// ---- SmoothGainsByBands and ComputeRemasterGains ------------------------------------------------

// The bins of the band region at 44100 Hz with 60 bands: bins 1 .. 4 (below about 11.3 Hz), their
// mirrors and bin 0 lie outside every band.
bool InBands60(int k) { return k >= 5 && k <= Bins - 5; }

TEST_F(LevellingTest, EqualTargetAndMeasurementGiveOneAndAHalfInEveryBin) {
    auto curve = NewSpectrum(1.0f);
    SmoothGainsByBands(*curve, 60, 10, 44100);
    for (int k = 0; k < Bins; ++k) ASSERT_EQ((*curve)[k], 1.5f) << k;

    // Through ComputeRemasterGains, channel mode 4, both pass filters off: 1.5 shaped only by the
    // pass slopes; bin 0 (target 0, measured 0) stays 0, so DC is still removed.
    auto target = NewSpectrum();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Split), *target);
    auto c0 = std::make_unique<BinSpectrum>(*target), c1 = std::make_unique<BinSpectrum>(*target);
    Gains(2, *target, *c0, *c1, 4, 60, 5, 25, 10, 6, 6);
    EXPECT_EQ((*c0)[0], 0.0f);
    for (int k = 1; k < Bins; ++k) {
        const float expected =
            static_cast<float>(ApplyPassSlopeFactors(1.5L, Frequency(k), 5, 25, 6, 6));
        ASSERT_EQ((*c0)[k], expected) << k;
        ASSERT_EQ((*c1)[k], expected) << k;
    }
}

TEST_F(LevellingTest, BinsOutsideTheBandsTakeTheBandFactorCappedAtTheTopBand) {
    // Bands at 2 (geometric mean 2: factor 0.75); outside them raw quotients of several sizes.
    struct Case {
        float outside;
        float expected;
    };
    for (const Case c :
         {Case{0.5f, 0.375f}, {2.0f, 1.5f}, {1000.0f, 1.5f}, {1e30f, 1.5f}, {0.0f, 0.0f}}) {
        auto curve = NewSpectrum(2.0f);
        for (int k = 0; k < Bins; ++k)
            if (!InBands60(k)) (*curve)[k] = c.outside;
        SmoothGainsByBands(*curve, 60, 10, 44100);
        for (int k = 0; k < Bins; ++k)
            ASSERT_EQ((*curve)[k], InBands60(k) ? 1.5f : c.expected) << c.outside << " " << k;
    }
}

TEST_F(LevellingTest, BandMeansLevelAStoredTimbreLikeTheExampleItKeepsTheBandLevelsOf) {
    // Between 500 Hz and 2 kHz the example peaks in the even bins and the recording in the odd
    // ones; the stored timbre keeps only the example's smooth level there (2.5, their mean).
    // Averaging the bins' quotients tells the two targets apart by a third; band means do not,
    // but for bands of an odd number of bins, whose means differ by up to 5 %.
    auto example = NewSpectrum(1.0f), stored = NewSpectrum(1.0f), measured = NewSpectrum(1.0f);
    for (int k = 1; k < Bins; ++k) {
        const float f = Frequency(k);
        if (f < 500.0f || f > 2000.0f) continue;
        (*example)[k] = k % 2 == 0 ? 4.0f : 1.0f;
        (*measured)[k] = k % 2 == 0 ? 1.0f : 4.0f;
        (*stored)[k] = 2.5f;
    }
    for (const bool bandMeans : {false, true}) {
        RemasterSettings s;
        s.BandMeans = bandMeans;
        auto fromExample = std::make_unique<BinSpectrum>(*measured), unused = NewSpectrum();
        auto fromStored = std::make_unique<BinSpectrum>(*measured);
        ComputeRemasterGains(*example, *fromExample, *unused, s, 44100, 1);
        ComputeRemasterGains(*stored, *fromStored, *unused, s, 44100, 1);
        float largest = 0.0f;
        for (int k = 1; k < Bins; ++k)
            largest = std::max(largest, std::abs((*fromExample)[k] / (*fromStored)[k] - 1.0f));
        if (bandMeans)
            EXPECT_LT(largest, 0.06f);
        else
            EXPECT_GT(largest, 0.2f);
    }
}

TEST_F(LevellingTest, GainCurvesDoNotDependOnTheRecordingsLevel) {
    // The same recording at full level and at exactly 1/256 of it: the measured spectra differ
    // by 256, the gain curves only by float rounding.
    const std::int64_t frames = 12 * Hop + 77;
    auto loud = Make(2, frames, Music);
    auto quiet = Make(2, frames, [](std::int64_t f, int c) { return Music(f, c) / 256; });
    auto target = NewSpectrum();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), *target);
    for (const int bands : {3, 60, 255}) {
        std::array<std::unique_ptr<BinSpectrum>, 4> curves;
        for (auto& c : curves) c = NewSpectrum();
        Measure(*loud, *curves[0], *curves[1], 1);
        Measure(*quiet, *curves[2], *curves[3], 1);
        Gains(2, *target, *curves[0], *curves[1], 3, bands, 5, 25, 10, 6, 6);
        Gains(2, *target, *curves[2], *curves[3], 3, bands, 5, 25, 10, 6, 6);
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < Bins; ++k) {
                const float a = (*curves[c])[k], b = (*curves[c + 2])[k];
                ASSERT_NEAR(a, b, 4e-6f * std::max(std::abs(a), std::abs(b)))
                    << bands << " " << c << " " << k;
            }
    }
}

TEST_F(LevellingTest, LimitationStepRunsOnceEvenWhenTheSpreadIsSmall) {
    // Three bands at 44100 Hz: band 1 below 78.6 Hz, band 2 up to 3368 Hz, band 3 above.
    auto curve = NewSpectrum();
    for (int k = 0; k < Bins; ++k) {
        const float f = Frequency(k);
        (*curve)[k] = f < 79.4f ? 1.0f : f < 3368.6f ? 1.5f : 2.0f;
    }
    SmoothGainsByBands(*curve, 3, 10, 44100);
    // gm ~ 1.442, gm / hi ~ 0.721 is not below lo / gm ~ 0.693: lo rises to 1.5, so the bands are
    // 1.5, 1.5, 2 before the normalization to a geometric mean of 1.5.
    const double gm = std::cbrt(1.5 * 1.5 * 2.0);
    const float low = static_cast<float>(1.5 * 1.5 / gm);
    const float high = static_cast<float>(1.5 * 2.0 / gm);
    for (int k = 1; Frequency(k) <= 514.0f; ++k) ASSERT_FLOAT_EQ((*curve)[k], low) << k;
    EXPECT_FLOAT_EQ((*curve)[Bins / 2], high);  // the middle bin is band 3's centre
    EXPECT_NEAR((*curve)[Bins / 2], 1.817, 0.001);
    EXPECT_NEAR((*curve)[20], 1.363, 0.001);
}

TEST_F(LevellingTest, LimitationBoundsTheSpreadOfTheBands) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> decades(-3.0f, 3.0f);
    auto raw = NewSpectrum();
    for (int k = 0; k <= Bins / 2; ++k)
        (*raw)[k] = (*raw)[(Bins - k) % Bins] = std::pow(10.0f, decades(rng));
    for (const int limit : {2, 10, 128}) {
        auto curve = std::make_unique<BinSpectrum>(*raw);
        SmoothGainsByBands(*curve, 60, limit, 44100);
        const auto first = curve->begin() + 5, last = curve->begin() + Bins / 2 + 1;
        const float hi = *std::max_element(first, last);
        const float lo = *std::min_element(first, last);
        EXPECT_LT(hi / lo, 2.0f * limit) << limit;
        EXPECT_GT(hi / lo, limit / 2.0f) << limit;
        // Normalized: the band values lie around 1.5.
        EXPECT_LT(lo, 1.5f);
        EXPECT_GT(hi, 1.5f);
    }
}

TEST_F(LevellingTest, ScalingTheTargetChangesNothing) {
    auto target = NewSpectrum();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Pop), *target);
    auto measured = NewSpectrum();
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> level(1e4f, 1e6f);
    for (auto& v : *measured) v = level(rng);
    for (const float factor : {1000.0f, 1e-3f, 3.7f}) {
        auto scaled = std::make_unique<BinSpectrum>(*target);
        for (auto& v : *scaled) v *= factor;
        auto a = std::make_unique<BinSpectrum>(*measured),
             b = std::make_unique<BinSpectrum>(*measured);
        auto unused = NewSpectrum();
        Gains(1, *target, *a, *unused, 2, 60, 20, 16, 10, 6, 6);
        Gains(1, *scaled, *b, *unused, 2, 60, 20, 16, 10, 6, 6);
        for (int k = 5; k < Bins - 4; ++k)
            ASSERT_NEAR((*b)[k], (*a)[k], 1e-5 * (*a)[k]) << factor << " " << k;
    }
}

TEST_F(LevellingTest, ChannelModesMixTheTwoQuotients) {
    auto target = NewSpectrum();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), *target);
    // Two differently shaped measurements.
    auto m0 = NewSpectrum(), m1 = NewSpectrum();
    for (int k = 0; k < Bins; ++k) {
        const float f = Frequency(k) + 1.0f;
        (*m0)[k] = 1e5f * std::sqrt(f);
        (*m1)[k] = 1e9f / f;
    }
    auto run = [&](int channels, int mode, const BinSpectrum& in0, const BinSpectrum& in1) {
        std::pair<Spectrum, Spectrum> c{std::make_unique<BinSpectrum>(in0),
                                        std::make_unique<BinSpectrum>(in1)};
        Gains(channels, *target, *c.first, *c.second, mode, 60, 20, 16, 10, 6, 6);
        return c;
    };
    // Separate channels: each curve is what a mono document with that measurement gets.
    const auto separate = run(2, 4, *m0, *m1);
    EXPECT_EQ(*separate.first, *run(1, 4, *m0, *m1).first);
    EXPECT_EQ(*separate.second, *run(1, 4, *m1, *m0).first);
    EXPECT_NE(*separate.first, *separate.second);
    // Both channels: one curve for both.
    const auto both = run(2, 0, *m0, *m1);
    EXPECT_EQ(*both.first, *both.second);
    // The modes between mix the quotients g with their mean m before smoothing.
    for (int mode = 1; mode <= 3; ++mode) {
        auto g0 = NewSpectrum(), g1 = NewSpectrum();
        for (int k = 0; k < Bins; ++k) {
            const float q0 = (*target)[k] / (*m0)[k], q1 = (*target)[k] / (*m1)[k],
                        m = (q0 + q1) / 2;
            (*g0)[k] = mode == 1 ? (q0 + 3 * m) / 4 : mode == 2 ? (q0 + m) / 2 : (3 * q0 + m) / 4;
            (*g1)[k] = mode == 1 ? (q1 + 3 * m) / 4 : mode == 2 ? (q1 + m) / 2 : (3 * q1 + m) / 4;
        }
        for (auto* g : {g0.get(), g1.get()}) {
            SmoothGainsByBands(*g, 60, 10, 44100);
            ApplyPassSlopes(*g, 44100, 20, 16, 6, 6);
        }
        const auto mixed = run(2, mode, *m0, *m1);
        EXPECT_EQ(*mixed.first, *g0) << mode;
        EXPECT_EQ(*mixed.second, *g1) << mode;
    }
    // Mono: the channel mode has no effect and the channel-1 curve is not touched.
    const auto monoMixed = run(1, 0, *m0, *m1);
    EXPECT_EQ(*monoMixed.first, *run(1, 4, *m0, *m1).first);
    EXPECT_EQ(*monoMixed.second, *m1);
}

TEST_F(LevellingTest, ManyBandsKeepFiniteNonZeroGainsWhereTheProductLeavesTheDoubleRange) {
    auto target = NewSpectrum();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), *target);
    // Quiet 8-bit-scale measurement: quotients around 1e3 .. 1e6, 255 of them overflow the
    // product; a loud one (quotients ~ 1e-4) makes it underflow.
    for (const float level : {300.0f, 1e12f}) {
        auto curve = NewSpectrum(level);
        auto unused = NewSpectrum();
        Gains(1, *target, *curve, *unused, 0, 255, 5, 25, 10, 6, 6);
        std::vector<float> inBand;
        for (int k = 1; k <= Bins / 2; ++k)
            if (Frequency(k) > 30.0f && Frequency(k) < 16000.0f) inBand.push_back((*curve)[k]);
        for (const float v : inBand) {
            ASSERT_TRUE(std::isfinite(v)) << level;
            ASSERT_GT(v, 0.0f) << level;
            // Normalized to a geometric mean of 1.5 within the limited spread (< 20).
            ASSERT_GT(v, 1.5f / 20.0f) << level;
            ASSERT_LT(v, 1.5f * 20.0f) << level;
        }
    }
}

TEST_F(LevellingTest, QuietEightBitRecordingWithManyBandsIsNotSilenced) {
    auto wave = Make(
        1, 6 * Hop, [](std::int64_t f, int) { return (test::Noise16(f, 0) % 3) * 256; }, 8);
    auto target = NewSpectrum();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), *target);
    auto c0 = NewSpectrum(), c1 = NewSpectrum();
    Measure(*wave, *c0, *c1, 1);
    Gains(wave->Channels(), *target, *c0, *c1, 3, 255, 5, 25, 10, 6, 6);
    ASSERT_EQ(engine->ApplyGainCurves(wave, *c0, *c1), WalkResult::Completed);
    EXPECT_GT(engine->FindChannelPeak(*wave, 0), 256);
}

TEST_F(LevellingTest, AllZeroMeasurementGivesZeroGainsWithoutTrouble) {
    auto target = NewSpectrum();
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), *target);
    for (const int bands : {3, 60, 255}) {
        auto c0 = NewSpectrum(), c1 = NewSpectrum();
        Gains(2, *target, *c0, *c1, 2, bands, 20, 16, 2, 6, 6);
        for (int k = 0; k < Bins; ++k) {
            ASSERT_EQ((*c0)[k], 0.0f);
            ASSERT_EQ((*c1)[k], 0.0f);
        }
    }
}

// ---- ApplyGainCurves ---------------------------------------------------------------------------

TEST_F(LevellingTest, UnitGainsReproduceTheInput) {
    for (const int channels : {1, 2}) {
        const std::int64_t frames = 5 * Hop;
        auto wave =
            Make(channels, frames, [](std::int64_t f, int c) { return test::Noise16(f, c) * 256; });
        const Wave* old = wave.get();
        auto one = NewSpectrum(1.0f);
        ASSERT_EQ(engine->ApplyGainCurves(wave, *one, *one), WalkResult::Completed);
        EXPECT_NE(wave.get(), old);
        EXPECT_EQ(dir.CountFiles(".swap"), 1);  // the old document's swap file is gone
        EXPECT_EQ(script.captions.back(), Texts().LevellingTitle);
        EXPECT_EQ(script.totals.back(), 6);  // hops 0 .. 6
        std::vector<std::int32_t> out(static_cast<std::size_t>(frames));
        for (int c = 0; c < channels; ++c) {
            wave->ReadChannel(out.data(), MarginFrames, c, frames);
            for (std::int64_t f = 0; f < frames; ++f) {
                const double in = test::Noise16(f, c) * 256.0;
                // The Hann halves of two hops add to 1 within about 0.01 %; two roundings and the
                // single-precision transforms of a full-scale block add a few units (1e-6 of
                // full scale).
                ASSERT_NEAR(out[f], in, 1e-4 * std::abs(in) + 8.0)
                    << channels << " " << c << " " << f;
            }
        }
        wave.reset();
    }
}

TEST_F(LevellingTest, GainCurvesFilterEachChannelAndWriteTailsIntoTheMargins) {
    const std::int64_t frames = 3 * Hop;
    // A click at the start and at the end of each channel.
    auto wave = Make(2, frames, [&](std::int64_t f, int c) {
        return (f == 3 || f == frames - 3) ? (c ? -4000000 : 4000000) : 0;
    });
    auto low = NewSpectrum(), twice = NewSpectrum(2.0f);
    for (int k = 0; k < Bins; ++k) (*low)[k] = (k < 200 || k > Bins - 200) ? 1.0f : 0.0f;
    ASSERT_EQ(engine->ApplyGainCurves(wave, *low, *twice), WalkResult::Completed);
    std::vector<std::int32_t> margin(MarginFrames);
    // Channel 0 is low-passed: the clicks ring into both margins.
    wave->ReadChannel(margin.data(), 0, 0, MarginFrames);
    EXPECT_TRUE(std::any_of(margin.begin(), margin.end(), [](std::int32_t v) { return v != 0; }));
    wave->ReadChannel(margin.data(), MarginFrames + frames, 0, MarginFrames);
    EXPECT_TRUE(std::any_of(margin.begin(), margin.end(), [](std::int32_t v) { return v != 0; }));
    // Channel 1 is doubled.
    std::int32_t v = 0;
    wave->ReadChannel(&v, MarginFrames + 3, 1, 1);
    EXPECT_NEAR(v, -8000000, 8000000 * 2e-4);
}

TEST_F(LevellingTest, FilteringKeepsTheLevelToTheLastFrame) {
    // A 440 Hz tone ending 8191 frames into a hop: the frames after the last full hop must keep
    // the tone's level under unit gains, through levelling and noise removal alike.
    const std::int64_t frames = 16384 * 30 + 8191;
    const auto tone = [](std::int64_t f, int) {
        return static_cast<std::int32_t>(
            std::lrint(3946.0 * std::sin(2 * std::numbers::pi * 440.0 * f / 44100.0)));
    };
    const auto rms = [](const std::vector<std::int32_t>& v, std::size_t from, std::size_t to) {
        double sum = 0.0;
        for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(v[i]) * v[i];
        return std::sqrt(sum / static_cast<double>(to - from));
    };
    auto one = NewSpectrum(1.0f), zero = NewSpectrum(0.0f);
    using Operation = std::function<WalkResult(std::unique_ptr<Wave>&)>;
    const std::vector<std::pair<const char*, Operation>> operations = {
        {"levelling", [&](auto& w) { return engine->ApplyGainCurves(w, *one, *one); }},
        {"noise removal", [&](auto& w) { return engine->RemoveNoise(w, *zero, *zero); }},
    };
    for (const auto& [name, operation] : operations) {
        auto wave = Make(1, frames, tone);
        ASSERT_EQ(operation(wave), WalkResult::Completed) << name;
        std::vector<std::int32_t> out(static_cast<std::size_t>(frames));
        wave->ReadChannel(out.data(), MarginFrames, 0, frames);
        const double body = rms(out, 0, out.size() - 8191);
        EXPECT_NEAR(body, 2790.0, 3.0) << name;
        for (const std::size_t tail : {8191u, 1024u, 100u})
            EXPECT_NEAR(rms(out, out.size() - tail, out.size()), body, body * 0.01)
                << name << " " << tail;
        EXPECT_NEAR(out.back(), tone(frames - 1, 0), 2) << name;
    }
}

TEST_F(LevellingTest, CancelledFilteringKeepsTheDocumentBitIdentical) {
    const std::int64_t frames = 4 * Hop + 1234;  // hops 0 .. 5
    auto wave = Make(2, frames, Music);
    const auto before = Raw(*wave);
    const Wave* old = wave.get();
    auto gain = NewSpectrum(0.5f);
    for (const std::int64_t at : {0, 2, 4, 5}) {
        script = CancelScript{.cancelAtUnit = at};
        EXPECT_EQ(engine->ApplyGainCurves(wave, *gain, *gain), WalkResult::Cancelled) << at;
        EXPECT_EQ(wave.get(), old);
        EXPECT_EQ(script.positions, Positions(5, at)) << at;
        EXPECT_EQ(Raw(*wave), before) << at;
        EXPECT_EQ(dir.CountFiles(".swap"), 1) << at;  // the discarded output's swap file is gone
    }
}

}  // namespace
}  // namespace sv
