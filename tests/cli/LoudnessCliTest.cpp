// Loudness figures of sonivar-cli against ffmpeg's ebur128 filter, an independent measurement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "cli/Options.h"
#include "support/CommandOutput.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

bool HaveTools() {
    return std::system("command -v ffmpeg >/dev/null && command -v sox >/dev/null") == 0;
}

// The number after key in text (the last occurrence: ffmpeg's summary comes last).
double After(const std::string& text, const std::string& key) {
    const auto at = text.rfind(key);
    if (at == std::string::npos) return NAN;
    return std::strtod(text.c_str() + at + key.size(), nullptr);
}

struct Reference {
    double integrated;
    double range;
    double truePeak;
};

Reference MeasureWithFfmpeg(const std::filesystem::path& file) {
    const std::string out =
        test::CommandOutput("ffmpeg -hide_banner -nostats -i '" + file.string() +
                            "' -af ebur128=peak=true -f null - 2>&1");
    const auto summary = out.rfind("Summary:");
    const std::string tail = summary == std::string::npos ? "" : out.substr(summary);
    return {After(tail, "I:"), After(tail, "LRA:"), After(tail, "Peak:")};
}

struct LoudnessCliTest : ::testing::Test {
    test::TempDir dir;
    std::string Cli(const std::string& args) {
        return test::CommandOutput(std::string(SONIVAR_CLI_PATH) + " " + args +
                                   " --quiet --work-folder '" + dir.path().string() + "' 2>&1");
    }
    // Runs the commands in the test's folder; they write the input file.
    void MakeInput(const std::string& commands) {
        ASSERT_EQ(
            std::system(
                ("cd '" + dir.path().string() + "' && (" + commands + ") 2>/dev/null").c_str()),
            0);
    }
};

// Test names end in the case's number rather than its commands.
struct CaseNumber {
    template <typename T>
    std::string operator()(const ::testing::TestParamInfo<T>& info) const {
        return "case" + std::to_string(info.index);
    }
};
// Signals with different crest factors, channel counts and depths; one case per test, so that
// a parallel test run spreads the external tools' work.
struct InfoAndTarget : LoudnessCliTest, ::testing::WithParamInterface<const char*> {};
// The loudness range needs seconds of material for the two meters to agree.
INSTANTIATE_TEST_SUITE_P(
    Signals, InfoAndTarget,
    ::testing::Values("sox -n -r 48000 -b 16 -c 2 s.wav synth 12 sine 997 vol 0.3",
                      "sox -n -r 48000 -b 24 -c 1 s.wav synth 12 sine 60 vol 0.5 : synth 6 sine "
                      "3000 vol 0.2",
                      "sox -n -r 48000 -b 16 -c 2 s.wav synth 6 sine 440 vol 0.8 : synth 6 "
                      "whitenoise vol 0.05"),
    CaseNumber());

TEST_P(InfoAndTarget, InfoAgreesWithAnIndependentMeterAndNormalizingReachesTheTarget) {
    if (!HaveTools()) GTEST_SKIP() << "ffmpeg or sox missing";
    MakeInput(GetParam());
    const auto file = dir / "s.wav";
    const std::string info = Cli("info '" + file.string() + "'");
    const Reference ref = MeasureWithFfmpeg(file);
    EXPECT_NEAR(After(info, "integrated_lufs:"), ref.integrated, 0.1) << info;
    EXPECT_NEAR(After(info, "loudness_range_lu:"), ref.range, 0.1) << info;
    EXPECT_NEAR(After(info, "true_peak_dbtp:"), ref.truePeak, 0.2) << info;

    const auto out = dir / "out.wav";
    const std::string said = Cli("remaster '" + file.string() + "' '" + out.string() +
                                 "' --normalize-lufs -16 --true-peak-max -1 --json");
    const Reference after = MeasureWithFfmpeg(out);
    // A loud signal may be held below the target by the ceiling, and that is said; never
    // above it.
    EXPECT_LE(after.truePeak, -1.0 + 0.05);
    const bool held = ref.truePeak - ref.integrated > 14.8;
    if (!held) EXPECT_NEAR(after.integrated, -16.0, 0.1);
    if (held) EXPECT_LT(after.integrated, -16.0);
    const std::string field = held ? "\"held_by_true_peak\":true" : "\"held_by_true_peak\":false";
    EXPECT_NE(said.find(field), std::string::npos) << said;
    EXPECT_EQ(said.find("by the -1 dBTP true-peak ceiling") != std::string::npos, held);
}

