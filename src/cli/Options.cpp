#include "cli/Options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace sv::cli {

namespace {

struct IntOption {
    std::string_view name;
    int min;
    int max;
    int RemasterSettings::*field;
    bool RemasterSettings::*enables;  // set to true when the option is given, or null
};

const IntOption IntOptions[] = {
    {"--noise-parts", 1, 64, &RemasterSettings::NoiseParts, nullptr},
    {"--noise-seconds", 1, 9, &RemasterSettings::NoiseSeconds, nullptr},
    {"--noise-percent", 0, 200, &RemasterSettings::NoisePercent, nullptr},
    {"--bands", 3, 255, &RemasterSettings::Bands, nullptr},
    {"--limit", 2, 128, &RemasterSettings::Limit, nullptr},
    {"--channel-mode", 0, 4, &RemasterSettings::ChannelMode, nullptr},
    {"--band-mode", 0, 4, &RemasterSettings::BandLevelMode, nullptr},
    {"--highpass", 16, 250, &RemasterSettings::HighPassHz, &RemasterSettings::HighPass},
    {"--highpass-slope", 1, 64, &RemasterSettings::HighPassSlope, nullptr},
    {"--lowpass", 8, 20, &RemasterSettings::LowPassKHz, &RemasterSettings::LowPass},
    {"--lowpass-slope", 1, 64, &RemasterSettings::LowPassSlope, nullptr},
    {"--peak-count", 5, 999, &RemasterSettings::PeakCount, nullptr},
    {"--peak-size", 512, 8192, &RemasterSettings::PeakBlockSize, nullptr},
    {"--normalize-db", -48, 0, &RemasterSettings::NormalizeDb, nullptr},
};

struct FlagOption {
    std::string_view name;
    bool RemasterSettings::*field;
};

const FlagOption StageFlags[] = {
    {"--denoise", &RemasterSettings::RemoveNoise},    {"--level", &RemasterSettings::Levelling},
    {"--fit-peaks", &RemasterSettings::FitPeaks},     {"--normalize", &RemasterSettings::Normalize},
    {"--per-channel", &RemasterSettings::PerChannel},
};

struct DecimalOption {
    std::string_view name;
    double min;
    double max;
};

const DecimalOption LoudnessOptions[] = {{"--normalize-lufs", -70.0, 0.0},
                                         {"--true-peak-max", -20.0, 0.0}};

bool ParseDecimal(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty() && std::isfinite(value);
}

// Takes a loudness option and its value; false with error set when the value is refused.
bool ParseLoudnessOption(const DecimalOption& option, std::string_view text, Options& options,
                         std::string& error) {
    double number = 0.0;
    if (!ParseDecimal(text, number) || number < option.min || number > option.max) {
        char range[64];
        std::snprintf(range, sizeof range, "%g..%g", option.min, option.max);
        error = "option " + std::string(option.name) + " takes a number in " + range + ", not '" +
                std::string(text) + "'";
        return false;
    }
    if (option.name == "--normalize-lufs") {
        options.NormalizeLufs = number;
    } else {
        options.TruePeakMax = number;
    }
    return true;
}

bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

}  // namespace

std::string UsageText() {
    return "Usage:\n"
           "  sonivar-cli info     IN.wav\n"
           "  sonivar-cli remaster IN.wav OUT.wav [stages] [settings]\n"
           "  sonivar-cli detect   REF.wav OUT.sts [--band-mode N]\n"
           "  sonivar-cli batch    SRC_DIR DST_DIR [--overwrite] [stages] [settings]\n"
           "  sonivar-cli --help | --version\n"
           "\n"
           "Commands:\n"
           "  info      print format, length, peak level per channel and loudness of IN\n"
           "  remaster  load IN, run the chosen stages, save OUT (no stage: load and save)\n"
           "  detect    measure the timbre of REF and store it as a timbre file\n"
           "  batch     process every *.wav of SRC_DIR into DST_DIR as _NAME.wav\n"
           "            (--overwrite: as NAME.wav, replacing an existing file)\n"
           "\n"
           "Stages (any combination, always run in this order):\n"
           "  --denoise            noise removal (the quietest stretch is the noise profile)\n"
           "  --level              frequency and dynamic levelling towards the target timbre\n"
           "  --fit-peaks          lower the largest peaks with smooth dips instead of clipping\n"
           "  --normalize          bring the highest peak to --normalize-db\n"
           "\n"
           "Settings (range, default in brackets; values out of range are refused):\n"
           "  --noise-parts N      1..64 (1)     parts searched for their quietest stretch\n"
           "  --noise-seconds N    1..9 (1)      length of that stretch in seconds\n"
           "  --noise-percent N    0..200 (100)  how much of the noise profile is removed\n"
           "  --timbre NAME        clear, split, premaster, drum, pop or FILE.sts (clear)\n"
           "  --example REF.wav    target = the timbre detected from REF.wav\n"
           "  --bands N            3..255 (60)   logarithmic bands of the correction\n"
           "  --limit N            2..128 (10)   largest spread of the correction, in times\n"
           "  --channel-mode N     0..4 (3)      0 both channels alike .. 4 separate channels\n"
           "  --band-mode N        0..4 (1)      0 band average .. 4 band peak\n"
           "  --highpass HZ        16..250 (off) suppress frequencies below HZ\n"
           "  --highpass-slope N   1..64 (6)     dB per octave below the high-pass frequency\n"
           "  --lowpass KHZ        8..20 (off)   suppress frequencies above KHZ kHz\n"
           "  --lowpass-slope N    1..64 (6)     dB per octave above the low-pass frequency\n"
           "  --peak-count N       5..999 (100)  number of peaks fitted\n"
           "  --peak-size N        512, 1024, 2048, 4096 or 8192 (4096)  peak border in samples\n"
           "  --normalize-db N     -48..0 (0)    level of the highest peak after normalizing\n"
           "  --per-channel        normalize each channel on its own\n"
           "  --normalize-lufs L   -70..0 (off)  normalize to integrated loudness L LUFS instead\n"
           "                                     of the peak (the last stage)\n"
           "  --true-peak-max D    -20..0 (-1)   the true peak stays at most D dBTP\n"
           "\n"
           "Options of every command:\n"
           "  --work-folder DIR    where the work files go (automatic: most free space)\n"
           "  --quiet              no progress output\n"
           "  --                   the arguments that follow are paths\n"
           "\n"
           "Exit status: 0 done, 1 input/output failure, 2 usage error, 3 input refused,\n"
           "130 cancelled.\n";
}

