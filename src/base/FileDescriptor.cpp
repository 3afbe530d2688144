#include "base/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/IoError.h"

namespace sv {

void FileDescriptor::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

void FileDescriptor::Close(const std::filesystem::path& path) {
    if (fd_ < 0) return;
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (::close(Release()) != 0 && errno != EINTR) ThrowIoError("Cannot write " + path.string());
}

std::size_t ReadFullyAt(int fd, void* to, std::size_t count, std::uint64_t offset,
                        const std::filesystem::path& path) {
    auto* bytes = static_cast<char*>(to);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowIoError("Cannot read " + path.string());
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void WriteFully(int fd, const void* from, std::size_t count, const std::filesystem::path& path) {
    const auto* bytes = static_cast<const char*>(from);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(fd, bytes + done, count - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            ThrowIoError("Cannot write " + path.string());
        }
        if (put == 0) ThrowIoError("Cannot write " + path.string(), ENOSPC);
        done += static_cast<std::size_t>(put);
    }
}

FileDescriptor OpenRegularFileForReading(const std::filesystem::path& path, std::uint64_t* size) {
    int opened;
    do opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    while (opened < 0 && errno == EINTR);
    FileDescriptor fd(opened);
    if (!fd.Valid()) ThrowIoError("Cannot open " + path.string());
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) ThrowIoError("Cannot read " + path.string());
    if (S_ISDIR(info.st_mode)) ThrowIoError("Cannot read " + path.string(), EISDIR);
    if (!S_ISREG(info.st_mode))
        throw IoError("Cannot read " + path.string() + ": not a regular file", EINVAL);
    if (size) *size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

void WriteFullyAt(int fd, const void* from, std::size_t count, std::uint64_t offset,
                  const std::filesystem::path& path) {
    const auto* bytes = static_cast<const char*>(from);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put =
            ::pwrite(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            ThrowIoError("Cannot write " + path.string());
        }
        if (put == 0) ThrowIoError("Cannot write " + path.string(), ENOSPC);
        done += static_cast<std::size_t>(put);
    }
}

namespace {
// False when the file system cannot do it; a failure of the disk throws.
bool SyncRange(int fd, std::uint64_t from, std::uint64_t to, unsigned flags,
               const std::filesystem::path& path) {
    if (::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(to - from), flags) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS || errno == ESPIPE) return false;
    ThrowIoError("Cannot write " + path.string());
}
}  // namespace

void SequentialWriteBehind::Wrote(int fd, std::uint64_t end, const std::filesystem::path& path) {
    if (off_ || end < started_ + Step) return;
    const std::uint64_t start = end - end % Step;
    if (!SyncRange(fd, started_, start, SYNC_FILE_RANGE_WRITE, path)) {
        off_ = true;
        return;
    }
    started_ = start;
    if (started_ < dropped_ + Lag + Step) return;
    const std::uint64_t drop = started_ - Lag;
    // Waiting takes a write error of the range away from the later fsync: report it here.
    if (!SyncRange(fd, dropped_, drop,
                   SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER,
                   path)) {
        off_ = true;
        return;
    }
    ::posix_fadvise(fd, static_cast<off_t>(dropped_), static_cast<off_t>(drop - dropped_),
                    POSIX_FADV_DONTNEED);
    dropped_ = drop;
}

void ReopenClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() returns the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

}  // namespace sv
