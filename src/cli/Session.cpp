#include "cli/Session.h"

#include <cstdio>
#include <filesystem>

#include "audio/AudioFileFormats.h"
#include "base/IoError.h"
#include "base/WorkFolder.h"
#include "cli/TerminalProgress.h"
#include "loudness/LoudnessMeter.h"
#include "text/Language.h"
#include "timbre/Timbres.h"

namespace sv::cli {

void StderrDialogs::Message(const std::string& text) {
    std::fprintf(stderr, "sonivar-cli: %s\n", text.c_str());
    last_ = text;
}

bool StderrDialogs::Question(const std::string& text) {
    std::fprintf(stderr, "sonivar-cli: %s (answered No)\n", text.c_str());
    last_ = text;
    return false;
}

void SetUp(Session& session, const Options& options, bool silentProgress) {
    session.env.WorkFolder =
        options.WorkFolder.empty() ? ChooseWorkFolder() : std::filesystem::path(options.WorkFolder);
    session.env.Ports.progress = TerminalProgressFactory(options.Quiet || silentProgress);
    session.env.Ports.dialogs = &session.dialogs;
    session.env.View = nullptr;
    session.env.SamplesStayInSourceFile = true;
}

std::unique_ptr<Wave> Open(Session& session, const std::string& path, int& exit) {
    LoadResult loaded = OpenAudioFile(path, session.env);
    if (Interrupted()) {  // loading cannot stop half-way, but nothing runs after it
        exit = ExitCancelled;
        return nullptr;
    }
    if (loaded.Document) {
        for (const std::string& chunk : loaded.Document->Metadata().DroppedChunks)
            std::fprintf(stderr,
                         "sonivar-cli: %s: chunk %s is too large to keep; results lack it\n",
                         path.c_str(), chunk.c_str());
        return std::move(loaded.Document);
    }
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

int Save(Session& session, Wave& wave, const std::string& path,
         std::span<const float> channelGains) {
    const SaveResult result = SaveAudioFile(wave, path, channelGains);
    if (result.Saved()) return ExitDone;
    if (result.Cancelled() || Interrupted()) return ExitCancelled;
    if (IsFullOrProtectedMedium(result.Code()))
        session.dialogs.Message(Texts().CaDatNoSave + ": " + result.Reason());
    else
        session.dialogs.Message(result.Reason());  // names the file and the real cause
    return ExitIoFailure;
}

int ChooseTarget(Session& session, EngineRun& run, const Options& options) {
    if (!options.Settings.Levelling) return ExitDone;
    Engine& engine = run.engine;
    SharedSpectra& spectra = *run.spectra;
    if (!options.Example.empty()) {
        int exit = ExitDone;
        auto example = Open(session, options.Example, exit);
        if (!example) return exit;
        if (!RunDetect(engine, *example, options.Settings.BandLevelMode, spectra))
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

bool NormalizeLoudnessIfAsked(std::unique_ptr<Wave>& wave, const Options& options) {
    if (!options.NormalizeLufs) return true;
    auto normalized = NormalizeLoudness(*wave, *options.NormalizeLufs, options.TruePeakMax);
    if (!normalized) return false;
    wave = std::move(normalized);
    return true;
}

}  // namespace sv::cli
