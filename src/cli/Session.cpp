#include "cli/Session.h"

#include <cstdio>
#include <filesystem>

#include "audio/AudioFileFormats.h"
#include "base/IoError.h"
#include "base/WorkFolder.h"
#include "cli/PrintableText.h"
#include "cli/TerminalProgress.h"
#include "dsp/StageLength.h"
#include "loudness/LoudnessMeter.h"
#include "text/FileMessages.h"
#include "text/Language.h"
#include "text/StepCaptions.h"
#include "timbre/Timbres.h"

namespace sv::cli {

std::string StderrDialogs::Line(const std::string& text) const {
    if (subject_.empty() || text.find(subject_) != std::string::npos) return text;
    return subject_ + ": " + text;
}

void StderrDialogs::Message(const std::string& text) {
    last_ = PrintableText(text);
    std::fprintf(stderr, "sonivar-cli: %s\n", Line(last_).c_str());
}

bool StderrDialogs::Question(const std::string& text) {
    last_ = PrintableText(text);
    std::fprintf(stderr, "sonivar-cli: %s (answered No)\n", Line(last_).c_str());
    return false;
}

void SetUp(Session& session, const Options& options, bool silentProgress) {
    session.env.WorkFolder =
        options.WorkFolder.empty() ? ChooseWorkFolder() : std::filesystem::path(options.WorkFolder);
    session.env.Ports.progress = TerminalProgressFactory(options.Quiet || silentProgress);
    session.env.Ports.dialogs = &session.dialogs;
    session.env.ReadingCaption = ReadingCaption();
    session.env.SavingCaption = SavingCaption();
    session.env.SamplesStayInSourceFile = true;
    session.env.ShowDecoderNotes = !options.Quiet;
}

std::unique_ptr<Wave> Open(Session& session, const std::string& path, int& exit) {
    LoadResult loaded = OpenAudioFile(path, session.env);
    if (Interrupted()) {  // loading cannot stop half-way, but nothing runs after it
        exit = ExitCancelled;
        return nullptr;
    }
    if (loaded.Document) {
        if (const auto infinite = loaded.Document->InfiniteSamples())
            std::fprintf(stderr, "sonivar-cli: %s: %lld infinite samples were limited to ±256.0\n",
                         path.c_str(), static_cast<long long>(infinite));
        for (const std::string& chunk : loaded.Document->Metadata().DroppedChunks)
            std::fprintf(stderr,
                         "sonivar-cli: %s: chunk %s is too large to keep; results lack it\n",
                         path.c_str(), chunk.c_str());
        return std::move(loaded.Document);
    }
    if (loaded.Outcome == LoadOutcome::NotPcm) {
        const std::string& reason = loaded.Reason;
        session.dialogs.Message(Texts().NotPcmMessage + ": " + path +
                                (reason.empty() ? "" : ": " + reason));
    } else {
        session.dialogs.Message(
            LoadRefusalMessage(loaded.Outcome, loaded.Reason, session.env.WorkFolder));
    }
    exit = ExitRefused;
    return nullptr;
}

int ReportSave(Session& session, const SaveResult& result) {
    if (result.Saved()) return ExitDone;
    if (result.Cancelled() || Interrupted()) return ExitCancelled;
    if (IsFullOrProtectedMedium(result.Code()))
        session.dialogs.Message(Texts().SaveFailedMessage + ": " + result.Reason());
    else
        session.dialogs.Message(result.Reason());  // names the file and the real cause
    return ExitIoFailure;
}

namespace {

int ChooseTargetOrThrow(Session& session, EngineRun& run, const Options& options) {
    Engine& engine = run.engine;
    SharedSpectra& spectra = *run.spectra;
    if (!options.Example.empty()) {
        int exit = ExitDone;
        auto example = Open(session, options.Example, exit);
        if (!example) return exit;
        if (example->FrameCount() < MinimumFramesToMeasure()) {
            session.dialogs.Message(
                TooShortMessage(MinimumFramesToMeasure(), example->SampleRate()) + ": example");
            return ExitRefused;
        }
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
        session.dialogs.Message("unknown timbre '" + options.Timbre +
                                "' (clear, split, premaster, drum, pop or a *.sts file)");
        return ExitUsage;
    }
    LoadTimbre(spectra.Target, options.Timbre, options.Settings.BandMeans);
    return ExitDone;
}

}  // namespace

int ChooseTarget(Session& session, EngineRun& run, const Options& options) {
    if (!options.Settings.Levelling) return ExitDone;
    try {
        return ChooseTargetOrThrow(session, run, options);
    } catch (const std::exception& e) {  // a damaged example, an unreadable timbre file
        session.dialogs.Message(e.what());
        return ExitIoFailure;
    }
}

EngineOptions ForCommandLine(EngineOptions options) {
    options.FitInPlace = true;
    options.LevelInPlace = true;
    options.EitherThreadLeads = true;
    options.Caption = StepCaption;
    return options;
}

RemasterSettings ChainSettings(const Options& options) {
    RemasterSettings s = options.Settings;
    if (options.NormalizeLufs)
        s.Loudness = LoudnessTarget{*options.NormalizeLufs, options.TruePeakMax};
    return s;
}

void ReportLoudness(Session& session, const LoudnessGain& gain, const Options& options,
                    const std::string& input) {
    if (!gain.HeldByTruePeak) return;
    char note[160];
    std::snprintf(note, sizeof note,
                  ": loudness held at %.1f LUFS by the %g dBTP true-peak ceiling (target %g "
                  "LUFS)",
                  gain.ReachedLufs, options.TruePeakMax, *options.NormalizeLufs);
    session.dialogs.Message(input + note);
}

}  // namespace sv::cli
