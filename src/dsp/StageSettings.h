#pragma once
// Every whole-number stage setting, declared once: the window's spin boxes, the command line's
// options, its usage text, the JSON records, the man page and the defaults of RemasterSettings
// all read this table, so their ranges cannot drift apart.
#include <span>
#include <string>
#include <string_view>

namespace sv {

struct RemasterSettings;

// The stage whose record lists the setting.
enum class SettingStage { Denoise, Level, FitPeaks, Normalize };

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

std::span<const IntSetting> IntSettings();

// The entry whose option is flag, or null.
const IntSetting* FindIntSetting(std::string_view flag);

// The entry of a member; every whole-number member of RemasterSettings has one.
const IntSetting& SettingOf(int RemasterSettings::*member);

// The start-up value of a member, as the table declares it.
int DefaultOf(int RemasterSettings::*member);

// "1..64", or the choices of a power-of-two setting: "512, 1024, 2048, 4096 or 8192".
std::string RangeText(const IntSetting& setting);

// Whether value is one the setting accepts.
bool Accepts(const IntSetting& setting, int value);

// The value the engine uses: OffValue while the setting's switch is off.
int EffectiveValue(const IntSetting& setting, const RemasterSettings& settings);

}  // namespace sv
