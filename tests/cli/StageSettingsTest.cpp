// The stage settings table drives the option parser, the usage text, the JSON records and the
// defaults; each setting is checked through all of them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/JsonLines.h"
#include "cli/Options.h"
#include "dsp/StageSettings.h"

namespace sv {
namespace {

struct Contract {
    std::string_view Flag;
    int Min, Max, Default;
};

// The command line's documented ranges and the window's start-up values.
constexpr Contract Documented[] = {
    {"--noise-parts", 1, 64, 1},      {"--noise-seconds", 1, 9, 1},
    {"--noise-percent", 0, 200, 100}, {"--bands", 3, 255, 60},
    {"--limit", 2, 128, 10},          {"--highpass", 16, 250, 20},
    {"--highpass-slope", 1, 64, 6},   {"--lowpass", 8, 20, 16},
    {"--lowpass-slope", 1, 64, 6},    {"--peak-count", 5, 999, 100},
    {"--peak-size", 512, 8192, 4096}, {"--normalize-db", -48, 0, 0},
};

std::optional<cli::Options> Parse(std::vector<std::string> extra, std::string& error) {
    std::vector<std::string> args = {"sonivar-cli", "remaster", "a.wav",       "b.wav",
                                     "--denoise",   "--level",  "--fit-peaks", "--normalize"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    return cli::ParseOptions(static_cast<int>(argv.size()), argv.data(), error);
}

TEST(StageSettings, EverySettingReachesParserDefaultsUsageAndRecord) {
    ASSERT_EQ(IntSettings().size(), std::size(Documented));
    const std::string usage = cli::UsageText();
    for (const Contract& expected : Documented) {
        SCOPED_TRACE(std::string(expected.Flag));
        const IntSetting* setting = FindIntSetting(expected.Flag);
        ASSERT_NE(setting, nullptr);
        EXPECT_EQ(setting->Min, expected.Min);
        EXPECT_EQ(setting->Max, expected.Max);
        EXPECT_EQ(RemasterSettings{}.*setting->Member, expected.Default);
        EXPECT_NE(
            usage.find("  " + std::string(setting->Flag) + " " + std::string(setting->Value) + " "),
            std::string::npos);

        const std::string flag(setting->Flag);
        std::string error;
        for (const int value : {expected.Min, expected.Max}) {
            const auto options = Parse({flag, std::to_string(value)}, error);
            ASSERT_TRUE(options) << error;
            EXPECT_EQ(options->Settings.*setting->Member, value);
            // The record shows the value the stage uses, under the setting's key.
            const auto record = nlohmann::json::parse(cli::JsonLine({}, *options));
            int found = 0;
            for (const auto& stage : record["stages"])
                if (stage.contains(setting->JsonKey)) {
                    EXPECT_EQ(stage[setting->JsonKey], value);
                    ++found;
                }
            EXPECT_EQ(found, 1);
        }
        for (const int value : {expected.Min - 1, expected.Max + 1})
            EXPECT_FALSE(Parse({flag, std::to_string(value)}, error)) << value;
    }
}

TEST(StageSettings, ASwitchedSettingIsOffUntilItsOptionIsGiven) {
    std::string error;
    const auto options = Parse({}, error);
    ASSERT_TRUE(options) << error;
    const auto record = nlohmann::json::parse(cli::JsonLine({}, *options));
    const auto& level = record["stages"][1];
    EXPECT_EQ(level["highpass_hz"], 5);
    EXPECT_EQ(level["lowpass_khz"], 25);
    EXPECT_NE(cli::UsageText().find("16..250 (off) "), std::string::npos);
    EXPECT_NE(cli::UsageText().find("512, 1024, 2048, 4096 or 8192 (4096)  "), std::string::npos);
}

}  // namespace
}  // namespace sv