std::optional<Options> ParseOptions(int argc, const char* const* argv, std::string& error) {
    Options options;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    const std::string_view command = args[0];
    std::size_t positionalWanted = 0;
    if (command == "--help" || command == "-h" || command == "help") {
        options.Command = CliCommand::Help;
    } else if (command == "--version") {
        options.Command = CliCommand::Version;
    } else if (command == "info") {
        options.Command = CliCommand::Info;
        positionalWanted = 1;
    } else if (command == "remaster") {
        options.Command = CliCommand::Remaster;
        positionalWanted = 2;
    } else if (command == "detect") {
        options.Command = CliCommand::Detect;
        positionalWanted = 2;
    } else if (command == "batch") {
        options.Command = CliCommand::Batch;
        positionalWanted = 2;
    } else {
        error = "unknown command '" + std::string(command) + "'";
        return std::nullopt;
    }

    const bool takesSettings =
        options.Command == CliCommand::Remaster || options.Command == CliCommand::Batch;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded) {
            positional.emplace_back(arg);
            continue;
        }
        if (arg == "--") {  // everything after it is a path, even one that starts with "--"
            optionsEnded = true;
            continue;
        }
        auto value = [&](std::string_view& out) {
            if (i + 1 >= args.size()) {
                error = "option " + std::string(arg) + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (arg.size() < 2 || arg.substr(0, 2) != "--") {
            positional.emplace_back(arg);
            continue;
        }
        if (arg == "--quiet") {
            options.Quiet = true;
            continue;
        }
        if (arg == "--work-folder") {
            std::string_view v;
            if (!value(v)) return std::nullopt;
            options.WorkFolder = v;
            continue;
        }
        if (arg == "--band-mode" && options.Command == CliCommand::Detect) {
            // detect takes this one setting
        } else if (!takesSettings) {
            error = "unknown option " + std::string(arg) + " for this command";
            return std::nullopt;
        }
        if (arg == "--overwrite" && options.Command == CliCommand::Batch) {
            options.Overwrite = true;
            continue;
        }
        if (arg == "--timbre" || arg == "--example") {
            std::string_view v;
            if (!value(v)) return std::nullopt;
            (arg == "--timbre" ? options.Timbre : options.Example) = std::string(v);
            continue;
        }
        bool matched = false;
        for (const auto& opt : LoudnessOptions) {
            if (arg != opt.name) continue;
            std::string_view v;
            if (!value(v) || !ParseLoudnessOption(opt, v, options, error)) return std::nullopt;
            matched = true;
        }
        for (const auto& flag : StageFlags) {
            if (arg == flag.name) {
                options.Settings.*flag.field = true;
                matched = true;
            }
        }
        for (const auto& opt : IntOptions) {
            if (arg != opt.name) continue;
            std::string_view v;
            if (!value(v)) return std::nullopt;
            int number = 0;
            if (!ParseInt(v, number)) {
                error = "option " + std::string(arg) + " needs a whole number, not '" +
                        std::string(v) + "'";
                return std::nullopt;
            }
            const bool powerOfTwo =
                opt.field != &RemasterSettings::PeakBlockSize || (number & (number - 1)) == 0;
            if (number < opt.min || number > opt.max || !powerOfTwo) {
                error = "option " + std::string(arg) + " takes " + std::to_string(opt.min) + ".." +
                        std::to_string(opt.max) + (powerOfTwo ? "" : " (a power of two)") +
                        ", not " + std::string(v);
                return std::nullopt;
            }
            options.Settings.*opt.field = number;
            if (opt.enables) options.Settings.*opt.enables = true;
            matched = true;
        }
        if (!matched) {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        }
    }
    if (positional.size() != positionalWanted) {
        error = "'" + std::string(command) + "' takes " + std::to_string(positionalWanted) +
                " path" + (positionalWanted == 1 ? "" : "s") + ", got " +
                std::to_string(positional.size());
        return std::nullopt;
    }
    if (positionalWanted >= 1) options.Input = positional[0];
    if (positionalWanted >= 2) options.Output = positional[1];
    return options;
}

}  // namespace sv::cli
