#pragma once
// Every stage setting, declared once: the window's controls, the command line's options, its
// usage text, the JSON records, the man page and the defaults of RemasterSettings all read these
// tables, so their ranges cannot drift apart. Four kinds: whole numbers (spin boxes), choices
// between numbered steps (sliders), switches (check boxes: the stages themselves, the pass
// filters, normalizing each channel on its own) and the decimals of loudness normalizing. A new
// setting is one entry here, its member in RemasterSettings, its place in the window and its use
// in the engine; option, usage, record, man page, range and default follow from the entry.
#include <span>
#include <string>
#include <string_view>

namespace sv {

struct RemasterSettings;

// The stage whose record lists the setting.
enum class SettingStage { Denoise, Level, FitPeaks, Normalize, NormalizeLoudness };

struct IntSetting {
    std::string_view Name;     // the window's controls: Name + "Spin", Name + "Unit"
    std::string_view Flag;     // command-line option
    std::string_view Value;    // the option's value in the usage text, e.g. "N", "HZ"
    std::string_view JsonKey;  // key in the stage's JSON record
    int Min;
    int Max;
    int Default;
    std::string_view Unit;     // shown beside the control when UnitKey is empty
    std::string_view UnitKey;  // language key of the unit caption beside the control
    std::string_view Help;     // one line for the usage text and the man page
    SettingStage Stage;
    int RemasterSettings::*Member;
    // Settings that a switch turns on: the option sets the switch too, and while it is off the
    // record and the engine use OffValue.
    bool RemasterSettings::*Switch = nullptr;
    int OffValue = 0;
    bool PowerOfTwo = false;  // only the powers of two between Min and Max
};

// A choice between the steps Min..Max, held in RemasterSettings as an enumeration.
struct ChoiceSetting {
    std::string_view Name;  // the window's slider: Name + "Slider"
    std::string_view Flag;
    std::string_view Value;
    std::string_view JsonKey;
    int Min;
    int Max;
    int Default;
    std::string_view Help;
    SettingStage Stage;
    int (*Get)(const RemasterSettings&);
    void (*Set)(RemasterSettings&, int);
};

// An on/off setting. A stage's own switch names the stage's JSON record; the others are keys of
// their stage's record.
struct SwitchSetting {
    std::string_view Name;        // the window's check box: Name + "Check"
    std::string_view Flag;        // empty: turned on by the option of the value it switches
    std::string_view JsonKey;     // empty: not in the record (the record shows its effect)
    std::string_view CaptionKey;  // language keys of the check box's caption and hint
    std::string_view HintKey;
    std::string_view Help;
    SettingStage Stage;
    bool RemasterSettings::*Member;
    bool IsStage = false;  // the switch of the stage itself
    bool Default = false;
    bool InWindow = true;  // false: the command line only (the window has no use for it yet)
};

// A setting of loudness normalizing: a decimal on the command line, a whole number in the
// window. The stage runs when its target's option is given (the window: its unit is LUFS).
struct LoudnessSetting {
    std::string_view Name;  // the window's spin box: Name + "Spin" (the target: normalizeSpin)
    std::string_view Flag;
    std::string_view Value;
    std::string_view JsonKey;  // key in the "normalize-lufs" record
    double Min;
    double Max;
    double Default;         // the window's start value
    bool OffUntilGiven;     // the command line's start value is "off"
    std::string_view Help;  // a line break continues the usage text's line
};

std::span<const IntSetting> IntSettings();
std::span<const LoudnessSetting> LoudnessSettings();
std::span<const ChoiceSetting> ChoiceSettings();
// In the order of the stages, then the stages' own switches.
std::span<const SwitchSetting> SwitchSettings();

// The entry whose option is flag, or null.
const IntSetting* FindIntSetting(std::string_view flag);

const ChoiceSetting* FindChoiceSetting(std::string_view flag);
const SwitchSetting* FindSwitchSetting(std::string_view flag);
const LoudnessSetting* FindLoudnessSetting(std::string_view flag);

// The entry of a member; every whole-number and on/off member of RemasterSettings has one.
const IntSetting& SettingOf(int RemasterSettings::*member);
const SwitchSetting& SettingOf(bool RemasterSettings::*member);
// The choice whose window control is Name + "Slider".
const ChoiceSetting& ChoiceNamed(std::string_view name);
const LoudnessSetting& LoudnessNamed(std::string_view name);

// The start-up value of a member, as the table declares it.
int DefaultOf(int RemasterSettings::*member);
bool DefaultOf(bool RemasterSettings::*member);
template <typename Enum>
Enum DefaultChoice(std::string_view name) {
    return static_cast<Enum>(ChoiceNamed(name).Default);
}

// "1..64", or the choices of a power-of-two setting: "512, 1024, 2048, 4096 or 8192".
std::string RangeText(const IntSetting& setting);
std::string RangeText(const ChoiceSetting& setting);
// "-70..0"
std::string RangeText(const LoudnessSetting& setting);
// "off", or the default as the range shows numbers: "-1".
std::string StartText(const LoudnessSetting& setting);

// Whether value is one the setting accepts.
bool Accepts(const IntSetting& setting, int value);

// The value the engine uses: OffValue while the setting's switch is off.
int EffectiveValue(const IntSetting& setting, const RemasterSettings& settings);

}  // namespace sv
