// The stage settings tables drive the option parser, the usage text, the JSON records and the
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

// The choices and the switches that have an option, with the record each shows up in.
struct ChoiceOrSwitch {
    std::string_view Flag;
    int Min, Max, Default;    // a switch: 0, 1, 0
    std::string_view Record;  // the stage record that shows it
    std::string_view Key;     // its key there; empty: the record itself is the switch
};

constexpr ChoiceOrSwitch DocumentedChoices[] = {
    {"--channel-mode", 0, 4, 3, "level", "channel_mode"},
    {"--band-mode", 0, 4, 1, "level", "band_mode"},
    {"--denoise", 0, 1, 0, "denoise", ""},
    {"--noise-smooth", 0, 1, 0, "denoise", "noise_smooth"},
    {"--level", 0, 1, 0, "level", ""},
    {"--band-means", 0, 1, 0, "level", "band_means"},
    {"--fit-peaks", 0, 1, 0, "fit-peaks", ""},
    {"--normalize", 0, 1, 0, "normalize", ""},
    {"--per-channel", 0, 1, 0, "normalize", "per_channel"},
    {"--limiter", 0, 1, 0, "normalize-lufs", "limiter"},
};

// The stage record of a name in a record's stages, or null.
const nlohmann::json* StageNamed(const nlohmann::json& record, std::string_view name) {
    for (const auto& stage : record["stages"])
        if (stage["name"] == name) return &stage;
    return nullptr;
}

TEST(StageSettings, EveryChoiceAndSwitchReachesParserDefaultsUsageAndRecord) {
    std::size_t flagged = 0;
    for (const SwitchSetting& s : SwitchSettings()) flagged += s.Flag.empty() ? 0 : 1;
    ASSERT_EQ(ChoiceSettings().size() + flagged, std::size(DocumentedChoices));
    const std::string usage = cli::UsageText();
    for (const ChoiceOrSwitch& expected : DocumentedChoices) {
        SCOPED_TRACE(std::string(expected.Flag));
        const ChoiceSetting* choice = FindChoiceSetting(expected.Flag);
        const SwitchSetting* toggle = FindSwitchSetting(expected.Flag);
        ASSERT_NE(choice == nullptr, toggle == nullptr);
        const auto valueOf = [&](const RemasterSettings& s) {
            return choice ? choice->Get(s) : static_cast<int>(s.*toggle->Member);
        };
        EXPECT_EQ(valueOf(RemasterSettings{}), expected.Default);
        EXPECT_NE(usage.find("  " + std::string(expected.Flag) + " "), std::string::npos);

        std::string error;
        for (const int value : {expected.Min, expected.Max}) {
            // Loudness normalizing on, so that its record is there too.
            std::vector<std::string> args{"--normalize-lufs", "-20"};
            if (choice)
                args.insert(args.end(), {std::string(expected.Flag), std::to_string(value)});
            if (toggle && value == 1) args.push_back(std::string(expected.Flag));
            auto options = Parse(args, error);
            ASSERT_TRUE(options) << error;
            // Parse turns every stage on; a stage's switch is seen when it alone is off.
            if (toggle && toggle->IsStage && value == 0) options->Settings.*toggle->Member = false;
            EXPECT_EQ(valueOf(options->Settings), value);
            const auto record = nlohmann::json::parse(cli::JsonLine({}, *options));
            const nlohmann::json* stage = StageNamed(record, expected.Record);
            if (expected.Key.empty()) {
                EXPECT_EQ(stage != nullptr, value == 1);
            } else {
                ASSERT_NE(stage, nullptr);
                EXPECT_EQ((*stage)[std::string(expected.Key)],
                          choice ? nlohmann::json(value) : nlohmann::json(value == 1));
            }
        }
        if (choice)
            for (const int value : {expected.Min - 1, expected.Max + 1})
                EXPECT_FALSE(Parse({std::string(expected.Flag), std::to_string(value)}, error));
    }
}

TEST(StageSettings, LoudnessSettingsReachParserUsageAndRecord) {
    struct Documented {
        std::string_view Flag;
        double Min, Max;
        std::string_view UsageStart;
    };
    const Documented expected[] = {{"--normalize-lufs", -70, 0, "-70..0 (off)  "},
                                   {"--true-peak-max", -20, 0, "-20..0 (-1)   "}};
    ASSERT_EQ(LoudnessSettings().size(), std::size(expected));
    for (const Documented& e : expected) {
        SCOPED_TRACE(std::string(e.Flag));
        const LoudnessSetting* setting = FindLoudnessSetting(e.Flag);
        ASSERT_NE(setting, nullptr);
        EXPECT_NE(cli::UsageText().find(std::string(e.UsageStart)), std::string::npos);
        std::string error;
        for (const double value : {e.Min, e.Max}) {
            const std::string text = std::to_string(value);
            const auto options =
                Parse({"--normalize-lufs", "-20", std::string(e.Flag), text}, error);
            ASSERT_TRUE(options) << error;
            const auto record = nlohmann::json::parse(cli::JsonLine({}, *options));
            const nlohmann::json* stage = StageNamed(record, "normalize-lufs");
            ASSERT_NE(stage, nullptr);
            EXPECT_EQ((*stage)[std::string(setting->JsonKey)], value);
        }
        for (const double value : {e.Min - 0.5, e.Max + 0.5})
            EXPECT_FALSE(Parse({std::string(e.Flag), std::to_string(value)}, error));
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
