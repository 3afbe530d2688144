// Loudness normalizing reaches its target unless the true-peak ceiling holds it back, and says
// which happened.
#include <gtest/gtest.h>

#include "loudness/LoudnessMeter.h"

namespace sv {
namespace {

TEST(LoudnessGain, TheCeilingHoldsTheGainAndSaysSo) {
    struct Case {
        double lufs, truePeak, gainDb;
        bool held;
    };
    const Case cases[] = {{-23, -10, 7, false},
                          {-23, -5, 4, true},
                          {-23, -8, 7, false},
                          {-10, 0.5, -6, false},
                          {-HUGE_VAL, -HUGE_VAL, 0, false}};
    for (const auto& c : cases) {
        const LoudnessGain gain = ChooseLoudnessGain({c.lufs, 0, c.truePeak}, -16.0, -1.0);
        EXPECT_DOUBLE_EQ(gain.GainDb, c.gainDb) << c.lufs << " " << c.truePeak;
        EXPECT_EQ(gain.HeldByTruePeak, c.held) << c.lufs << " " << c.truePeak;
        EXPECT_DOUBLE_EQ(gain.ReachedLufs, c.lufs + c.gainDb);
    }
}

}  // namespace
}  // namespace sv
