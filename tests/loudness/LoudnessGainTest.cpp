// Loudness normalizing reaches its target unless the true-peak ceiling holds it back, and says
// which happened.
#include <gtest/gtest.h>

#include "loudness/LoudnessMeter.h"

namespace sv {
namespace {

TEST(LoudnessGain, TheCeilingHoldsTheGainAndSaysSo) {
    struct Case {
        LoudnessFigures measured;
        double gainDb;
        bool held;
    };
    const Case cases[] = {
        {{.IntegratedLufs = -23.0, .TruePeakDbtp = -10.0}, 7.0, false},
        {{.IntegratedLufs = -23.0, .TruePeakDbtp = -5.0}, 4.0, true},
        {{.IntegratedLufs = -23.0, .TruePeakDbtp = -8.0}, 7.0, false},  // just reaches both
        {{.IntegratedLufs = -10.0, .TruePeakDbtp = 0.5}, -6.0, false},  // lowered anyway
        {{}, 0.0, false},                                               // silence
    };
    for (const auto& c : cases) {
        const LoudnessGain gain = ChooseLoudnessGain(c.measured, -16.0, -1.0);
        EXPECT_DOUBLE_EQ(gain.GainDb, c.gainDb) << c.measured.IntegratedLufs;
        EXPECT_EQ(gain.HeldByTruePeak, c.held) << c.measured.TruePeakDbtp;
        if (std::isfinite(c.measured.IntegratedLufs))
            EXPECT_DOUBLE_EQ(gain.ReachedLufs, c.measured.IntegratedLufs + c.gainDb);
    }
}

}  // namespace
}  // namespace sv
