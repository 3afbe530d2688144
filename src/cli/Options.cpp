#include "cli/Options.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "dsp/StageSettings.h"

namespace sv::cli {

namespace {

// Which commands take an option.
enum Scope : unsigned {
    ForInfo = 1u << 0,
    ForRemaster = 1u << 1,
    ForDetect = 1u << 2,
    ForBatch = 1u << 3,
    ForPlot = 1u << 4,
    ForProcessing = ForRemaster | ForBatch | ForPlot,
    ForFiles = ForInfo | ForRemaster | ForDetect | ForBatch | ForPlot,
};

unsigned ScopeOf(CliCommand command) {
    switch (command) {
        case CliCommand::Info:
            return ForInfo;
        case CliCommand::Remaster:
            return ForRemaster;
        case CliCommand::Detect:
            return ForDetect;
        case CliCommand::Batch:
            return ForBatch;
        case CliCommand::Plot:
            return ForPlot;
        default:
            return 0;
    }
}

bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseDecimal(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty() && std::isfinite(value);
}

// A whole-number option outside the stage settings: its range and where the value goes.
struct IntOption {
    std::string_view name;
    int min;
    int max;
    void (*store)(Options&, int);
};

const IntOption IntOptions[] = {
    {"--jobs", 1, 1024, [](Options& o, int v) { o.Jobs = v; }},
};

// Where the loudness settings' values go; their ranges are the table's.
struct DecimalOption {
    std::string_view name;
    void (*store)(Options&, double);
};

const DecimalOption DecimalOptions[] = {
    {"--normalize-lufs", [](Options& o, double v) { o.NormalizeLufs = v; }},
    {"--true-peak-max", [](Options& o, double v) { o.TruePeakMax = v; }},
};

struct FlagOption {
    std::string_view name;
    void (*set)(Options&);
};

// Options outside the stage settings that take no value.
const FlagOption FlagOptions[] = {
    {"--overwrite", [](Options& o) { o.Overwrite = true; }},
    {"--quiet", [](Options& o) { o.Quiet = true; }},
    {"--json", [](Options& o) { o.Json = true; }},
    {"--recursive", [](Options& o) { o.Recursive = true; }},
};

struct TextOption {
    std::string_view name;
    void (*store)(Options&, std::string_view);
};

const TextOption TextOptions[] = {
    {"--work-folder", [](Options& o, std::string_view v) { o.WorkFolder = v; }},
    {"--timbre", [](Options& o, std::string_view v) { o.Timbre = v; }},
    {"--example", [](Options& o, std::string_view v) { o.Example = v; }},
    {"--plot", [](Options& o, std::string_view v) { o.PlotFile = v; }},
    {"--report", [](Options& o, std::string_view v) { o.ReportFile = v; }},
    {"--resume", [](Options& o, std::string_view v) { o.ResumeFile = v; }},
    {"--files-from", [](Options& o, std::string_view v) { o.FilesFrom = v; }},
    {"--keep-folders", [](Options& o, std::string_view v) { o.KeepFolders = v; }},
    {"--merge-reports", [](Options& o, std::string_view v) { o.MergeReports = v; }},
    {"--files-from0",
     [](Options& o, std::string_view v) {
         o.FilesFrom = v;
         o.FilesFromNul = true;
     }},
};

// The commands that take an option, where that is not the processing commands alone.
struct OptionEntry {
    std::string_view name;
    unsigned scope;
};

const OptionEntry OptionScopes[] = {
    {"--work-folder", ForFiles},   {"--quiet", ForFiles},
    {"--json", ForFiles},          {"--band-mode", ForProcessing | ForDetect},
    {"--overwrite", ForBatch},     {"--jobs", ForBatch},
    {"--report", ForBatch},        {"--resume", ForBatch},
    {"--files-from", ForBatch},    {"--files-from0", ForBatch},
    {"--recursive", ForBatch},     {"--keep-folders", ForBatch},
    {"--merge-reports", ForBatch}, {"--plot", ForRemaster},
};

// The commands an option belongs to: the processing settings unless listed otherwise.
unsigned ScopeOfOption(std::string_view name) {
    for (const auto& entry : OptionScopes)
        if (entry.name == name) return entry.scope;
    return ForProcessing;
}

// The number text gives, or nothing with error set when it is no number or out of range.
std::optional<int> ReadInt(std::string_view name, std::string_view text, int min, int max,
                           bool powerOfTwo, std::string& error) {
    int number = 0;
    if (!ParseInt(text, number)) {
        error = "option " + std::string(name) + " needs a whole number, not '" + std::string(text) +
                "'";
        return std::nullopt;
    }
    const bool twos = !powerOfTwo || (number & (number - 1)) == 0;
    if (number < min || number > max || !twos) {
        error = "option " + std::string(name) + " takes " + std::to_string(min) + ".." +
                std::to_string(max) + (twos ? "" : " (a power of two)") + ", not " +
                std::string(text);
        return std::nullopt;
    }
    return number;
}

bool ApplyInt(const IntOption& option, std::string_view text, Options& options,
              std::string& error) {
    const auto number = ReadInt(option.name, text, option.min, option.max, false, error);
    if (number) option.store(options, *number);
    return number.has_value();
}

// A stage setting: the value goes to its member, and an option of a switched setting turns the
// switch on.
bool ApplySetting(const IntSetting& setting, std::string_view text, Options& options,
                  std::string& error) {
    const auto number =
        ReadInt(setting.Flag, text, setting.Min, setting.Max, setting.PowerOfTwo, error);
    if (!number) return false;
    options.Settings.*setting.Member = *number;
    if (setting.Switch) options.Settings.*setting.Switch = true;
    return true;
}

bool ApplyChoice(const ChoiceSetting& setting, std::string_view text, Options& options,
                 std::string& error) {
    const auto number = ReadInt(setting.Flag, text, setting.Min, setting.Max, false, error);
    if (number) setting.Set(options.Settings, *number);
    return number.has_value();
}

bool ApplyDecimal(const DecimalOption& option, std::string_view text, Options& options,
                  std::string& error) {
    const LoudnessSetting& setting = *FindLoudnessSetting(option.name);
    double number = 0.0;
    if (!ParseDecimal(text, number) || number < setting.Min || number > setting.Max) {
        error = "option " + std::string(option.name) + " takes a number in " + RangeText(setting) +
                ", not '" + std::string(text) + "'";
        return false;
    }
    option.store(options, number);
    return true;
}

// Reads the option at args[i], and its value when it takes one. False with error set on a
// usage error.
bool ApplyOption(const std::vector<std::string_view>& args, std::size_t& i, Options& options,
                 std::string& error) {
    const std::string_view name = args[i];
    const auto takeValue = [&](std::string_view& value) {
        if (i + 1 >= args.size()) {
            error = "option " + std::string(name) + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };
    std::string_view value;
    if (const SwitchSetting* setting = FindSwitchSetting(name)) {
        options.Settings.*setting->Member = true;
        return true;
    }
    for (const auto& flag : FlagOptions) {
        if (flag.name != name) continue;
        flag.set(options);
        return true;
    }
    for (const auto& option : TextOptions) {
        if (option.name != name) continue;
        if (!takeValue(value)) return false;
        option.store(options, value);
        return true;
    }
    if (const IntSetting* setting = FindIntSetting(name))
        return takeValue(value) && ApplySetting(*setting, value, options, error);
    if (const ChoiceSetting* setting = FindChoiceSetting(name))
        return takeValue(value) && ApplyChoice(*setting, value, options, error);
    for (const auto& option : IntOptions)
        if (option.name == name) return takeValue(value) && ApplyInt(option, value, options, error);
    for (const auto& option : DecimalOptions)
        if (option.name == name)
            return takeValue(value) && ApplyDecimal(option, value, options, error);
    error = "unknown option " + std::string(name);
    return false;
}

bool IsKnownOption(std::string_view name) {
    const auto named = [name](const auto& table) {
        for (const auto& entry : table)
            if (entry.name == name) return true;
        return false;
    };
    return named(FlagOptions) || named(TextOptions) || named(IntOptions) || named(DecimalOptions) ||
           FindIntSetting(name) != nullptr || FindChoiceSetting(name) != nullptr ||
           FindSwitchSetting(name) != nullptr;
}

// The command word: sets the command and returns how many paths it takes.
std::optional<std::size_t> ReadCommandWord(std::string_view word, Options& options,
                                           std::string& error) {
    struct Word {
        std::string_view text;
        CliCommand command;
        std::size_t paths;
    };
    static constexpr Word Words[] = {
        {"--help", CliCommand::Help, 0},   {"-h", CliCommand::Help, 0},
        {"help", CliCommand::Help, 0},     {"--version", CliCommand::Version, 0},
        {"info", CliCommand::Info, 1},     {"remaster", CliCommand::Remaster, 2},
        {"detect", CliCommand::Detect, 2}, {"batch", CliCommand::Batch, 2},
        {"plot", CliCommand::Plot, 2},
    };
    for (const auto& w : Words) {
        if (w.text != word) continue;
        options.Command = w.command;
        return w.paths;
    }
    error = "unknown command '" + std::string(word) + "'";
    return std::nullopt;
}

// Splits the arguments after the command word into options (applied) and paths.
bool ReadArguments(const std::vector<std::string_view>& args, Options& options,
                   std::vector<std::string>& paths, std::string& error) {
    const bool takesSettings = (ScopeOf(options.Command) & ForProcessing) != 0;
    bool optionsEnded = false;
    bool ceilingGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.substr(0, 2) != "--") {
            paths.emplace_back(arg);
            continue;
        }
        if (arg == "--") {  // everything after it is a path, even one that starts with "--"
            optionsEnded = true;
            continue;
        }
        const bool belongs = (ScopeOfOption(arg) & ScopeOf(options.Command)) != 0;
        if (!belongs && (IsKnownOption(arg) || !takesSettings)) {
            error = "unknown option " + std::string(arg) + " for this command";
            return false;
        }
        if (!ApplyOption(args, i, options, error)) return false;
        ceilingGiven = ceilingGiven || arg == "--true-peak-max";
    }
    // A ceiling alone would be ignored: peak normalizing has no true peak to keep.
    if (ceilingGiven && !options.NormalizeLufs) {
        error = "option --true-peak-max needs --normalize-lufs";
        return false;
    }
    if (options.Settings.Limiter && !options.NormalizeLufs) {
        error = "option --limiter needs --normalize-lufs";
        return false;
    }
    return true;
}

// The paths the command takes, and the combinations of options that cannot be met.
bool CheckPaths(std::string_view command, std::size_t wanted, std::vector<std::string>& paths,
                Options& options, std::string& error) {
    // A batch fed by a list has no source folder: the list names the files.
    const bool listed = options.Command == CliCommand::Batch && !options.FilesFrom.empty();
    if (listed) wanted = 1;
    if (paths.size() != wanted) {
        error = "'" + std::string(command) + "' takes " + std::to_string(wanted) + " path" +
                (wanted == 1 ? "" : "s") + (listed ? " with --files-from" : "") + ", got " +
                std::to_string(paths.size());
        return false;
    }
    if (!listed && !options.MergeReports.empty()) {
        error = "option --merge-reports needs the list: --files-from or --files-from0";
        return false;
    }
    if (listed && options.Recursive) {
        error = "option --recursive walks SRC_DIR, which --files-from replaces";
        return false;
    }
    if (listed) {
        options.Output = paths[0];
        return true;
    }
    if (wanted >= 1) options.Input = paths[0];
    if (wanted >= 2) options.Output = paths[1];
    return true;
}

std::string PaddedTo(std::string text, std::size_t width) {
    text.append(text.size() < width ? width - text.size() : 2, ' ');
    return text;
}

// A line break in help continues it under its start.
std::string UsageLine(std::string_view option, const std::string& range, std::string_view help) {
    std::string line = "  " + PaddedTo(std::string(option), 21) +
                       (range.empty() ? "" : PaddedTo(range, 14)) + std::string(help) + "\n";
    for (std::size_t at = line.find('\n'); at + 1 < line.size(); at = line.find('\n', at + 1))
        line.insert(at + 1, std::string(37, ' '));
    return line;
}

// One line per stage switch that has an option: the stages' own, or the others.
std::string SwitchesUsage(bool stages) {
    std::string lines;
    for (const SwitchSetting& s : SwitchSettings())
        if (!s.Flag.empty() && s.IsStage == stages) lines += UsageLine(s.Flag, "", s.Help);
    return lines;
}

// One line per whole-number setting: the option, its range and default, what it does.
std::string NumbersUsage() {
    std::string lines;
    for (const IntSetting& s : IntSettings()) {
        const std::string start = s.Switch ? "off" : std::to_string(s.Default);
        lines += UsageLine(std::string(s.Flag) + " " + std::string(s.Value),
                           RangeText(s) + " (" + start + ")", s.Help);
    }
    return lines;
}

std::string ChoicesUsage() {
    std::string lines;
    for (const ChoiceSetting& s : ChoiceSettings())
        lines += UsageLine(std::string(s.Flag) + " " + std::string(s.Value),
                           RangeText(s) + " (" + std::to_string(s.Default) + ")", s.Help);
    return lines;
}

std::string LoudnessUsage() {
    std::string lines;
    for (const LoudnessSetting& s : LoudnessSettings())
        lines += UsageLine(std::string(s.Flag) + " " + std::string(s.Value),
                           RangeText(s) + " (" + StartText(s) + ")", s.Help);
    return lines;
}

}  // namespace

