#include "base/AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include "base/BackgroundClose.h"
#include "base/IoError.h"
#include "base/WorkFolder.h"

namespace sv {

namespace {

struct SaveTarget {
    std::filesystem::path path;
    std::filesystem::path folder;
    bool exists = false;
    struct stat info {};
};

[[noreturn]] void Refuse(const std::filesystem::path& target, const std::string& why, int code) {
    throw IoError("Cannot save " + target.string() + ": " + why, code);
}

SaveTarget Inspect(const std::filesystem::path& requested) {
    SaveTarget target;
    std::error_code ec;
    target.path = std::filesystem::is_symlink(requested, ec)
                      ? std::filesystem::weakly_canonical(requested, ec)
                      : requested;
    if (ec) target.path = requested;
    const std::string name = target.path.filename().string();
    target.folder =
        target.path.has_parent_path() ? target.path.parent_path() : std::filesystem::path(".");
    if (name.empty() || name == "." || name == "..")
        Refuse(requested, "it is a folder, not a file", EISDIR);

    struct stat folderInfo {};
    if (::stat(target.folder.c_str(), &folderInfo) != 0) {
        const int error = errno;
        if (error == ENOENT)
            Refuse(requested, "the folder " + target.folder.string() + " does not exist", error);
        if (error == ENOTDIR) Refuse(requested, target.folder.string() + " is not a folder", error);
        ThrowIoError("Cannot save " + requested.string(), error);
    }
    if (!S_ISDIR(folderInfo.st_mode))
        Refuse(requested, target.folder.string() + " is not a folder", ENOTDIR);
    const long nameMax = ::pathconf(target.folder.c_str(), _PC_NAME_MAX);
    if (nameMax > 0 && name.size() > static_cast<std::size_t>(nameMax))
        Refuse(requested, "the file name is longer than " + std::to_string(nameMax) + " bytes",
               ENAMETOOLONG);

    if (::stat(target.path.c_str(), &target.info) == 0) {
        target.exists = true;
        if (S_ISDIR(target.info.st_mode)) Refuse(requested, "it is a folder, not a file", EISDIR);
        if (!S_ISREG(target.info.st_mode))
            Refuse(requested, "it is not a regular file (only regular files are replaced)", EINVAL);
    } else if (errno != ENOENT) {
        ThrowIoError("Cannot save " + requested.string());
    }
    // An existing writable file is still written in place; a new one needs the folder.
    if (!target.exists && ::access(target.folder.c_str(), W_OK | X_OK) != 0 &&
        (errno == EACCES || errno == EROFS))
        Refuse(requested, "the folder " + target.folder.string() + " is not writable", errno);
    return target;
}

// Creates a file of a new name in folder with O_EXCL, so that the kernel applies the umask (and
// a default ACL) to mode as for any new file. The name is short, so that a target name of the
// longest length still leaves room for it.
FileDescriptor CreateUniqueFile(const std::filesystem::path& folder, mode_t mode,
                                std::filesystem::path& created) {
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".sonivar-";
        for (int i = 0; i < 6; ++i) name += letters[random() % (sizeof letters - 1)];
        const std::filesystem::path path = folder / name;
        FileDescriptor fd(
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (fd.Valid()) {
            created = path;
            return fd;
        }
        if (errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return FileDescriptor();
}

// Copies all of from into to (both positioned at their start).
void CopyContent(int from, int to, const std::filesystem::path& fromName,
                 const std::filesystem::path& toName) {
    std::vector<char> buffer(1 << 20);
    std::uint64_t offset = 0;
    for (;;) {
        const std::size_t got = ReadFullyAt(from, buffer.data(), buffer.size(), offset, fromName);
        if (got == 0) break;
        WriteFully(to, buffer.data(), got, toName);
        offset += got;
    }
}

void SyncOrThrow(int fd, const std::filesystem::path& path) {
    if (::fsync(fd) != 0) ThrowIoError("Cannot write " + path.string());
}

}  // namespace

void CheckSaveTarget(const std::filesystem::path& target) { Inspect(target); }

AtomicFileWriter::AtomicFileWriter(const std::filesystem::path& requested,
                                   const std::filesystem::path& backupFolder,
                                   ExistingTarget existing)
    : existing_(existing) {
    const SaveTarget target = Inspect(requested);
    if (target.exists && existing == ExistingTarget::Keep)
        Refuse(requested, "the file exists", EEXIST);
    target_ = target.path;
    folder_ = target.folder;
    inPlace_ =
        target.exists && (target.info.st_nlink > 1 || ::access(folder_.c_str(), W_OK | X_OK) != 0);
    if (inPlace_)
        OpenInPlace(backupFolder.empty() ? ChooseWorkFolder() : backupFolder);
    else
        OpenTemporary(target.exists, target.info);
}

void AtomicFileWriter::OpenTemporary(bool existing, const struct stat& old) {
    // A replacement stays private until it has the old file's owner and mode.
    out_ = CreateUniqueFile(folder_, existing ? 0600 : 0666, temporary_);
    if (!out_.Valid()) ThrowIoError("Cannot save " + target_.string());
    unfinished_ = std::make_unique<RemovedOnAbruptExit>(temporary_);
    if (!existing) return;
    // Keep owner and group where this user may; the mode after, as chown clears set-id bits.
    if (::fchown(out_.Get(), old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly =
            ::fchown(out_.Get(), static_cast<uid_t>(-1), old.st_gid);
    }
    if (::fchmod(out_.Get(), old.st_mode & 07777) != 0) {
        const int error = errno;
        out_.Reset();
        ::unlink(temporary_.c_str());
        ThrowIoError("Cannot save " + target_.string(), error);
    }
}

void AtomicFileWriter::OpenInPlace(const std::filesystem::path& backupFolder) {
    out_.Reset(::open(target_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!out_.Valid()) ThrowIoError("Cannot save " + target_.string());
    struct stat info {};
    if (::fstat(out_.Get(), &info) != 0) ThrowIoError("Cannot save " + target_.string());
    if (!S_ISREG(info.st_mode))
        Refuse(target_, "it is not a regular file (only regular files are replaced)", EINVAL);

    std::string pattern = (backupFolder / "sonivar-backup-XXXXXX").string();
    backupFd_.Reset(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!backupFd_.Valid())
        ThrowIoError("Cannot keep a copy of " + target_.string() + " in " + backupFolder.string());
    backup_ = pattern;
    try {
        CopyContent(out_.Get(), backupFd_.Get(), target_, backup_);
        SyncOrThrow(backupFd_.Get(), backup_);
    } catch (...) {
        backupFd_.Reset();
        ::unlink(backup_.c_str());
        throw;
    }
    if (::ftruncate(out_.Get(), 0) != 0) {
        const int error = errno;
        RestoreFromBackup();
        ThrowIoError("Cannot save " + target_.string(), error);
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (committed_) return;
    if (inPlace_) {
        RestoreFromBackup();
    } else {
        out_.Reset();
        if (!temporary_.empty()) ::unlink(temporary_.c_str());
    }
}

void AtomicFileWriter::Write(const void* data, std::size_t count) {
    WriteFully(out_.Get(), data, count, target_);
    written_ += count;
    writeBehind_.Wrote(out_.Get(), written_, target_);
}

void AtomicFileWriter::Commit() {
    SyncOrThrow(out_.Get(), target_);
    out_.Close(target_);
    if (inPlace_) {
        committed_ = true;
        backupFd_.Reset();
        ::unlink(backup_.c_str());
        return;
    }
    MoveIntoPlace();
    committed_ = true;
    unfinished_.reset();
    // The rename itself must survive a power cut too.
    FileDescriptor folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid() && ::fsync(folder.Get()) != 0 && errno == EIO)
        ThrowIoError("Cannot save " + target_.string());
}

void AtomicFileWriter::MoveIntoPlace() {
    const std::string failed = "Cannot save " + target_.string();
    if (existing_ == ExistingTarget::Replace) {
        // Held open across the rename, the replaced file is freed when this closes, off the
        // saving thread.
        FileDescriptor replaced(
            ::open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) ThrowIoError(failed);
        CloseInBackground(std::move(replaced));
        return;
    }
    if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) ThrowIoError(failed);
    // A file system without it: a link is never made over an existing name either.
    if (::link(temporary_.c_str(), target_.c_str()) != 0) ThrowIoError(failed);
    ::unlink(temporary_.c_str());
}

void AtomicFileWriter::RestoreFromBackup() noexcept {
    if (backup_.empty() || !backupFd_.Valid()) return;
    try {
        if (!out_.Valid()) out_.Reset(::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!out_.Valid() || ::ftruncate(out_.Get(), 0) != 0 ||
            ::lseek(out_.Get(), 0, SEEK_SET) != 0)
            return;  // the copy stays in the backup folder
        CopyContent(backupFd_.Get(), out_.Get(), backup_, target_);
        SyncOrThrow(out_.Get(), target_);
        out_.Reset();
        backupFd_.Reset();
        ::unlink(backup_.c_str());
    } catch (...) {
        // Writing back failed as well: the copy stays in the backup folder.
    }
}

}  // namespace sv
