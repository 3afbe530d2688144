#include "cli/Commands.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "audio/AudioFileFormats.h"
#include "base/AtomicFileWriter.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "base/Time.h"
#include "cli/BatchCommand.h"
#include "cli/FileJob.h"
#include "cli/JsonLines.h"
#include "cli/SignalLevels.h"
#include "cli/TerminalProgress.h"
#include "loudness/LoudnessMeter.h"
#include "text/Language.h"
#include "timbre/Timbres.h"

namespace sv::cli {

namespace {

std::string Decimal(double value) {
    if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintJson(const FileRecord& record, const Options& options) {
    const std::string line = JsonLine(record, options);
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// The record of a file that was not loaded: refused, failed or cancelled, with the message shown.
int PrintFailure(const Session& session, const Options& options, int exit,
                 std::chrono::steady_clock::time_point start) {
    if (!options.Json) return exit;
    FileRecord record;
    record.Input = options.Input;
    record.Output = options.Output;
    record.Exit = exit;
    record.Status = StatusOfExit(exit);
    record.Message = session.dialogs.LastMessage();
    record.WallSeconds = SecondsSince(start);
    PrintJson(record, options);
    return exit;
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

void PrintInfoText(const FileFormat& format, const std::vector<double>& peaks,
                   const LoudnessFigures& loudness) {
    std::printf("format: %s\n", format.Name.c_str());
    std::printf("container: %s\n", format.Container.c_str());
    std::printf("channels: %d\n", format.Channels);
    std::printf("sample_rate: %d\n", format.SampleRate);
    std::printf("bits_per_sample: %d\n", format.BitsPerSample);
    std::printf("frames: %lld\n", static_cast<long long>(format.Frames));
    std::printf("duration: %s\n", DurationText(format.Frames, format.SampleRate).c_str());
    std::string text;
    for (std::size_t c = 0; c < peaks.size(); ++c) text += (c ? " " : "") + Decimal(peaks[c]);
    std::printf("peak_dbfs: %s\n", text.c_str());
    std::printf("integrated_lufs: %s\n", Decimal(loudness.IntegratedLufs).c_str());
    std::printf("loudness_range_lu: %s\n", Decimal(loudness.RangeLu).c_str());
    std::printf("true_peak_dbtp: %s\n", Decimal(loudness.TruePeakDbtp).c_str());
    for (auto [name, value] : format.Tags) {
        std::replace_if(
            value.begin(), value.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        std::printf("%s: %s\n", name.c_str(), value.c_str());
    }
}

int RunInfo(Session& session, const Options& options) {
    const auto start = std::chrono::steady_clock::now();
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return PrintFailure(session, options, exit, start);
    // Measuring shows no progress: info prints its figures and nothing else.
    FrontEndPorts quiet = session.env.Ports;
    quiet.progress = TerminalProgressFactory(true);
    Engine engine(quiet);
    const auto measured = MeasureLoudness(*wave);
    if (!measured) return PrintFailure(session, options, ExitCancelled, start);
    const LoudnessFigures& loudness = *measured;
    if (!options.Json) {
        PrintInfoText(FormatOf(*wave, options.Input), PeakDbfs(engine, *wave), loudness);
        return ExitDone;
    }
    FileRecord record;
    record.Input = options.Input;
    record.Format = FormatOf(*wave, options.Input);
    record.Before = MeasureLevels(engine, *wave);
    record.Loudness = loudness;
    record.WallSeconds = SecondsSince(start);
    PrintJson(record, options);
    return ExitDone;
}

int RunRemaster(Session& session, const Options& options) {
    // WAV bytes under the name of a format that is only read would mislead players.
    if (!IsSavableAudioFileName(options.Output)) {
        std::fprintf(stderr,
                     "sonivar-cli: %s: this format is read but not written; use .wav, .flac, "
                     ".aiff or .ogg\n",
                     options.Output.c_str());
        return ExitUsage;
    }
    const auto start = std::chrono::steady_clock::now();
    if (const int exit = CheckTarget(session, options); exit != ExitDone)
        return PrintFailure(session, options, exit, start);
    EngineRun run(session.env.Ports);
    if (const int exit = ChooseTarget(session, run, options); exit != ExitDone) return exit;
    const FileRecord record =
        RemasterFile(session, run, options, {options.Input, options.Output, false, options.Json});
    if (options.Json) PrintJson(record, options);
    return record.Exit;
}

int RunDetectCommand(Session& session, const Options& options) {
    const auto start = std::chrono::steady_clock::now();
    if (const int exit = CheckTarget(session, options); exit != ExitDone)
        return PrintFailure(session, options, exit, start);
    EngineRun run(session.env.Ports);
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return PrintFailure(session, options, exit, start);
    if (!RunDetect(run.engine, *wave, options.Settings.BandLevelMode, *run.spectra) ||
        Interrupted())
        return PrintFailure(session, options, ExitCancelled, start);
    SaveTimbre(run.spectra->Example, options.Output);
    if (options.Json) {
        FileRecord record;
        record.Input = options.Input;
        record.Output = options.Output;
        record.Format = FormatOf(*wave, options.Input);
        record.Before = MeasureLevels(run.engine, *wave);
        record.WallSeconds = SecondsSince(start);
        PrintJson(record, options);
    }
    return ExitDone;
}

// The work folder must exist; what killed runs left in it goes.
int PrepareWorkFolder(const Session& session) {
    const auto& folder = session.env.WorkFolder;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        std::fprintf(stderr, "sonivar-cli: the work folder %s %s\n", folder.c_str(),
                     std::filesystem::exists(folder, ec) ? "is not a folder" : "does not exist");
        return ExitIoFailure;
    }
    FileMemory::RemoveLeftoverSwapFiles(folder);
    return ExitDone;
}

}  // namespace

int Run(const Options& options) {
    Session session;
    SetUp(session, options);
    if (options.Command != CliCommand::Help && options.Command != CliCommand::Version) {
        if (const int exit = PrepareWorkFolder(session); exit != ExitDone) return exit;
    }
    switch (options.Command) {
        case CliCommand::Help:
            std::fputs(UsageText().c_str(), stdout);
            return ExitDone;
        case CliCommand::Version:
            std::printf("sonivar-cli %s\n", SONIVAR_VERSION);
            return ExitDone;
        case CliCommand::Info:
            return RunInfo(session, options);
        case CliCommand::Remaster:
            return RunRemaster(session, options);
        case CliCommand::Detect:
            return RunDetectCommand(session, options);
        case CliCommand::Batch:
            return RunBatch(options, session.env.WorkFolder);
    }
    return ExitUsage;
}

int Main(int argc, const char* const* argv) {
    ReopenClosedStandardDescriptors();
    LoadLanguage();
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "sonivar-cli: %s (see sonivar-cli --help)\n", error.c_str());
        return ExitUsage;
    }
    InstallInterruptHandlers();
    try {
        return Run(*options);
    } catch (const IoError& e) {
        std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
        return ExitIoFailure;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "sonivar-cli: out of memory\n");
        return ExitIoFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
        return ExitIoFailure;
    }
}

}  // namespace sv::cli
