#pragma once
// An owned POSIX descriptor and full, EINTR-safe reads and writes on it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <utility>

namespace sv {

class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1);
    // Closes now and throws IoError naming path when the close reports a failure (a delayed
    // write error on network and some local file systems shows up only here).
    void Close(const std::filesystem::path& path);

  private:
    int fd_ = -1;
};

// Reads up to count bytes at offset; returns how many there were (fewer only at the end of the
// file). Throws IoError naming path.
std::size_t ReadFullyAt(int fd, void* to, std::size_t count, std::uint64_t offset,
                        const std::filesystem::path& path);

// Writes all count bytes at the current position. Throws IoError naming path; a write that
// makes no progress counts as a full disk.
void WriteFully(int fd, const void* from, std::size_t count, const std::filesystem::path& path);

// Opens path for reading without blocking (a FIFO would wait for a writer forever) and refuses
// anything but a regular file; *size receives its length. Throws IoError naming path.
FileDescriptor OpenRegularFileForReading(const std::filesystem::path& path, std::uint64_t* size);

// Writes all count bytes at offset, leaving the file position alone. Fails like WriteFully.
void WriteFullyAt(int fd, const void* from, std::size_t count, std::uint64_t offset,
                  const std::filesystem::path& path);

// Keeps the page cache of one long sequential write small. Each stretch written is handed to
// the disk at once, and a stretch some way behind, once it is on the disk, leaves the page
// cache, so the pages are used again for what follows instead of new memory. The content is not
// yet durable: that still takes fsync. Writes the file's owner makes after a position passed to
// Wrote must not go below it.
class SequentialWriteBehind {
  public:
    // Stretches of this size go to the disk together; small enough that the fsync after the
    // last write waits for little (8 MiB left a 3-minute save waiting 4 ms).
    static constexpr std::uint64_t Step = 2 << 20;
    // Stretches this far behind the written end are waited for and dropped.
    static constexpr std::uint64_t Lag = 4 * Step;

    // The file holds what was written up to end. Throws IoError naming path when the disk
    // reports a failure (the error would otherwise not reach the later fsync).
    void Wrote(int fd, std::uint64_t end, const std::filesystem::path& path);

  private:
    std::uint64_t started_ = 0;  // writing to the disk began below this offset
    std::uint64_t dropped_ = 0;  // below this the pages were written and dropped
    bool off_ = false;           // the file system does not take part
};

// Reopens any of the descriptors 0, 1 and 2 that are closed on /dev/null, so that no file the
// program opens later becomes its standard output or error. Call first thing in main.
void ReopenClosedStandardDescriptors();

}  // namespace sv
