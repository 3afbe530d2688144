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

// Reopens any of the descriptors 0, 1 and 2 that are closed on /dev/null, so that no file the
// program opens later becomes its standard output or error. Call first thing in main.
void ReopenClosedStandardDescriptors();

}  // namespace sv