std::optional<Options> ParseOptions(int argc, const char* const* argv, std::string& error) {
    Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    const auto wanted = ReadCommandWord(args[0], options, error);
    std::vector<std::string> paths;
    if (!wanted || !ReadArguments(args, options, paths, error) ||
        !CheckPaths(args[0], *wanted, paths, options, error))
        return std::nullopt;
    return options;
}

std::string UsageText() {
    return "Usage:\n"
           "  sonivar-cli info     IN.wav\n"
           "  sonivar-cli remaster IN.wav OUT.wav [stages] [settings]\n"
           "  sonivar-cli detect   REF.wav OUT.sts [--band-mode N]\n"
           "  sonivar-cli batch    SRC_DIR DST_DIR [--overwrite] [batch options] [stages] [...]\n"
           "  sonivar-cli batch    --files-from LIST DST_DIR [...]\n"
           "  sonivar-cli plot     IN.wav OUT.png [settings]\n"
           "  sonivar-cli --help | --version\n"
           "\n"
           "Commands:\n"
           "  info      print format, length, peak level per channel and loudness of IN\n"
           "  remaster  load IN, run the chosen stages, save OUT (no stage: load and save)\n"
           "  detect    measure the timbre of REF and store it as a timbre file\n"
           "  batch     process every sound file of SRC_DIR into DST_DIR as _NAME\n"
           "            (--overwrite: as NAME, replacing an existing file)\n"
           "  plot      draw the spectrum of IN, the target and the gain curve levelling\n"
           "            would apply with the settings, as a PNG picture\n"
           "\n"
           "Files: IN and REF may be WAV (8/16/24/32-bit, float), FLAC, Ogg Vorbis, AIFF or MP3;\n"
           "OUT is written in the format its extension names: .wav, .flac, .aiff/.aif or .ogg.\n"
           "\n"
           "Stages (any combination, always run in this order):\n" +
           SwitchesUsage(true) +
           "\n"
           "Settings (range, default in brackets; values out of range are refused):\n" +
           NumbersUsage() +
           "  --timbre NAME        clear, split, premaster, drum, pop or FILE.sts (clear)\n"
           "  --example REF.wav    target = the timbre detected from REF.wav\n"
           "  --plot FILE.png      remaster: draw the spectra before and after (and the\n"
           "                       gain curve) as a PNG picture\n" +
           ChoicesUsage() + SwitchesUsage(false) + LoudnessUsage() +
           "\n"
           "Batch options:\n"
           "  --jobs N             1..1024 (cores)  cores used, one file on each\n"
           "  --report FILE        append one JSON line per finished file to FILE\n"
           "  --resume FILE        skip the files FILE lists as done (and report to FILE)\n"
           "  --files-from LIST    process the files LIST names, one a line (- = stdin)\n"
           "  --files-from0 LIST   the same with NUL-separated names\n"
           "  --recursive          SRC_DIR's subfolders too (sorted), kept as folders in DST_DIR\n"
           "  --keep-folders ROOT  results keep the inputs' folders below ROOT under DST_DIR\n"
           "  --merge-reports DIR  no work: merge DIR's reports on parts of the list into\n"
           "                       DST_DIR/report.jsonl and DST_DIR/failed.list0\n"
           "\n"
           "Options of every command:\n"
           "  --json               one JSON object per input file on stdout (JSON Lines)\n"
           "  --work-folder DIR    where the work files go (automatic: most free space)\n"
           "  --quiet              no progress output\n"
           "  --                   the arguments that follow are paths\n"
           "\n"
           "Exit status: 0 done, 1 input/output failure, 2 usage error, 3 input refused,\n"
           "130 cancelled.\n";
}

}  // namespace sv::cli
