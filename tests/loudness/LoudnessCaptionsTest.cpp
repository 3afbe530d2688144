// Loudness measuring and normalizing show the titles their caller words, and no text of their
// own: the core names no user-visible text.
#include <gtest/gtest.h>

#include "loudness/LoudnessMeter.h"
#include "support/ScriptedProgress.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

TEST(LoudnessCaptions, TheProgressWindowsShowTheCallersTitles) {
    struct Case {
        bool normalize;
        LoudnessCaptions captions;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {false, {"measure", "unused"}, {"measure"}},
        {true, {"measure", "normalize"}, {"measure", "normalize"}},
        {true, {}, {"", ""}},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        test::ProgressScript script;
        WaveEnvironment env = test::MakeEnv(dir.path());
        env.Ports.progress = test::ScriptedProgressFactory(script);
        auto wave = test::MakeDocument(env, 2, 48000, 4800,
                                       [](std::int64_t f, int) { return (f % 50 - 25) * 256; });
        if (c.normalize)
            ASSERT_NE(NormalizeLoudness(*wave, -23.0, -1.0, nullptr, c.captions), nullptr);
        else
            ASSERT_TRUE(MeasureLoudness(*wave, c.captions));
        EXPECT_EQ(script.captions, c.shown);
    }
}

}  // namespace
}  // namespace sv
