#include "cli/Commands.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>

#include "audio/AudioFileFormats.h"
#include "base/AtomicFileWriter.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "base/Time.h"
#include "cli/BatchCommand.h"
#include "cli/FileJob.h"
#include "cli/JsonLines.h"
#include "cli/PlotCommand.h"
#include "cli/PrintableText.h"
#include "cli/SignalLevels.h"
#include "cli/StandardOutput.h"
#include "cli/TerminalProgress.h"
#include "dsp/StageLength.h"
#include "loudness/LoudnessMeter.h"
#include "text/Language.h"
#include "timbre/Timbres.h"

namespace sv::cli {

namespace {

// A loudness figure the measuring library cannot give for a format.
constexpr double Unavailable = std::numeric_limits<double>::quiet_NaN();

std::string Decimal(double value) {
    if (std::isnan(value)) return "unavailable";
    if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// Refuses a device, a folder or a missing folder as OUT before any work is done.
int CheckTarget(Session& session, const Options& options) {
    try {
        CheckSaveTarget(options.Output);
        return ExitDone;
    } catch (const IoError& e) {
        session.dialogs.Message(e.what());
        return ExitIoFailure;
    }
}

// info's lines: whatever of the file was found out, the format and length first.
std::string InfoText(const FileRecord& record) {
    if (!record.Format) return "";
    const FileFormat& format = *record.Format;
    std::string text;
    const auto line = [&text](const char* key, const std::string& value) {
        text += std::string(key) + ": " + value + "\n";
    };
    line("format", format.Name);
    line("container", format.Container);
    line("channels", std::to_string(format.Channels));
    line("sample_rate", std::to_string(format.SampleRate));
    line("bits_per_sample", std::to_string(format.BitsPerSample));
    line("frames", std::to_string(format.Frames));
    line("duration", DurationText(format.Frames, format.SampleRate));
    if (record.Before) {
        std::string peaks;
        for (const double peak : record.Before->PeakDbfs)
            peaks += (peaks.empty() ? "" : " ") + Decimal(peak);
        line("peak_dbfs", peaks);
    }
    if (record.Loudness) {
        line("integrated_lufs", Decimal(record.Loudness->IntegratedLufs));
        line("loudness_range_lu", Decimal(record.Loudness->RangeLu));
        line("true_peak_dbtp", Decimal(record.Loudness->TruePeakDbtp));
    }
    for (auto [name, value] : format.Tags) {
        std::replace_if(
            value.begin(), value.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        line(name.c_str(), value);
    }
    return text;
}

int InfoOf(Session& session, const Options& options, FileRecord& record) {
    // The levels come from the loudness pass's reads: no pass of their own over the file.
    LoadedLevels loaded(session.env, true);
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    loaded.Opened(*wave);
    record.Format = FormatOf(*wave, options.Input);
    try {
        const auto measured = MeasureLoudness(*wave, {Texts().MeasuringLoudnessTitle, {}});
        if (!measured) return ExitCancelled;
        record.Loudness = *measured;
    } catch (const LoudnessUnavailable&) {
        record.Loudness = LoudnessFigures{Unavailable, Unavailable, Unavailable};
    }
    record.Before = loaded.Levels(*wave, options.Input);
    if (record.Before && !options.Json) record.Before->RmsDbfs.clear();
    return ExitDone;
}

int RemasterOf(Session& session, const Options& options, FileRecord& record) {
    if (const int exit = CheckTarget(session, options); exit != ExitDone) return exit;
    // WAV bytes under the name of another format (or of none) would mislead players.
    if (!IsSavableAudioFileName(options.Output)) {
        session.dialogs.Message(CheckAudioSaveTarget(options.Output).Reason());
        return ExitUsage;
    }
    EngineRun run(session.env.Ports);
    if (const int exit = ChooseTarget(session, run, options); exit != ExitDone) return exit;
    record =
        RemasterFile(session, run, options, {options.Input, options.Output, false, options.Json});
    return record.Exit;
}

int DetectOf(Session& session, const Options& options, FileRecord& record) {
    if (const int exit = CheckTarget(session, options); exit != ExitDone) return exit;
    EngineRun run(session.env.Ports);
    // The levels come from the detection's reads.
    LoadedLevels loaded(session.env, options.Json);
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    loaded.Opened(*wave);
    record.Format = FormatOf(*wave, options.Input);
    if (wave->FrameCount() < MinimumFramesToMeasure()) {
        session.dialogs.Message(TooShortMessage(MinimumFramesToMeasure(), wave->SampleRate()) +
                                ": detect");
        return ExitRefused;
    }
    if (!RunDetect(run.engine, *wave, options.Settings.BandLevelMode, *run.spectra) ||
        Interrupted())
        return ExitCancelled;
    SaveTimbre(run.spectra->Example, options.Output);
    record.Before = loaded.Levels(*wave, options.Input);
    if (record.Before && !options.Json) record.Before->RmsDbfs.clear();
    return ExitDone;
}

// The work folder must exist; what killed runs left in it goes.
int PrepareWorkFolder(Session& session) {
    const auto& folder = session.env.WorkFolder;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        session.dialogs.Message(
            "the work folder " + folder.string() +
            (std::filesystem::exists(folder, ec) ? " is not a folder" : " does not exist"));
        return ExitIoFailure;
    }
    FileMemory::RemoveLeftoverSwapFiles(folder);
    return ExitDone;
}

using FileCommand = int (*)(Session&, const Options&, FileRecord&);

// Runs a command on its one input and prints what it found out. Whatever happens, a --json run
// prints one record; the message of a failure has gone to stderr.
int RunOnOneFile(Session& session, const Options& options, FileCommand command) {
    FileRecord record;
    record.Input = options.Input;
    record.Output = options.Output;
    FillRecord(session, record, [&] {
        const int exit = PrepareWorkFolder(session);
        return exit == ExitDone ? command(session, options, record) : exit;
    });
    if (options.Json)
        WriteToStandardOutput(JsonLine(record, options));
    else if (options.Command == CliCommand::Info)
        WriteToStandardOutput(InfoText(record));
    return record.Exit;
}

}  // namespace

int Run(const Options& options) {
    Session session;
    // Lines of progress would only clutter the log that info's output is read from.
    SetUp(session, options, options.Command == CliCommand::Info && ::isatty(STDERR_FILENO) != 1);
    switch (options.Command) {
        case CliCommand::Help:
            WriteToStandardOutput(UsageText());
            return ExitDone;
        case CliCommand::Version:
            WriteToStandardOutput(std::string("sonivar-cli ") + SONIVAR_VERSION + "\n");
            return ExitDone;
        case CliCommand::Info:
            return RunOnOneFile(session, options, InfoOf);
        case CliCommand::Remaster:
            return RunOnOneFile(session, options, RemasterOf);
        case CliCommand::Detect:
            return RunOnOneFile(session, options, DetectOf);
        case CliCommand::Plot:
            return RunOnOneFile(session, options, PlotOf);
        case CliCommand::Batch:
            if (const int exit = PrepareWorkFolder(session); exit != ExitDone) return exit;
            return RunBatch(options, session.env.WorkFolder);
    }
    return ExitUsage;
}

namespace {

void ReportFailure(const std::string& message) {
    std::fprintf(stderr, "sonivar-cli: %s\n", PrintableText(message).c_str());
}

int RunReportingFailures(const Options& options) {
    try {
        return Run(options);
    } catch (const std::bad_alloc&) {
        ReportFailure("out of memory");
    } catch (const std::exception& e) {
        ReportFailure(e.what());
        // A stop signal ends a blocking call with EINTR: that is a cancel, not a failure.
        if (Interrupted()) return ExitCancelled;
    }
    return ExitIoFailure;
}

}  // namespace

int Main(int argc, const char* const* argv) {
    ReopenClosedStandardDescriptorsForResults();
    LoadLanguage();
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "sonivar-cli: %s (see sonivar-cli --help)\n",
                     PrintableText(error).c_str());
        return ExitUsage;
    }
    InstallInterruptHandlers();
    int exit = RunReportingFailures(*options);
    try {
        CloseStandardOutput();
    } catch (const IoError& e) {
        ReportFailure(e.what());
        // A result that did not reach its reader is a failure, whatever became of the file.
        if (exit != ExitCancelled) exit = ExitIoFailure;
    }
    return exit;
}

}  // namespace sv::cli
