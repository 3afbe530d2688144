#include <gtest/gtest.h>

#include <cmath>

#include "dsp/Engine.h"
#include "dsp/GainCurves.h"
#include "dsp/PassSlopes.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

const double HalfPower = std::sqrt(0.5);

// Both check boxes off: high-pass 5 Hz, low-pass 25 kHz, default slopes 6.
float Defaults(float f) { return PassSlopeFactor(f, 5, 25, 6, 6); }

double Db(double factor) { return 20.0 * std::log10(factor); }

TEST(PassSlopeFactorTest, DefaultsLeaveTheMiddleAlone) {
    EXPECT_NEAR(Defaults(1000.0f), 1.0, 0.0001);
    EXPECT_NEAR(Defaults(440.0f), 1.0, 0.0001);
    EXPECT_NEAR(Defaults(5000.0f), 1.0, 0.0001);
}

TEST(PassSlopeFactorTest, FixedEdgesAreAtHalfPowerAt17HzAnd20kHz) {
    // At 17 Hz the fixed 17 Hz edge alone counts; the 5 Hz high-pass adds (5/17)^12 ~ 5e-7.
    EXPECT_NEAR(Defaults(17.0f), HalfPower, 1e-6);
    // At 20 kHz the fixed edge gives sqrt(0.5) and the 25 kHz low-pass of order 6 about -0.3 dB.
    const double lowPass25k = 1.0 / std::sqrt(1.0 + std::pow(0.8, 12));
    EXPECT_NEAR(Defaults(20000.0f), HalfPower * lowPass25k, 1e-6);
    EXPECT_NEAR(Db(Defaults(20000.0f) / HalfPower), -0.29, 0.01);
    // Far outside: the fixed edges remove everything below about 17 Hz and above about 20 kHz.
    EXPECT_LT(Defaults(8.0f), 0.002);  // (17 / 8)^18 ~ 7.8e5
    EXPECT_LT(Defaults(24000.0f), 0.02);
}

TEST(PassSlopeFactorTest, UserHighPassHasItsCutOffAndSlope) {
    EXPECT_NEAR(PassSlopeFactor(100.0f, 100, 25, 6, 6), HalfPower, 1e-6);
    // (100 / 50)^12 = 4096: about 2^-6, -36 dB.
    EXPECT_NEAR(PassSlopeFactor(50.0f, 100, 25, 6, 6), 1.0 / std::sqrt(4097.0), 1e-6);
    EXPECT_NEAR(Db(PassSlopeFactor(50.0f, 100, 25, 6, 6)), -36.1, 0.05);
    // One octave further down loses 6.02 dB per order.
    const double octave =
        Db(PassSlopeFactor(25.0f, 250, 25, 3, 6)) - Db(PassSlopeFactor(50.0f, 250, 25, 3, 6));
    EXPECT_NEAR(octave, -6.02 * 3, 0.1);
}

TEST(PassSlopeFactorTest, UserLowPassHasItsCutOffAndSlope) {
    // At 16 kHz the 8 kHz low-pass of order 1 gives sqrt(1/5), about -7 dB; the fixed 20 kHz edge
    // adds only (0.8)^50 ~ 1.4e-5.
    EXPECT_NEAR(PassSlopeFactor(16000.0f, 5, 8, 6, 1), std::sqrt(0.2), 1e-5);
    EXPECT_NEAR(Db(PassSlopeFactor(16000.0f, 5, 8, 6, 1)), -7.0, 0.02);
    EXPECT_NEAR(PassSlopeFactor(8000.0f, 5, 8, 6, 64), HalfPower, 1e-6);
}

TEST(PassSlopeFactorTest, ExtremeArgumentsStayFinite) {
    EXPECT_EQ(PassSlopeFactor(0.0f, 5, 25, 6, 6), 0.0f);
    EXPECT_EQ(PassSlopeFactor(1e-30f, 250, 8, 64, 64), 0.0f);
    EXPECT_EQ(PassSlopeFactor(1e30f, 16, 8, 64, 64), 0.0f);
    const float f = PassSlopeFactor(1000.0f, 250, 8, 64, 64);
    EXPECT_TRUE(std::isfinite(f));
    EXPECT_GT(f, 0.99f);
}

struct PassSlopesTest : ::testing::Test {
    std::unique_ptr<BinSpectrum> Curve(float value) {
        auto curve = std::make_unique<BinSpectrum>();
        curve->fill(value);
        return curve;
    }
};

TEST_F(PassSlopesTest, CurveIsMultipliedBinByBinExceptBinZero) {
    auto curve = Curve(2.5f);
    (*curve)[0] = 7.0f;
    ApplyPassSlopes(*curve, 44100, 100, 16, 6, 6);
    EXPECT_EQ((*curve)[0], 7.0f);
    for (int k = 1; k < SpectrumBins; ++k) {
        const float f = BinFrequency(k, 44100);
        // The four factors applied to the curve value in extended precision, stored once.
        ASSERT_EQ((*curve)[k], static_cast<float>(ApplyPassSlopeFactors(2.5L, f, 100, 16, 6, 6)))
            << k;
        ASSERT_EQ((*curve)[k], (*curve)[SpectrumBins - k]) << k;
    }
}

TEST_F(PassSlopesTest, UnitCurveShowsTheFactorTheDisplayDraws) {
    auto curve = Curve(1.0f);
    ApplyPassSlopes(*curve, 44100, 20, 16, 6, 6);
    for (int k = 1; k <= SpectrumBins / 2; ++k)
        ASSERT_EQ((*curve)[k], PassSlopeFactor(BinFrequency(k, 44100), 20, 16, 6, 6));
}

TEST_F(PassSlopesTest, SampleRateDecidesWhatTheEdgesReach) {
    // 22050 Hz: the middle bin is 11025 Hz, so a 16 kHz low-pass hardly acts.
    auto curve = Curve(1.0f);
    ApplyPassSlopes(*curve, 22050, 5, 16, 6, 6);
    EXPECT_GT((*curve)[SpectrumBins / 2], 0.99f);
    // 48000 Hz: the fixed 20 kHz edge removes the band between 20 and 24 kHz.
    curve = Curve(1.0f);
    ApplyPassSlopes(*curve, 48000, 5, 25, 6, 6);
    const int bin22k = static_cast<int>(22000.0 / 48000.0 * SpectrumBins);
    EXPECT_LT((*curve)[bin22k], 0.1f);
    EXPECT_LT((*curve)[SpectrumBins / 2], 0.02f);
    EXPECT_NEAR((*curve)[static_cast<int>(1000.0 / 48000.0 * SpectrumBins)], 1.0f, 0.0001f);
}

}  // namespace
}  // namespace sv
