#include "cli/Session.h"

#include <cstdio>
#include <filesystem>

#include "audio/SoundFileImport.h"
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
}

std::unique_ptr<Wave> Open(Session& session, const std::string& path, int& exit) {
    bool notPcm = false;
    auto wave = IsSoundFileExtension(path) ? ImportSoundFile(path, session.env)
                                           : Wave::CreateFromFile(path, session.env, &notPcm);
    if (Interrupted()) {  // loading cannot stop half-way, but nothing runs after it
        exit = ExitCancelled;
        return nullptr;
    }
    if (wave->HasData()) return wave;
    if (notPcm) {
        const std::string& reason = wave->RefusalReason();
        session.dialogs.Message(Texts().CaNePCM + ": " + path +
                                (reason.empty() ? "" : ": " + reason));
    }
    exit = ExitRefused;
    return nullptr;
}

int Save(Session& session, Wave& wave, const std::string& path) {
    if (wave.SaveToFile(path)) return ExitDone;
    if (wave.SaveErrorCode() == ECANCELED || Interrupted()) return ExitCancelled;
    if (IsFullOrProtectedMedium(wave.SaveErrorCode()))
        session.dialogs.Message(Texts().CaDatNoSave + ": " + wave.SaveError());
    else
        session.dialogs.Message(wave.SaveError());  // names the file and the real cause
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

void NormalizeLoudnessIfAsked(std::unique_ptr<Wave>& wave, const Options& options) {
    if (!options.NormalizeLufs) return;
    wave = NormalizeLoudness(*wave, *options.NormalizeLufs, options.TruePeakMax);
}

}  // namespace sv::cli
