#include "cli/Commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "audio/AudioFileFormats.h"
#include "audio/Wave.h"
#include "base/AtomicFileWriter.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"
#include "base/Time.h"
#include "base/WorkFolder.h"
#include "cli/TerminalProgress.h"
#include "dsp/RemasterChain.h"
#include "loudness/LoudnessMeter.h"
#include "text/Language.h"
#include "timbre/Timbres.h"

namespace sv::cli {

namespace {

// Messages go to stderr; the command line never asks, so every question answers No.
class StderrDialogs final : public UserDialogs {
  public:
    void Message(const std::string& text) override {
        std::fprintf(stderr, "sonivar-cli: %s\n", text.c_str());
    }
    bool Question(const std::string& text) override {
        std::fprintf(stderr, "sonivar-cli: %s (answered No)\n", text.c_str());
        return false;
    }
    void SetBusy(bool) override {}
};

struct Session {
    StderrDialogs dialogs;
    WaveEnvironment env;
};

void SetUp(Session& session, const Options& options) {
    session.env.WorkFolder =
        options.WorkFolder.empty() ? ChooseWorkFolder() : std::filesystem::path(options.WorkFolder);
    session.env.Ports.progress = TerminalProgressFactory(options.Quiet);
    session.env.Ports.dialogs = &session.dialogs;
    session.env.View = nullptr;
}

// Loads IN; on refusal reports it and returns null with exit set.
std::unique_ptr<Wave> Open(Session& session, const std::string& path, int& exit) {
    LoadResult loaded = OpenAudioFile(path, session.env);
    if (Interrupted()) {  // loading cannot stop half-way, but nothing runs after it
        exit = ExitCancelled;
        return nullptr;
    }
    if (loaded.Document) return std::move(loaded.Document);
    if (loaded.Outcome == LoadOutcome::NotPcm) {
        const std::string& reason = loaded.Reason;
        session.dialogs.Message(Texts().CaNePCM + ": " + path +
                                (reason.empty() ? "" : ": " + reason));
    } else {
        session.dialogs.Message(LoadRefusalMessage(loaded, session.env.WorkFolder));
    }
    exit = ExitRefused;
    return nullptr;
}

std::int64_t ChannelPeak(Wave& wave, int channel) {
    const std::int64_t frames = wave.FrameCount();
    Int32Array block(16384);
    std::int64_t peak = 0;
    for (std::int64_t first = 0; first < frames; first += 16384) {
        const std::int64_t count = std::min<std::int64_t>(16384, frames - first);
        wave.ReadChannel(block.data(), first + MarginFrames, channel, count);
        for (std::int64_t i = 0; i < count; ++i)
            peak = std::max<std::int64_t>(peak, std::abs(static_cast<std::int64_t>(block[i])));
    }
    return peak;
}

std::string Decimal(double value) {
    if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

int RunInfo(Session& session, const Options& options) {
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    const bool isFloat = wave->Encoding() == SampleEncoding::Float32;
    std::printf("format: %s%s\n", isFloat ? "float" : "PCM",
                wave->FormatTag() == WaveExtensibleTag ? " extensible" : "");
    std::printf("channels: %d\n", wave->Channels());
    std::printf("sample_rate: %d\n", wave->SampleRate());
    std::printf("bits_per_sample: %d\n", wave->BitsPerSample());
    std::printf("frames: %lld\n", static_cast<long long>(wave->FrameCount()));
    std::printf("duration: %s\n", DurationText(wave->FrameCount(), wave->SampleRate()).c_str());
    std::string peaks;
    for (int c = 0; c < wave->Channels(); ++c) {
        const std::int64_t peak = ChannelPeak(*wave, c);
        char text[32];
        if (peak == 0) {
            std::snprintf(text, sizeof text, "-inf");
        } else {
            std::snprintf(text, sizeof text, "%.2f",
                          20.0 * std::log10(static_cast<double>(peak) / wave->FullScale()));
        }
        peaks += (c ? " " : "") + std::string(text);
    }
    std::printf("peak_dbfs: %s\n", peaks.c_str());
    const auto loudness = MeasureLoudness(*wave);
    if (!loudness) return ExitCancelled;
    std::printf("integrated_lufs: %s\n", Decimal(loudness->IntegratedLufs).c_str());
    std::printf("loudness_range_lu: %s\n", Decimal(loudness->RangeLu).c_str());
    std::printf("true_peak_dbtp: %s\n", Decimal(loudness->TruePeakDbtp).c_str());
    return ExitDone;
}

// Saves OUT; the document writes beside it and renames, so OUT is complete or untouched.
int Save(Session& session, Wave& wave, const std::string& path) {
    const SaveResult result = SaveAudioFile(wave, path);
    if (result.Saved()) return ExitDone;
    if (result.Cancelled() || Interrupted()) return ExitCancelled;
    if (IsFullOrProtectedMedium(result.Code()))
        session.dialogs.Message(Texts().CaDatNoSave + ": " + result.Reason());
    else
        session.dialogs.Message(result.Reason());  // names the file and the real cause
    return ExitIoFailure;
}

// The engine with the spectra the commands share.
struct EngineRun {
    explicit EngineRun(const FrontEndPorts& ports) : engine(ports) {}
    Engine engine;
    std::unique_ptr<SharedSpectra> spectra = std::make_unique<SharedSpectra>();
};

// The target timbre of the options, when levelling runs. Returns an exit code other than
// ExitDone on failure.
int ChooseTarget(Session& session, EngineRun& run, const Options& options) {
    if (!options.Settings.Levelling) return ExitDone;
    Engine& engine = run.engine;
    SharedSpectra& spectra = *run.spectra;
    if (!options.Example.empty()) {
        int exit = ExitDone;
        auto example = Open(session, options.Example, exit);
        if (!example) return exit;
        if (!RunDetect(engine, *example, options.Settings.BandLevelModeChoice(), spectra))
            return ExitCancelled;
        spectra.Target = spectra.Example;
        return ExitDone;
    }
    if (const auto timbre = TimbreByName(options.Timbre)) {
        BandsToSpectrum(BuiltInTable(*timbre), spectra.Target);
        return ExitDone;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.Timbre, ec)) {
        std::fprintf(stderr,
                     "sonivar-cli: unknown timbre '%s' (clear, split, premaster, drum, pop or a "
                     "*.sts file)\n",
                     options.Timbre.c_str());
        return ExitUsage;
    }
    LoadTimbre(spectra.Target, options.Timbre);
    return ExitDone;
}

bool AnyStage(const RemasterSettings& s) {
    return s.RemoveNoise || s.Levelling || s.FitPeaks || s.Normalize;
}

// The loudness mode of normalizing runs last, after the other stages. False when cancelled.
bool NormalizeLoudnessIfAsked(std::unique_ptr<Wave>& wave, const Options& options) {
    if (!options.NormalizeLufs) return true;
    auto normalized = NormalizeLoudness(*wave, *options.NormalizeLufs, options.TruePeakMax);
    if (!normalized) return false;
    wave = std::move(normalized);
    return true;
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
    CheckSaveTarget(options.Output);  // refuse a device, a folder or a missing folder up front
    EngineRun run(session.env.Ports);
    if (const int exit = ChooseTarget(session, run, options); exit != ExitDone) return exit;
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    // Like Remaster It, except that after a cancel no further stage runs.
    if (AnyStage(options.Settings) &&
        RunBatchStages(run.engine, wave, options.Settings, *run.spectra).Result ==
            WalkResult::Cancelled)
        return ExitCancelled;
    if (Interrupted()) return ExitCancelled;
    if (!NormalizeLoudnessIfAsked(wave, options) || Interrupted()) return ExitCancelled;
    return Save(session, *wave, options.Output);
}

int RunDetectCommand(Session& session, const Options& options) {
    CheckSaveTarget(options.Output);
    EngineRun run(session.env.Ports);
    int exit = ExitDone;
    auto wave = Open(session, options.Input, exit);
    if (!wave) return exit;
    if (!RunDetect(run.engine, *wave, options.Settings.BandLevelModeChoice(), *run.spectra) ||
        Interrupted())
        return ExitCancelled;
    SaveTimbre(run.spectra->Example, options.Output);
    return ExitDone;
}

std::string Lower(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

// The audio files of a folder, sorted without regard to case.
std::vector<std::string> WavFiles(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        std::error_code ec;
        if (name.empty() || name[0] == '.' || !entry.is_regular_file(ec)) continue;
        if (IsReadableAudioFileName(entry.path())) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = Lower(a), lb = Lower(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

int RunBatch(Session& session, const Options& options) {
    const std::filesystem::path source = options.Input;
    const std::filesystem::path target = options.Output;
    std::error_code ec;
    for (const auto& folder : {source, target}) {
        if (!std::filesystem::is_directory(folder, ec)) {
            std::fprintf(stderr, "sonivar-cli: %s is not a folder\n", folder.c_str());
            return ExitIoFailure;
        }
    }
    EngineRun run(session.env.Ports);
    if (const int exit = ChooseTarget(session, run, options); exit != ExitDone) return exit;
    const auto names = WavFiles(source);  // fixed now: results written into source are not redone
    int worst = ExitDone;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto in = source / names[i];
        const auto out = target / ((options.Overwrite ? "" : "_") + names[i]);
        if (!options.Quiet) std::fprintf(stderr, "[%zu/%zu] %s\n", i + 1, names.size(), in.c_str());
        if (!options.Overwrite && std::filesystem::exists(out, ec)) {
            std::fprintf(stderr, "sonivar-cli: %s exists; skipped (use --overwrite)\n",
                         out.c_str());
            continue;
        }
        try {
            int exit = ExitDone;
            auto wave = Open(session, in.string(), exit);
            if (!wave) {
                worst = std::max(worst, exit);
                continue;
            }
            if (RunBatchStages(run.engine, wave, options.Settings, *run.spectra).Result ==
                    WalkResult::Cancelled ||
                Interrupted())
                return ExitCancelled;
            if (!NormalizeLoudnessIfAsked(wave, options) || Interrupted()) return ExitCancelled;
            if (IsWriteProtected(out)) {
                session.dialogs.Message(out.string() + " " + Texts().CaJeChrWrite);
                worst = std::max<int>(worst, ExitIoFailure);
                continue;
            }
            worst = std::max(worst, Save(session, *wave, out.string()));
        } catch (const IoError& e) {
            std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
            worst = std::max<int>(worst, ExitIoFailure);
        }
        if (Interrupted()) return ExitCancelled;
    }
    return worst;
}

}  // namespace

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
            return RunBatch(session, options);
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
