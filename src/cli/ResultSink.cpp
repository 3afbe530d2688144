#include "cli/ResultSink.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

#include "base/IoError.h"
#include "cli/JsonLines.h"

namespace sv::cli {

ResultSink::ResultSink(const Options& options, const std::string& reportPath)
    : options_(options), toStdout_(options.Json), reportPath_(reportPath) {
    if (reportPath_.empty()) return;
    report_.Reset(::open(reportPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!report_.Valid()) ThrowIoError("Cannot open the report " + reportPath_, errno);
}

void ResultSink::Add(const FileRecord& record) {
    if (!toStdout_ && !report_.Valid()) return;
    const std::string line = JsonLine(record, options_);
    if (toStdout_) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
    // One write of the whole line: a kill between files never leaves half a record.
    if (report_.Valid()) WriteFully(report_.Get(), line.data(), line.size(), reportPath_);
}

}  // namespace sv::cli
