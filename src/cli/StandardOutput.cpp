#include "cli/StandardOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/FileDescriptor.h"
#include "base/IoError.h"

namespace sv::cli {

void ReopenClosedStandardDescriptorsForResults() {
    const bool outputClosed = ::fcntl(STDOUT_FILENO, F_GETFD) == -1 && errno == EBADF;
    ReopenClosedStandardDescriptors();
    if (!outputClosed) return;
    const int readOnly = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (readOnly < 0) return;
    ::dup2(readOnly, STDOUT_FILENO);
    ::close(readOnly);
}

// Written with write(2) rather than through stdio's buffer, so that a failure shows at the write
// that met it.
void WriteToStandardOutput(std::string_view text) {
    WriteFully(STDOUT_FILENO, text.data(), text.size(), "to standard output");
}

void CloseStandardOutput() {
    if (::close(STDOUT_FILENO) != 0 && errno != EINTR)
        ThrowIoError("Cannot write to standard output");
}

}  // namespace sv::cli
