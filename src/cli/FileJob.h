#pragma once
// One input file through the remaster chain: load, the chosen stages, save.
#include <functional>
#include <string>

#include "cli/FileRecord.h"
#include "cli/Session.h"

namespace sv::cli {

struct FileJob {
    std::string Input;
    std::string Output;
    bool KeepExisting = false;  // an existing output is reported and left alone
    bool Measure = false;       // levels before and after, for the machine-readable record
    // An existing output counts as done: a resumed run's predecessor saved it (whole, as every
    // save is) but was killed before reporting it.
    bool KeepAsDone = false;
    bool MakeFolder = false;  // the output's folder is created when missing
};

// Fills in record by running body, which returns the file's exit code: whatever body throws
// becomes the record's failure, and status, message and wall time follow from the outcome.
void FillRecord(Session& session, FileRecord& record, const std::function<int()>& body);

// Runs the job with the session's engine and the target timbre already in run. Never throws
// for a file's own failure: the record says what happened, and the message went to stderr.
FileRecord RemasterFile(Session& session, EngineRun& run, const Options& options,
                        const FileJob& job);

}  // namespace sv::cli
