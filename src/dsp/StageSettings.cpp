#include "dsp/StageSettings.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "dsp/RemasterSettings.h"

namespace sv {

namespace {

using S = RemasterSettings;
using enum SettingStage;

// In the order of the usage text and the man page.
constexpr IntSetting Table[] = {
    {"noiseParts", "--noise-parts", "N", "noise_parts", 1, 64, 1, "blocks", "CaL5",
     "parts searched for their quietest stretch", Denoise, &S::NoiseParts},
    {"noiseSeconds", "--noise-seconds", "N", "noise_seconds", 1, 9, 1, "seconds", "CaL7",
     "length of that stretch in seconds", Denoise, &S::NoiseSeconds},
    {"noisePercent", "--noise-percent", "N", "noise_percent", 0, 200, 100, "%", "",
     "how much of the noise profile is removed", Denoise, &S::NoisePercent},
    {"bands", "--bands", "N", "bands", 3, 255, 60, "bands", "CaL8",
     "logarithmic bands of the correction", Level, &S::Bands},
    {"limit", "--limit", "N", "limit", 2, 128, 10, "times", "CaL10",
     "largest spread of the correction, in times", Level, &S::Limit},
    {"highPass", "--highpass", "HZ", "highpass_hz", 16, 250, 20, "Hz", "",
     "suppress frequencies below HZ", Level, &S::HighPassHz, &S::HighPass, 5},
    {"highPassSlope", "--highpass-slope", "N", "highpass_slope", 1, 64, 6, "dB/oct", "",
     "dB per octave below the high-pass frequency", Level, &S::HighPassSlope},
    {"lowPass", "--lowpass", "KHZ", "lowpass_khz", 8, 20, 16, "kHz", "",
     "suppress frequencies above KHZ kHz", Level, &S::LowPassKHz, &S::LowPass, 25},
    {"lowPassSlope", "--lowpass-slope", "N", "lowpass_slope", 1, 64, 6, "dB/oct", "",
     "dB per octave above the low-pass frequency", Level, &S::LowPassSlope},
    {"peakCount", "--peak-count", "N", "peak_count", 5, 999, 100, "pieces", "CaL4",
     "number of peaks fitted", FitPeaks, &S::PeakCount},
    {"peakBlockSize", "--peak-size", "N", "peak_size", 512, 8192, 4096, "points", "CaL12",
     "peak border in samples", FitPeaks, &S::PeakBlockSize, nullptr, 0, true},
    {"normalize", "--normalize-db", "N", "normalize_db", -48, 0, 0, "dB", "",
     "level of the highest peak after normalizing", Normalize, &S::NormalizeDb},
};

// In the order of the usage text and the man page.
constexpr ChoiceSetting Choices[] = {
    {"channelMode", "--channel-mode", "N", "channel_mode", 0, 4, 3,
     "0 both channels alike .. 4 separate channels", Level,
     [](const S& s) { return static_cast<int>(s.ChannelMode); },
     [](S& s, int v) { s.ChannelMode = static_cast<ChannelMode>(v); }},
    {"bandLevel", "--band-mode", "N", "band_mode", 0, 4, 1, "0 band average .. 4 band peak", Level,
     [](const S& s) { return static_cast<int>(s.BandLevelMode); },
     [](S& s, int v) { s.BandLevelMode = static_cast<BandLevelMode>(v); }},
};

constexpr SwitchSetting Switches[] = {
    {"removeNoise", "--denoise", "denoise", "CaRemNoise", "HiRemNoise",
     "noise removal (the quietest stretch is the noise profile)", Denoise, &S::RemoveNoise, true},
    {"smoothNoise", "--noise-smooth", "noise_smooth", "CaSmoothNoise", "HiSmoothNoise",
     "smooth noise removal: no tonal bursts (prefer for speech)", Denoise, &S::SmoothNoise},
    {"levelling", "--level", "level", "CaRemast", "HiRemast",
     "frequency and dynamic levelling towards the target timbre", Level, &S::Levelling, true},
    {"bandMeans", "--band-means", "band_means", "CaBandMeans", "HiBandMeans",
     "level by band means: a stored timbre then levels\nlike the recording it was detected from",
     Level, &S::BandMeans, false, false, false},
    {"highPass", "", "", "CaHiPass", "HiHiPass", "", Level, &S::HighPass},
    {"lowPass", "", "", "CaLoPass", "HiLoPass", "", Level, &S::LowPass},
    {"fitPeaks", "--fit-peaks", "fit-peaks", "CaRemPeek", "HiRemPeek",
     "lower the largest peaks with smooth dips instead of clipping", FitPeaks, &S::FitPeaks, true},
    {"normalize", "--normalize", "normalize", "CaNormalize", "HiNormalize",
     "bring the highest peak to --normalize-db", Normalize, &S::Normalize, true},
    {"perChannel", "--per-channel", "per_channel", "CaStereo", "HiStereo",
     "normalize each channel on its own", Normalize, &S::PerChannel},
    {"limiter", "--limiter", "limiter", "CaLimiter", "HiLimiter",
     "with --normalize-lufs: reach the target, a look-ahead\nlimiter keeping the true-peak ceiling",
     NormalizeLoudness, &S::Limiter},
};

constexpr LoudnessSetting Loudness[] = {
    {"normalizeLufs", "--normalize-lufs", "L", "normalize_lufs", -70, 0, -16, true,
     "normalize to integrated loudness L LUFS instead\nof the peak (the last stage)"},
    {"truePeak", "--true-peak-max", "D", "true_peak_max", -20, 0, -1, false,
     "with --normalize-lufs: the true peak stays at\nmost D dBTP"},
};

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

template <typename Entry>
const Entry& Named(std::span<const Entry> table, std::string_view name) {
    for (const auto& entry : table)
        if (entry.Name == name) return entry;
    throw std::logic_error("a setting without a table entry");
}

template <typename Entry>
const Entry* WithFlag(std::span<const Entry> table, std::string_view flag) {
    for (const auto& entry : table)
        if (!entry.Flag.empty() && entry.Flag == flag) return &entry;
    return nullptr;
}

}  // namespace

std::span<const ChoiceSetting> ChoiceSettings() { return Choices; }

std::span<const LoudnessSetting> LoudnessSettings() { return Loudness; }

const LoudnessSetting* FindLoudnessSetting(std::string_view flag) {
    return WithFlag<LoudnessSetting>(Loudness, flag);
}

const LoudnessSetting& LoudnessNamed(std::string_view name) {
    return Named<LoudnessSetting>(Loudness, name);
}

std::string RangeText(const LoudnessSetting& setting) {
    return Decimal(setting.Min) + ".." + Decimal(setting.Max);
}

std::string StartText(const LoudnessSetting& setting) {
    return setting.OffUntilGiven ? "off" : Decimal(setting.Default);
}

std::span<const SwitchSetting> SwitchSettings() { return Switches; }

const ChoiceSetting* FindChoiceSetting(std::string_view flag) {
    return WithFlag<ChoiceSetting>(Choices, flag);
}

const SwitchSetting* FindSwitchSetting(std::string_view flag) {
    return WithFlag<SwitchSetting>(Switches, flag);
}

const SwitchSetting& SettingOf(bool RemasterSettings::*member) {
    for (const auto& entry : Switches)
        if (entry.Member == member) return entry;
    throw std::logic_error("a switch without a table entry");
}

const ChoiceSetting& ChoiceNamed(std::string_view name) {
    return Named<ChoiceSetting>(Choices, name);
}

bool DefaultOf(bool RemasterSettings::*member) { return SettingOf(member).Default; }

const IntSetting& SettingOf(int RemasterSettings::*member) {
    const auto* entry = std::find_if(std::begin(Table), std::end(Table),
                                     [member](const IntSetting& s) { return s.Member == member; });
    if (entry == std::end(Table)) throw std::logic_error("a setting without a table entry");
    return *entry;
}

std::span<const IntSetting> IntSettings() { return Table; }

const IntSetting* FindIntSetting(std::string_view flag) {
    return WithFlag<IntSetting>(Table, flag);
}

int DefaultOf(int RemasterSettings::*member) { return SettingOf(member).Default; }

std::string RangeText(const IntSetting& setting) {
    if (!setting.PowerOfTwo)
        return std::to_string(setting.Min) + ".." + std::to_string(setting.Max);
    std::string text;
    for (int v = setting.Min; v <= setting.Max; v *= 2)
        text += (text.empty() ? "" : v * 2 > setting.Max ? " or " : ", ") + std::to_string(v);
    return text;
}

std::string RangeText(const ChoiceSetting& setting) {
    return std::to_string(setting.Min) + ".." + std::to_string(setting.Max);
}

bool Accepts(const IntSetting& setting, int value) {
    const bool powerOfTwo = !setting.PowerOfTwo || (value > 0 && (value & (value - 1)) == 0);
    return value >= setting.Min && value <= setting.Max && powerOfTwo;
}

int EffectiveValue(const IntSetting& setting, const RemasterSettings& settings) {
    if (setting.Switch && !(settings.*setting.Switch)) return setting.OffValue;
    return settings.*setting.Member;
}

int RemasterSettings::EffectiveHighPassHz() const {
    return EffectiveValue(SettingOf(&RemasterSettings::HighPassHz), *this);
}

int RemasterSettings::EffectiveLowPassKHz() const {
    return EffectiveValue(SettingOf(&RemasterSettings::LowPassKHz), *this);
}

}  // namespace sv
