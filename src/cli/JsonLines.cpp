#include "cli/JsonLines.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "base/IoError.h"
#include "base/Time.h"
#include "dsp/StageSettings.h"

namespace sv::cli {

namespace {

using nlohmann::json;

bool IsUtf8(const std::string& text) {
    try {
        (void)json(text).dump();
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

std::string Hex(const std::string& bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        hex.push_back(Digits[byte >> 4]);
        hex.push_back(Digits[byte & 15]);
    }
    return hex;
}

std::optional<std::string> FromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int value = 0;
        for (const char digit : {hex[i], hex[i + 1]}) {
            const int d = digit >= '0' && digit <= '9'   ? digit - '0'
                          : digit >= 'a' && digit <= 'f' ? digit - 'a' + 10
                                                         : -1;
            if (d < 0) return std::nullopt;
            value = value * 16 + d;
        }
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

void PutPath(json& object, const std::string& key, const std::string& path) {
    object[key] = path;  // invalid bytes become U+FFFD when the line is written
    if (!IsUtf8(path)) object[key + "_hex"] = Hex(path);
}

json Figure(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

json Figures(const std::vector<double>& values) {
    json list = json::array();
    for (const double v : values) list.push_back(Figure(v));
    return list;
}

json Levels(const std::optional<SignalLevels>& levels) {
    if (!levels) return nullptr;
    return {{"peak_dbfs", Figures(levels->PeakDbfs)}, {"rms_dbfs", Figures(levels->RmsDbfs)}};
}

// A stage's record: its name and the values of the settings it uses.
json StageRecord(const SwitchSetting& stageSwitch, const Options& options) {
    const RemasterSettings& settings = options.Settings;
    const SettingStage stage = stageSwitch.Stage;
    json record = {{"name", stageSwitch.JsonKey}};
    for (const IntSetting& setting : IntSettings())
        if (setting.Stage == stage) record[setting.JsonKey] = EffectiveValue(setting, settings);
    for (const ChoiceSetting& setting : ChoiceSettings())
        if (setting.Stage == stage) record[setting.JsonKey] = setting.Get(settings);
    for (const SwitchSetting& setting : SwitchSettings())
        if (setting.Stage == stage && !setting.IsStage && !setting.JsonKey.empty())
            record[setting.JsonKey] = settings.*setting.Member;
    if (stage == SettingStage::Level) {
        if (options.Example.empty())
            PutPath(record, "timbre", options.Timbre);
        else
            PutPath(record, "example", options.Example);
    }
    return record;
}

// The stages the command runs, in their order, with the settings each one uses.
json Stages(const Options& options) {
    json stages = json::array();
    const RemasterSettings& s = options.Settings;
    if (options.Command == CliCommand::Detect) {
        const ChoiceSetting& bandLevel = ChoiceNamed("bandLevel");
        stages.push_back({{"name", "detect"}, {std::string(bandLevel.JsonKey), bandLevel.Get(s)}});
    }
    if (options.Command != CliCommand::Remaster && options.Command != CliCommand::Batch)
        return stages;
    for (const SwitchSetting& stage : SwitchSettings())
        if (stage.IsStage && s.*stage.Member) stages.push_back(StageRecord(stage, options));
    if (options.NormalizeLufs) {
        json record = {
            {"name", "normalize-lufs"},
            {std::string(LoudnessNamed("normalizeLufs").JsonKey), *options.NormalizeLufs},
            {std::string(LoudnessNamed("truePeak").JsonKey), options.TruePeakMax}};
        for (const SwitchSetting& setting : SwitchSettings())
            if (setting.Stage == SettingStage::NormalizeLoudness)
                record[std::string(setting.JsonKey)] = s.*setting.Member;
        stages.push_back(record);
    }
    return stages;
}

const char* CommandName(CliCommand command) {
    switch (command) {
        case CliCommand::Info:
            return "info";
        case CliCommand::Remaster:
            return "remaster";
        case CliCommand::Detect:
            return "detect";
        case CliCommand::Batch:
            return "batch";
        case CliCommand::Plot:
            return "plot";
        default:
            return "";
    }
}

void PutFormat(json& line, const std::optional<FileFormat>& format) {
    if (!format) {
        line["format"] = nullptr;
        return;
    }
    line["format"] = format->Name;
    line["container"] = format->Container;
    line["channels"] = format->Channels;
    line["sample_rate"] = format->SampleRate;
    line["bits_per_sample"] = format->BitsPerSample;
    line["frames"] = format->Frames;
    line["duration_seconds"] =
        format->SampleRate > 0 ? static_cast<double>(format->Frames) / format->SampleRate : 0.0;
    line["duration"] = DurationText(format->Frames, format->SampleRate);
    line["infinite_samples"] = format->InfiniteSamples;
    line["tags"] = json::object();
    for (const auto& [name, value] : format->Tags) line["tags"][name] = value;
}

}  // namespace

std::string JsonLine(const FileRecord& record, const Options& options) {
    json line = {{"command", CommandName(options.Command)}};
    PutPath(line, "input", record.Input);
    if (options.Command != CliCommand::Info) PutPath(line, "output", record.Output);
    line["status"] = StatusName(record.Status);
    line["exit_code"] = record.Exit;
    line["message"] = record.Message;
    PutFormat(line, record.Format);
    line["before"] = Levels(record.Before);
    if (options.Command == CliCommand::Remaster || options.Command == CliCommand::Batch)
        line["after"] = Levels(record.After);
    if (record.Loudness)
        line["loudness"] = {{"integrated_lufs", Figure(record.Loudness->IntegratedLufs)},
                            {"loudness_range_lu", Figure(record.Loudness->RangeLu)},
                            {"true_peak_dbtp", Figure(record.Loudness->TruePeakDbtp)}};
    if (options.NormalizeLufs)
        line["held_by_true_peak"] =
            record.HeldByTruePeak ? json(*record.HeldByTruePeak) : json(nullptr);
    if (record.Kept) line["kept"] = true;
    if (record.GainCurve) {
        json db = json::array();
        for (const auto& channel : record.GainCurve->Db) db.push_back(Figures(channel));
        line["gain_curve"] = {{"band_hz", record.GainCurve->CentreHz}, {"db", db}};
    }
    line["stages"] = Stages(options);
    line["wall_seconds"] = record.WallSeconds;
    return line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::vector<ReportLine> ReadReport(const std::filesystem::path& report) {
    std::vector<ReportLine> lines;
    std::error_code ec;
    if (!std::filesystem::exists(report, ec)) return lines;
    std::ifstream in(report, std::ios::binary);
    if (!in) ThrowIoError("Cannot read the report " + report.string(), errno);
    std::string text;
    // A last line without its newline was cut short (a full disk, a kill) even if it parses.
    while (std::getline(in, text) && !in.eof()) {
        const json line = json::parse(text, nullptr, false);
        if (!line.is_object()) continue;
        const bool done = line.value("status", "") == "done";
        if (line.contains("input_hex") && line["input_hex"].is_string()) {
            if (auto bytes = FromHex(line["input_hex"].get<std::string>()))
                lines.push_back({*bytes, done, text});
        } else if (line.contains("input") && line["input"].is_string()) {
            lines.push_back({line["input"].get<std::string>(), done, text});
        }
    }
    if (in.bad()) ThrowIoError("Cannot read the report " + report.string(), errno);
    return lines;
}

std::unordered_set<std::string> DoneInputs(const std::filesystem::path& report) {
    std::unordered_set<std::string> done;
    for (auto& line : ReadReport(report))
        if (line.Done) done.insert(std::move(line.Input));
    return done;
}

}  // namespace sv::cli
