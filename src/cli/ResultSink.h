#pragma once
// Where the records of finished files go: JSON Lines on stdout and/or appended to a report file.
// Each line is written whole as soon as its file is finished, so a run that is killed keeps the
// lines of every file it finished. Callers serialize the calls.
#include <string>

#include "base/FileDescriptor.h"
#include "cli/FileRecord.h"
#include "cli/Options.h"

namespace sv::cli {

class ResultSink {
  public:
    // Opens the report (created if missing, appended to otherwise) when reportPath is not empty.
    // Throws IoError when it cannot be opened.
    ResultSink(const Options& options, const std::string& reportPath);
    void Add(const FileRecord& record);
    // Whether anything reads the records (so that the levels are worth measuring).
    bool Wanted() const { return toStdout_ || report_.Valid(); }

  private:
    const Options& options_;
    bool toStdout_;
    std::string reportPath_;
    FileDescriptor report_;
};

}  // namespace sv::cli
