#include "cli/FileJob.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "base/IoError.h"
#include "cli/TerminalProgress.h"
#include "text/Language.h"

namespace sv::cli {

namespace {

// The chain itself; returns the exit code of the file.
int RunChain(Session& session, EngineRun& run, const Options& options, const FileJob& job,
             FileRecord& record) {
    std::error_code ec;
    if (job.KeepExisting && std::filesystem::exists(job.Output, ec)) {
        record.Message = job.Output + " exists; skipped (use --overwrite)";
        std::fprintf(stderr, "sonivar-cli: %s\n", record.Message.c_str());
        record.Status = FileStatus::Refused;
        return ExitDone;  // not a failure of the batch: the result is already there
    }
    int exit = ExitDone;
    auto wave = Open(session, job.Input, exit);
    if (!wave) return exit;
    record.Format = FormatOf(*wave, job.Input);
    if (job.Measure) record.Before = MeasureLevels(run.engine, *wave);
    // Peak normalizing right before the save is applied by the save, sparing a pass over the
    // whole document; not when something else looks at the normalized document first.
    const bool normalizeOnSave =
        options.Settings.Normalize && !options.NormalizeLufs && !job.Measure;
    std::vector<float> saveGains;
    // After a cancel no further stage runs.
    if (AnyStage(options.Settings) &&
        RunBatchStages(run.engine, wave, options.Settings, *run.spectra,
                       normalizeOnSave ? &saveGains : nullptr)
                .Result == WalkResult::Cancelled)
        return ExitCancelled;
    if (Interrupted()) return ExitCancelled;
    if (!NormalizeLoudnessIfAsked(wave, options) || Interrupted()) return ExitCancelled;
    // Stages that rewrite the document in place or while saving make no new document to note it.
    if (AnyStage(options.Settings) || options.NormalizeLufs)
        wave->Metadata().NoteProcessing("remaster");
    if (IsWriteProtected(job.Output)) {
        session.dialogs.Message(job.Output + " " + Texts().CaJeChrWrite);
        return ExitIoFailure;
    }
    if (job.Measure) record.After = MeasureLevels(run.engine, *wave);
    return Save(session, *wave, job.Output, saveGains);
}

}  // namespace

FileRecord RemasterFile(Session& session, EngineRun& run, const Options& options,
                        const FileJob& job) {
    const auto start = std::chrono::steady_clock::now();
    FileRecord record;
    record.Input = job.Input;
    record.Output = job.Output;
    session.dialogs.ClearLastMessage();
    try {
        record.Exit = RunChain(session, run, options, job, record);
    } catch (const IoError& e) {
        std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
        record.Message = e.what();
        record.Exit = ExitIoFailure;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "sonivar-cli: out of memory\n");
        record.Message = "out of memory";
        record.Exit = ExitIoFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sonivar-cli: %s\n", e.what());
        record.Message = e.what();
        record.Exit = ExitIoFailure;
    }
    if (record.Status != FileStatus::Refused) record.Status = StatusOfExit(record.Exit);
    if (record.Message.empty()) record.Message = session.dialogs.LastMessage();
    if (record.Status != FileStatus::Done) record.After.reset();
    record.WallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return record;
}

}  // namespace sv::cli
