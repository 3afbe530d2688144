#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

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

}  // namespace
}  // namespace sv
