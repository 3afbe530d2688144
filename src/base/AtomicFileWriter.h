#pragma once
// The one way this program replaces a file: the new content never mixes with the old, and a
// failed or interrupted save leaves the old file as it was.
//
// Usually the content goes to a temporary file beside the target, which is synced, renamed over
// the target, and the folder synced. Two cases cannot use a rename and write the target in
// place instead, after a copy of its old content is kept in the backup folder and written back
// if the save fails: a writable file in a folder this user cannot write, and a file with more
// than one hard link (a rename would split it from its other names).
//
// Only regular files are replaced (or created); devices, FIFOs, sockets and folders are refused.
// Saving through a symbolic link replaces the file it points at. Every failure throws IoError
// with a message naming the real cause. A new file gets the mode the process umask leaves of
// 0666 (the kernel applies it; the umask is never changed, so threads may save at once).
#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "base/AbruptExitCleanup.h"
#include "base/FileDescriptor.h"

namespace sv {

// Throws IoError when target could not be saved: not a regular file, folder missing, not a
// folder or not writable, name too long. Cheap; lets a caller refuse before a long computation.
void CheckSaveTarget(const std::filesystem::path& target);

// What a save does when the target exists. Keep refuses with IoError code EEXIST, also when
// another writer creates the target while this one writes: the commit never replaces a file.
enum class ExistingTarget { Replace, Keep };

class AtomicFileWriter {
  public:
    // backupFolder takes the old content for in-place saves; empty means the work folder.
    explicit AtomicFileWriter(const std::filesystem::path& target,
                              const std::filesystem::path& backupFolder = {},
                              ExistingTarget existing = ExistingTarget::Replace);
    // Without Commit: the temporary file is removed, or the old content written back.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void Write(const void* data, std::size_t count);
    // Makes the new content the target's, durably. Throws IoError (the old file then stays).
    void Commit();

    bool InPlace() const { return inPlace_; }
    const std::filesystem::path& Target() const { return target_; }
    // The file being written, for encoders that seek back to finish their headers; used only
    // before Commit, and never closed by them.
    int Descriptor() const { return out_.Get(); }

  private:
    void OpenTemporary(bool existing, const struct stat& old);
    void MoveIntoPlace();
    void OpenInPlace(const std::filesystem::path& backupFolder);
    void RestoreFromBackup() noexcept;

    std::filesystem::path target_;  // symbolic links resolved
    std::filesystem::path folder_;
    std::filesystem::path temporary_;  // rename mode
    std::filesystem::path backup_;     // in-place mode
    FileDescriptor out_;
    FileDescriptor backupFd_;
    SequentialWriteBehind writeBehind_;
    std::uint64_t written_ = 0;
    std::unique_ptr<RemovedOnAbruptExit> unfinished_;
    ExistingTarget existing_;
    bool inPlace_ = false;
    bool committed_ = false;
};

}  // namespace sv
