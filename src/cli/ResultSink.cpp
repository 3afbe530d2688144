#include "cli/ResultSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/IoError.h"
#include "cli/JsonLines.h"
#include "cli/StandardOutput.h"

namespace sv::cli {

namespace {

// Whether the regular file at path, open as fd for writing, has a last line without a newline.
bool EndsInTornLine(int fd, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) return false;
    const FileDescriptor reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!reader.Valid()) return false;  // a report we may only write to: nothing to tell
    char last = '\n';
    if (::pread(reader.Get(), &last, 1, info.st_size - 1) != 1)
        ThrowIoError("Cannot read the report " + path, errno);
    return last != '\n';
}

}  // namespace

ResultSink::ResultSink(const Options& options, const std::string& reportPath)
    : options_(options), toStdout_(options.Json), reportPath_(reportPath) {
    if (reportPath_.empty()) return;
    report_.Reset(::open(reportPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!report_.Valid()) ThrowIoError("Cannot open the report " + reportPath_, errno);
    // A line cut short by a full disk or a kill stays a line of its own, which readers pass over.
    if (EndsInTornLine(report_.Get(), reportPath_)) WriteFully(report_.Get(), "\n", 1, reportPath_);
}

void ResultSink::Add(const FileRecord& record) {
    if (!toStdout_ && !report_.Valid()) return;
    const std::string line = JsonLine(record, options_);
    if (toStdout_) WriteToStandardOutput(line);
    // One write of the whole line: a kill between files never leaves half a record.
    if (report_.Valid()) WriteFully(report_.Get(), line.data(), line.size(), reportPath_);
}

}  // namespace sv::cli
