#include <gtest/gtest.h>

#include <functional>

#include "dsp/Engine.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

// Cancel pressed at every event dispatch of every document-replacing operation: whenever the
// operation reports the cancel, the document must be exactly the one it started with.
TEST(CancelEveryUnit, LeavesTheDocumentBitIdentical) {
    test::TempDir dir;
    test::ProgressScript script;
    WaveEnvironment env = test::MakeEnv(dir.path());
    env.Ports.progress = test::ScriptedProgressFactory(script);
    Engine engine(env.Ports);
    auto wave = test::MakeDocument(env, 2, 44100, 5 * Engine::Hop + 100,
                                   [](std::int64_t f, int c) { return test::Noise16(f, c) * 64; });
    const auto original = test::StoreValues(*wave);
    auto flat = std::make_unique<BinSpectrum>();
    flat->fill(1.0f);
    auto quiet = std::make_unique<BinSpectrum>();
    quiet->fill(1000.0f);

    using Operation = std::function<bool(std::unique_ptr<Wave>&)>;
    const std::vector<std::pair<const char*, Operation>> operations = {
        {"normalize",
         [&](auto& w) { return engine.Normalize(w, -1, false) == WalkResult::Completed; }},
        {"levelling",
         [&](auto& w) { return engine.ApplyGainCurves(w, *flat, *flat) == WalkResult::Completed; }},
        {"noise removal",
         [&](auto& w) { return engine.RemoveNoise(w, *quiet, *quiet) == WalkResult::Completed; }},
        {"peak fitting",
         [&](auto& w) { return engine.FitPeaks(w, 5, 512) == WalkResult::Completed; }},
    };
    for (const auto& [name, operation] : operations) {
        // An uncancelled run on a copy tells how many dispatches there are.
        script = {};
        auto copy =
            test::MakeDocument(env, 2, 44100, 5 * Engine::Hop + 100,
                               [](std::int64_t f, int c) { return test::Noise16(f, c) * 64; });
        ASSERT_TRUE(operation(copy)) << name;
        const int dispatches = script.dispatches;
        ASSERT_GT(dispatches, 2) << name;
        int cancelled = 0;
        for (int at = 1; at <= dispatches; ++at) {
            script = {};
            script.cancelAtDispatch = at;
            Wave* before = wave.get();
            if (operation(wave)) {
                // Not polled at this point (a peak scan): the operation completed; start again
                // from the original document.
                wave = test::MakeDocument(
                    env, 2, 44100, 5 * Engine::Hop + 100,
                    [](std::int64_t f, int c) { return test::Noise16(f, c) * 64; });
                continue;
            }
            ++cancelled;
            EXPECT_EQ(wave.get(), before) << name << " " << at;
            ASSERT_EQ(test::StoreValues(*wave), original) << name << " " << at;
        }
        EXPECT_GT(cancelled, 0) << name;
    }
    EXPECT_EQ(dir.CountFiles(".swap"), 1);  // only the document itself holds a swap file
}

}  // namespace
}  // namespace sv