// Wide-band noise is where a coarse true-peak meter reads low; the ceiling must hold as the
// independent meter sees it. -R makes sox's noise repeatable.
struct CeilingOnNoise : LoudnessCliTest, ::testing::WithParamInterface<const char*> {};
INSTANTIATE_TEST_SUITE_P(
    Noises, CeilingOnNoise,
    ::testing::Values("sox -R -n -r 48000 -b 24 -c 2 s.wav synth 4 whitenoise vol 0.2",
                      "sox -R -n -r 44100 -b 16 -c 2 s.wav synth 4 whitenoise vol 0.2",
                      "sox -R -n -r 44100 -b 16 -c 1 s.wav synth 5 pinknoise vol 0.3"),
    CaseNumber());

TEST_P(CeilingOnNoise, TruePeakCeilingHoldsOnNoise) {
    if (!HaveTools()) GTEST_SKIP() << "ffmpeg or sox missing";
    MakeInput(GetParam());
    const auto file = dir / "s.wav";
    const std::string info = Cli("info '" + file.string() + "'");
    EXPECT_NEAR(After(info, "true_peak_dbtp:"), MeasureWithFfmpeg(file).truePeak, 0.2) << info;
    const auto out = dir / "out.wav";
    // A target this loud is reachable only through the ceiling.
    const std::string said = Cli("remaster '" + file.string() + "' '" + out.string() +
                                 "' --normalize-lufs -3 --true-peak-max -1");
    EXPECT_NE(said.find("held at"), std::string::npos) << said;
    const Reference after = MeasureWithFfmpeg(out);
    EXPECT_LE(after.truePeak, -1.0) << after.integrated;
    EXPECT_GT(after.truePeak, -1.3);  // held at the ceiling, not far below it
}

// Where the ceiling holds plain gain back, the limiter reaches the target, and the ceiling
// still holds as the independent meter sees it: sparse clicks, and wide-band noise.
struct LimiterCase {
    const char* sox;  // commands that write s.wav
    double target;
};
void PrintTo(const LimiterCase& c, std::ostream* out) { *out << c.sox; }

struct LimiterReachesTarget : LoudnessCliTest, ::testing::WithParamInterface<LimiterCase> {};
INSTANTIATE_TEST_SUITE_P(
    Cases, LimiterReachesTarget,
    ::testing::Values(
        LimiterCase{"sox -R -n -r 48000 -b 16 -c 2 a.wav synth 5 square 2 highpass 1000 vol 0.4 && "
                    "sox -R -n -r 48000 -b 16 -c 2 b.wav synth 5 sine 440 vol 0.02 && "
                    "sox -m a.wav b.wav s.wav",
                    -16},
        LimiterCase{"sox -R -n -r 44100 -b 24 -c 1 s.wav synth 5 pinknoise vol 0.3", -9}),
    CaseNumber());

TEST_P(LimiterReachesTarget, TheLimiterReachesTargetsThatTheCeilingHeldBack) {
    if (!HaveTools()) GTEST_SKIP() << "ffmpeg or sox missing";
    const LimiterCase& c = GetParam();
    MakeInput(c.sox);
    const auto file = dir / "s.wav";
    const auto out = dir / "out.wav";
    const std::string said =
        Cli("remaster '" + file.string() + "' '" + out.string() + "' --normalize-lufs " +
            std::to_string(c.target) + " --true-peak-max -1 --limiter --json");
    EXPECT_NE(said.find("\"held_by_true_peak\":false"), std::string::npos) << said;
    EXPECT_NE(said.find("\"limiter\":true"), std::string::npos) << said;
    const Reference after = MeasureWithFfmpeg(out);
    EXPECT_NEAR(after.integrated, c.target, 0.5);
    EXPECT_LE(after.truePeak, -1.0);
}

TEST(LoudnessOptions, ValuesOutsideTheirRangeAreRefused) {
    struct Case {
        std::vector<const char*> args;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {{"x", "remaster", "a", "b", "--normalize-lufs", "-16"}, true},
        {{"x", "remaster", "a", "b", "--normalize-lufs", "-70", "--true-peak-max", "-1.5"}, true},
        {{"x", "remaster", "a", "b", "--normalize-lufs", "1"}, false},
        {{"x", "remaster", "a", "b", "--normalize-lufs", "-70.5"}, false},
        {{"x", "remaster", "a", "b", "--normalize-lufs", "nan"}, false},
        {{"x", "remaster", "a", "b", "--true-peak-max", "0.5"}, false},
        {{"x", "remaster", "a", "b", "--true-peak-max", "-2"}, false},  // nothing to hold
        {{"x", "batch", "a", "b", "--true-peak-max", "-2", "--normalize"}, false},
        {{"x", "info", "a", "--normalize-lufs", "-16"}, false},
        {{"x", "remaster", "a", "b", "--limiter"}, false},  // nothing to reach
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options =
            cli::ParseOptions(static_cast<int>(c.args.size()), c.args.data(), error);
        EXPECT_EQ(options.has_value(), c.accepted) << c.args[4] << " " << error;
        if (options && c.accepted) {
            EXPECT_TRUE(options->NormalizeLufs.has_value());
        }
    }
}

}  // namespace
}  // namespace sv
