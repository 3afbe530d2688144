#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "dsp/FFT.h"
#include "dsp/SmoothedNoiseGain.h"

namespace sv {
namespace {

// Hops of a real signal's spectrum: complex Gaussian noise of power noisePower in every bin,
// plus a steady tone of power tonePower in bin toneBin (and its mirror).
struct HopMaker {
    std::mt19937 random{7};
    ComplexArray Next(float noisePower, int toneBin, float tonePower) {
        std::normal_distribution<float> normal(0.0f, std::sqrt(noisePower / 2));
        ComplexArray x(SpectrumBins);
        for (int k = 0; k <= SpectrumBins / 2; ++k) {
            x[k] = {normal(random), k == 0 || k == SpectrumBins / 2 ? 0.0f : normal(random)};
            if (k == toneBin) x[k].Re += std::sqrt(tonePower);
            if (k > 0) x[SpectrumBins - k] = {x[k].Re, -x[k].Im};
        }
        return x;
    }
};

float Gain(const ComplexArray& before, const ComplexArray& after, int k) {
    const float in = ComplexMath::Abs(before[k]);
    return in > 0.0f ? ComplexMath::Abs(after[k]) / in : 1.0f;
}

TEST(SmoothedNoiseGain, NoiseFallsToASteadyFloorWhileATonePassesAndBinsStayMirrored) {
    struct Case {
        float profile;  // every bin of the noise profile
        float minGain;  // of the noise bins' power, per hop after the first
        float maxGain;
        float toneGain;  // at least, in the tone's bin
    };
    const Case cases[] = {
        {0.0f, 1.0f, 1.0f, 1.0f},     // no measured noise: nothing changes
        {2.0f, 0.07f, 0.11f, 0.95f},  // noise of power 1 under a profile of its usual peaks
    };
    constexpr int tone = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        BinSpectrum profile;
        profile.fill(c.profile);
        SmoothedNoiseGain smoothed(profile);
        HopMaker hops;
        for (int h = 0; h < 20; ++h) {
            const ComplexArray before = hops.Next(1.0f, tone, 1e4f);
            ComplexArray after = before;
            smoothed.Apply(after.data());
            double in = 0.0, out = 0.0;
            for (int k = 1; k < SpectrumBins / 2; ++k) {
                ASSERT_EQ(after[SpectrumBins - k].Re, after[k].Re);
                ASSERT_EQ(after[SpectrumBins - k].Im, -after[k].Im);
                if (std::abs(k - tone) <= 40) continue;
                in += ComplexMath::Abs(before[k]) * ComplexMath::Abs(before[k]);
                out += ComplexMath::Abs(after[k]) * ComplexMath::Abs(after[k]);
            }
            if (h == 0) continue;
            // The floor holds the noise's gain steady from hop to hop.
            EXPECT_GE(std::sqrt(out / in), c.minGain);
            EXPECT_LE(std::sqrt(out / in), c.maxGain);
            EXPECT_GE(Gain(before, after, tone), c.toneGain);
        }
    }
}

// A burst of 20 ms in the middle of a hop of steady noise, too brief for the long spectrum to
// see it as more than noise, keeps most of its power; noise alone there stays low.
TEST(SmoothedNoiseGain, ABriefBurstKeepsItsPowerWhileNoiseAloneStaysLow) {
    constexpr int Burst = 882;
    constexpr int From = (SpectrumBins - Burst) / 2;
    const struct {
        float burstRms;
        double least, most;  // of the power kept within the burst
    } cases[] = {{0.0f, 0.0, 0.1}, {1400.0f, 0.4, 1.2}};
    FFT fft(SpectrumBins);
    double windowPower = 0.0;
    for (double a : fft.AnalysisWindow()) windowPower += a * a;
    BinSpectrum profile;
    profile.fill(static_cast<float>(std::sqrt(2.5 * 1000.0 * 1000.0 * windowPower)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.burstRms);
        SmoothedNoiseGain smoothed(profile);
        std::mt19937 random(3);
        std::normal_distribution<float> normal(0.0f, 1.0f);
        std::vector<std::int32_t> block(SpectrumBins), in(SpectrumBins), out(SpectrumBins);
        ComplexArray x(SpectrumBins);
        for (int h = 0; h < 3; ++h) {  // the last hop holds the burst
            for (int i = 0; i < SpectrumBins; ++i) {
                const bool burst = h == 2 && i >= From && i < From + Burst;
                block[i] = std::lround(1000.0f * normal(random) +
                                       (burst ? c.burstRms * normal(random) : 0.0f));
            }
            fft.Forward(block.data(), x.data());
            fft.Inverse(x.data(), in.data());
            smoothed.Apply(x.data());
        }
        fft.Inverse(x.data(), out.data());
        double before = 0.0, after = 0.0;
        for (int i = From; i < From + Burst; ++i) {
            before += static_cast<double>(in[i]) * in[i] - (c.burstRms > 0 ? 1e6 : 0.0);
            after += static_cast<double>(out[i]) * out[i];
        }
        EXPECT_GE(after / before, c.least);
        EXPECT_LE(after / before, c.most);
    }
}

}  // namespace
}  // namespace sv
