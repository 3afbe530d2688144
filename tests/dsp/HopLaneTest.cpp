#include <gtest/gtest.h>

#include <vector>

#include "audio/Wave.h"
#include "dsp/HopWalker.h"
#include "support/TestFiles.h"

// A lane keeps a hop's second half for the next hop of the same channel: what it hands out must
// be what reading the whole hop gives.

namespace sv {
namespace {

TEST(HopLane, ReadingOnlyTheNewHalfGivesTheWholeHop) {
    test::TempDir dir;
    const WaveEnvironment env = test::MakeEnv(dir.path());
    const std::int64_t frames = 50000;
    auto wave = test::MakeDocument(env, 3, 44100, frames, [](std::int64_t f, int c) {
        return static_cast<std::int32_t>(f * 7 + c * 1000003);
    });
    const int n = 16384;
    const std::int64_t storeFrames = frames + 2 * MarginFrames;
    HopLane lane(n);
    auto expected = [&](int c, std::int64_t h, std::int64_t inside) {
        std::vector<std::int32_t> block(n, 0);
        wave->ReadChannel(block.data(), h * n / 2, c, inside);
        return block;
    };
    struct Step {
        int channel;
        std::int64_t hop;
        bool forgetFirst;  // a new walk, after the document changed under the kept half
    };
    const std::int64_t last = storeFrames / (n / 2) - 1;
    for (const Step& step :
         {Step{0, 0, false}, Step{0, 1, false}, Step{0, 2, false}, Step{1, 3, false},
          Step{1, 4, false}, Step{1, 6, false}, Step{1, last - 1, false}, Step{1, last, false},
          Step{2, 0, false}, Step{2, 1, true}}) {
        if (step.forgetFirst) {
            std::vector<std::int32_t> changed(n / 2, -5);
            wave->WriteChannel(changed.data(), step.hop * n / 2, step.channel, n / 2);
            lane.ForgetInput();
        }
        const std::int64_t inside = std::min<std::int64_t>(storeFrames - step.hop * n / 2, n);
        const std::int32_t* got = lane.ReadHop(*wave, step.channel, step.hop, inside);
        EXPECT_EQ(std::vector<std::int32_t>(got, got + n), expected(step.channel, step.hop, inside))
            << "channel " << step.channel << " hop " << step.hop;
    }
}

}  // namespace
}  // namespace sv
