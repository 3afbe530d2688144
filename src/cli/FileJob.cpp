#include "cli/FileJob.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "audio/AudioFileFormats.h"
#include "base/IoError.h"
#include "cli/PlotCommand.h"
#include "cli/PrintableText.h"
#include "cli/TerminalProgress.h"
#include "dsp/StageLength.h"
#include "text/Language.h"

namespace sv::cli {

namespace {

// Points the save hook of an environment at a gatherer for as long as one file is in work.
class SavedValuesHook {
  public:
    SavedValuesHook(WaveEnvironment& env, LevelsGatherer* gatherer) : env_(env) {
        if (gatherer)
            env_.SavedValues = [gatherer](const Wave& document, const std::int32_t* values,
                                          std::int64_t first, std::int64_t count) {
                gatherer->Add(document.Channels(), values, first, count);
            };
    }
    ~SavedValuesHook() { env_.SavedValues = nullptr; }
    SavedValuesHook(const SavedValuesHook&) = delete;
    SavedValuesHook& operator=(const SavedValuesHook&) = delete;

  private:
    WaveEnvironment& env_;
};

int SkipExisting(const FileJob& job, FileRecord& record) {
    if (job.KeepAsDone) {
        record.Message = job.Output + " exists; kept";
        record.Kept = true;
        return ExitDone;
    }
    record.Message = job.Output + " exists; skipped (use --overwrite)";
    std::fprintf(stderr, "sonivar-cli: %s\n", PrintableText(record.Message).c_str());
    record.Status = FileStatus::Refused;
    return ExitDone;  // not a failure of the batch: the result is already there
}

// What would refuse the save without the document: found before any work.
int CheckTarget(Session& session, const FileJob& job) {
    if (IsWriteProtected(job.Output)) {
        session.dialogs.Message(job.Output + " " + Texts().WriteProtectedSuffix);
        return ExitIoFailure;
    }
    return ReportSave(session, CheckAudioSaveTarget(job.Output));
}

int MakeOutputFolder(Session& session, const FileJob& job) {
    if (!job.MakeFolder) return ExitDone;
    std::error_code ec;
    const auto folder = std::filesystem::path(job.Output).parent_path();
    if (!folder.empty() && (std::filesystem::create_directories(folder, ec), ec)) {
        session.dialogs.Message("Cannot create the folder " + folder.string() + ": " +
                                ec.message());
        return ExitIoFailure;
    }
    return ExitDone;
}

// Ends the file before it is read: an existing result kept, or its folder or target refused.
std::optional<int> EndBeforeReading(Session& session, const FileJob& job, FileRecord& record) {
    std::error_code ec;
    if (job.KeepExisting && std::filesystem::exists(job.Output, ec))
        return SkipExisting(job, record);
    if (const int exit = MakeOutputFolder(session, job); exit != ExitDone) return exit;
    if (const int exit = CheckTarget(session, job); exit != ExitDone) return exit;
    return std::nullopt;
}

// The chain itself; returns the exit code of the file.
int RemasterOneFile(Session& session, EngineRun& run, const Options& options, const FileJob& job,
                    FileRecord& record) {
    if (const auto end = EndBeforeReading(session, job, record)) return *end;
    // The documents of this file save without replacing what another run may create meanwhile.
    session.env.KeepExistingFiles = job.KeepExisting;
    // Levels before from the reads of loading and the chain, after from the save's own pass.
    LoadedLevels loaded(session.env, job.Measure);
    LevelsGatherer saved;
    const SavedValuesHook hook(session.env, job.Measure ? &saved : nullptr);
    int exit = ExitDone;
    auto wave = Open(session, job.Input, exit);
    if (!wave) return exit;
    loaded.Opened(*wave);
    auto noteBefore = [&] {
        if (job.Measure) record.Before = loaded.Levels(*wave, job.Input);
    };
    record.Format = FormatOf(*wave, job.Input);
    exit = ReportSave(session, CheckAudioSaveLayout(job.Output, wave->Channels(),
                                                    wave->SampleRate(), wave->Format().Encoding));
    if (exit != ExitDone) {
        noteBefore();
        return exit;
    }
    // Peak normalizing right before the save is applied by the save, sparing a pass over the
    // whole document; not when the picture measures the document after the chain.
    ChainPolicy policy;
    policy.NormalizeWhileSaving = options.PlotFile.empty();
    const RemasterSettings settings = ChainSettings(options);
    if (const auto shortfall = FirstTooShortStage(settings, *wave)) {
        session.dialogs.Message(TooShortMessage(shortfall->MinimumFrames, wave->SampleRate()) +
                                ": " + StageWord(shortfall->Stage));
        noteBefore();
        return ExitRefused;
    }
    const bool plot = !options.PlotFile.empty();
    if (plot) PrepareChainForPlot(run.engine, *wave, settings, *run.spectra);
    const ChainOutcome outcome = RunChain(run.engine, wave, settings, *run.spectra, policy);
    // After a cancel no further stage runs.
    if (outcome.Result == WalkResult::Cancelled || Interrupted()) return ExitCancelled;
    if (outcome.Loudness) {
        record.HeldByTruePeak = outcome.Loudness->HeldByTruePeak;
        ReportLoudness(session, *outcome.Loudness, options, job.Input);
    }
    // Stages that rewrite the document in place or while saving make no new document to note it.
    if (AnyStage(settings)) wave->Metadata().NoteProcessing("remaster");
    const bool levelled = std::find(outcome.Completed.begin(), outcome.Completed.end(),
                                    ChainStage::Levelling) != outcome.Completed.end();
    if (job.Measure && levelled) record.GainCurve = GainCurveOf(*run.spectra, *wave, options);
    if (plot) SaveChainPlot(options.PlotFile, run.engine, *wave, options, *run.spectra, levelled);
    // The save reads what the chain did not; the input file is read before the save replaces it.
    const bool beforeFromInput = loaded.NeedsInputFile(*wave);
    if (beforeFromInput) noteBefore();
    const SaveResult result = SaveAudioFile(*wave, job.Output, outcome.SaveGains);
    if (!beforeFromInput) noteBefore();
    // Another run saved the same name meanwhile: its file stays.
    if (job.KeepExisting && result.Code() == EEXIST) return SkipExisting(job, record);
    if (job.Measure && result.Saved() && saved.Samples() == wave->FrameCount() * wave->Channels())
        record.After = saved.Levels(static_cast<double>(wave->FullScale()));
    return ReportSave(session, result);
}

}  // namespace

void FillRecord(Session& session, FileRecord& record, const std::function<int()>& body) {
    const auto start = std::chrono::steady_clock::now();
    session.dialogs.ClearLastMessage();
    try {
        record.Exit = body();
    } catch (const std::bad_alloc&) {
        session.dialogs.Message("out of memory");
        record.Exit = ExitIoFailure;
    } catch (const std::exception& e) {  // a decoder's words are shown escaped
        session.dialogs.Message(e.what());
        record.Exit = ExitIoFailure;
    }
    if (record.Status != FileStatus::Refused) record.Status = StatusOfExit(record.Exit);
    if (record.Message.empty()) record.Message = session.dialogs.LastMessage();
    if (record.Status != FileStatus::Done) record.After.reset();
    record.WallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

FileRecord RemasterFile(Session& session, EngineRun& run, const Options& options,
                        const FileJob& job) {
    FileRecord record;
    record.Input = job.Input;
    record.Output = job.Output;
    FillRecord(session, record,
               [&] { return RemasterOneFile(session, run, options, job, record); });
    return record;
}

}  // namespace sv::cli
