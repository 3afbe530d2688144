#include "audio/FileMemory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/CpuFeatures.h"
#include "base/FileDescriptor.h"
#include "base/IoError.h"

static_assert(std::endian::native == std::endian::little, "swap files hold host-order values");

namespace sv {

namespace {
std::atomic<bool> blockTransfers{true};

std::int64_t CheckedWindow(std::int64_t values) {
    if (values < 16 || values > FileMemory::WindowValues ||
        !std::has_single_bit(static_cast<std::uint64_t>(values)))
        throw std::invalid_argument("a store's window must be a power of two of 16 to " +
                                    std::to_string(FileMemory::WindowValues) + " values, not " +
                                    std::to_string(values));
    return values;
}
}  // namespace

void FileMemory::UseBlockTransfers(bool on) { blockTransfers.store(on); }

struct FileMemory::Source {
    SourceSamples Samples;
    struct stat Seen {};  // the file as it was when reading through began
    std::vector<unsigned char> Bytes;
};

FileMemory::FileMemory(const std::filesystem::path& fileName, bool exclusive,
                       std::int64_t windowValues)
    : W_(CheckedWindow(windowValues)),
      H_(W_ / 2),
      window_(MakePrefaultedArray<std::int32_t>(static_cast<std::size_t>(W_))),
      fileName_(fileName) {
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
    fd_ = ::open(fileName.c_str(), flags, 0600);
    if (fd_ < 0) ThrowIoError("Cannot create swap file " + fileName.string());
    [[maybe_unused]] const int locked = ::flock(fd_, LOCK_EX | LOCK_NB);
    removedOnAbruptExit_ = std::make_unique<RemovedOnAbruptExit>(fileName_);
}

FileMemory::FileMemory(int lockedFd, const std::filesystem::path& fileName,
                       std::int64_t windowValues)
    : removedOnAbruptExit_(std::make_unique<RemovedOnAbruptExit>(fileName)),
      W_(windowValues),
      H_(W_ / 2),
      window_(MakePrefaultedArray<std::int32_t>(static_cast<std::size_t>(W_))),
      fd_(lockedFd),
      fileName_(fileName) {}

namespace {
constexpr std::string_view SwapPrefix = "sonivar-";
constexpr std::string_view SwapSuffix = ".swap";
}  // namespace

std::unique_ptr<FileMemory> FileMemory::CreateInFolder(const std::filesystem::path& folder,
                                                       std::int64_t windowValues) {
    CheckedWindow(windowValues);
    const std::string name =
        std::string(SwapPrefix) + std::to_string(::getpid()) + "-XXXXXX" + std::string(SwapSuffix);
    for (int attempt = 0;; ++attempt) {
        std::string pattern = (folder / name).string();
        const int fd = ::mkostemps(pattern.data(), static_cast<int>(SwapSuffix.size()), O_CLOEXEC);
        if (fd < 0) ThrowIoError("Cannot create swap file in " + folder.string());
        // Another program's sweep may take the new file between its creation and the lock;
        // then it is unlinked (or about to be) and a new one is made.
        struct stat info {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0)
            return std::unique_ptr<FileMemory>(new FileMemory(fd, pattern, windowValues));
        ::close(fd);
        if (attempt >= 100) ThrowIoError("Cannot lock swap file in " + folder.string(), EAGAIN);
    }
}

int FileMemory::RemoveLeftoverSwapFiles(const std::filesystem::path& folder) {
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= SwapPrefix.size() + SwapSuffix.size() || !name.starts_with(SwapPrefix) ||
            !name.ends_with(SwapSuffix))
            continue;
        const int fd = ::open(it->path().c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {};
        struct stat named {};
        // Only this user's regular files, unlocked, and still the file under that name.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(it->path().c_str(), &named) == 0 &&
            named.st_ino == held.st_ino && named.st_dev == held.st_dev &&
            ::unlink(it->path().c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

FileMemory::~FileMemory() {
    const auto guard = LockWhenSettled();  // the other thread's access ends first
    if (fd_ >= 0) {
        // Truncating first frees the space even if another process still holds the name.
        [[maybe_unused]] int ignored = ::ftruncate(fd_, 0);
        ::close(fd_);
        ::unlink(fileName_.c_str());
    }
}

void FileMemory::Recycle() {
    const auto guard = LockWhenSettled();
    source_.reset();
    staleEnd_ = std::max(staleEnd_, writtenEnd_);
    writtenEnd_ = 0;
    length_ = 0;
    windowStart_ = InitialWindowStart;
    head_ = 0;
    loaded_ = W_;
    modified_ = false;
}

void FileMemory::ReleaseWindow() {
    const auto guard = LockWhenSettled();
    if (modified_) WriteBack(0, W_);
    windowStart_ = InitialWindowStart;  // the next access is a jump: every slot pending
    head_ = 0;
    loaded_ = W_;
    modified_ = false;
    // Only whole pages inside the window; their next touch gets fresh zeroed pages.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(window_.get());
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + static_cast<std::uintptr_t>(W_) * 4) / page * page;
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

void FileMemory::ReadThrough(SourceSamples source) {
    const auto guard = LockWhenSettled();
    auto state = std::make_unique<Source>();
    if (::fstat(source.File.Get(), &state->Seen) != 0)
        ThrowIoError("Cannot read " + source.Name.string());
    state->Samples = std::move(source);
    source_ = std::move(state);
}

void FileMemory::StopReadingThrough(const std::filesystem::path& file) {
    struct stat named {};
    if (::stat(file.c_str(), &named) != 0) return;  // a new file cannot be the source
    const auto guard = LockWhenSettled();
    if (source_ && source_->Seen.st_dev == named.st_dev && source_->Seen.st_ino == named.st_ino)
        CopySourceIn();
}

void FileMemory::SetLength(std::int64_t count) {
    const auto guard = LockWhenSettled();
    if (source_) CopySourceIn();
    length_ = count;
    const std::int64_t values = std::max(count, W_);
    // The window keeps its values across a cut, the file does not.
    if (windowStart_ >= 0 && values < windowStart_ + W_) LoadPending();
    if (::ftruncate(fd_, static_cast<off_t>(values * 4)) != 0)
        ThrowIoError("Cannot resize swap file " + fileName_.string());
    writtenEnd_ = std::min(writtenEnd_, values);  // what was cut off comes back as zeros
    staleEnd_ = std::min(staleEnd_, values);
}

void FileMemory::ReadFile(std::int64_t valueOffset, std::int32_t* to, std::int64_t count) {
    const std::int64_t stored = std::clamp<std::int64_t>(writtenEnd_ - valueOffset, 0, count);
    const std::size_t bytes = static_cast<std::size_t>(stored) * 4;
    const auto offset = static_cast<std::uint64_t>(valueOffset) * 4;
    // Plain reads: a copy through a short-lived mapping measured slower here, most of all with
    // several threads, where each unmapping interrupts the other cores.
    const std::size_t got = ReadFullyAt(fd_, to, bytes, offset, fileName_);
    // What lies beyond the end of the file reads as zeros, but for the source's samples.
    char* const bytesTo = reinterpret_cast<char*>(to);
    std::int64_t first = valueOffset + count;
    std::int64_t end = first;
    if (source_) {
        const SourceSamples& source = source_->Samples;
        first = std::max(valueOffset + stored, source.FirstValue);
        end = std::min(valueOffset + count, source.FirstValue + source.Count);
        if (first >= end) first = end = valueOffset + count;
    }
    std::memset(bytesTo + got, 0, static_cast<std::size_t>(first - valueOffset) * 4 - got);
    if (first < end) ReadSource(first, to + (first - valueOffset), end - first);
    std::memset(bytesTo + (end - valueOffset) * 4, 0,
                static_cast<std::size_t>(valueOffset + count - end) * 4);
}

void FileMemory::ReadSource(std::int64_t valueOffset, std::int32_t* to, std::int64_t count) {
    const SourceSamples& source = source_->Samples;
    const std::int64_t first = std::max(valueOffset, source.FirstValue);
    const std::int64_t end = std::min(valueOffset + count, source.FirstValue + source.Count);
    if (first >= end) return;
    const int width = EncodedBytes(source.Encoding);
    const auto bytes = static_cast<std::size_t>(end - first) * static_cast<std::size_t>(width);
    if (source_->Bytes.size() < bytes) source_->Bytes.resize(bytes);
    ReadSourceAt(source_->Bytes.data(), bytes,
                 source.DataOffset + static_cast<std::uint64_t>(first - source.FirstValue) * width);
    DecodeSamples(source.Encoding, source_->Bytes.data(), to + (first - valueOffset), end - first);
    if (source.Decoded)
        source.Decoded(first - source.FirstValue, to + (first - valueOffset), end - first);
}

bool FileMemory::ReadSourceBytes(std::int64_t first, std::int64_t count, SampleEncoding encoding,
                                 unsigned char* to) {
    const auto guard = LockWhenSettled();
    if (!source_) return false;
    const SourceSamples& source = source_->Samples;
    if (source.Encoding != encoding || first < std::max(writtenEnd_, source.FirstValue) ||
        first + count > source.FirstValue + source.Count)
        return false;
    const int width = EncodedBytes(encoding);
    ReadSourceAt(to, static_cast<std::size_t>(count) * static_cast<std::size_t>(width),
                 source.DataOffset + static_cast<std::uint64_t>(first - source.FirstValue) * width);
    return true;
}

void FileMemory::ReadSourceAt(unsigned char* to, std::size_t bytes, std::uint64_t offset) {
    const SourceSamples& source = source_->Samples;
    // Another program changing the file would change the document under the user's hands.
    struct stat now {};
    const struct stat& seen = source_->Seen;
    if (::fstat(source.File.Get(), &now) != 0) ThrowIoError("Cannot read " + source.Name.string());
    if (now.st_size != seen.st_size || now.st_mtim.tv_sec != seen.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != seen.st_mtim.tv_nsec)
        throw IoError("Cannot read " + source.Name.string() +
                          ": the file was changed by another program while in use",
                      ESTALE);
    // Read, not mapped: a mapping faults when another program cuts the file short meanwhile.
    if (ReadFullyAt(source.File.Get(), to, bytes, offset, source.Name) < bytes)
        throw IoError("Cannot read " + source.Name.string() + ": unexpected end of file");
}

void FileMemory::CopySourceInBeforeChange() {
    std::unique_lock guard(lock_);
    // A move leaves source_ as it is: most changes need not wait for it.
    if (!source_) return;
    moveEnded_.wait(guard, [this] { return !moving_; });
    if (source_) CopySourceIn();
}

void FileMemory::CopySourceIn() {
    const SourceSamples& source = source_->Samples;
    // In pieces of moderate size; one that fails leaves the store readable as before, the
    // values below writtenEnd_ copied and the rest still read through.
    constexpr std::int64_t PieceValues = 65536;
    std::vector<std::int32_t> values(static_cast<std::size_t>(PieceValues));
    const std::int64_t end = source.FirstValue + source.Count;
    for (std::int64_t at = std::max(writtenEnd_, source.FirstValue); at < end; at += PieceValues) {
        const std::int64_t n = std::min(PieceValues, end - at);
        ReadSource(at, values.data(), n);
        WriteFile(at, values.data(), n);
    }
    source_.reset();
}

void FileMemory::WriteFile(std::int64_t valueOffset, const std::int32_t* from, std::int64_t count) {
    // Pieces of moderate size: a large write makes the page cache take large folios, which some
    // virtual machines back several times more slowly on first use than small pages.
    constexpr std::int64_t PieceValues = 65536;
    ZeroStaleValues(valueOffset);
    for (std::int64_t done = 0; done < count; done += PieceValues) {
        const std::int64_t n = std::min(PieceValues, count - done);
        WriteFullyAt(fd_, from + done, static_cast<std::size_t>(n) * 4,
                     static_cast<std::uint64_t>(valueOffset + done) * 4, fileName_);
    }
    writtenEnd_ = std::max(writtenEnd_, valueOffset + count);
}

void FileMemory::ZeroStaleValues(std::int64_t end) {
    static const std::vector<std::int32_t> zeros(65536, 0);
    const auto last = static_cast<std::int64_t>(zeros.size());
    for (std::int64_t at = writtenEnd_; at < std::min(end, staleEnd_); at += last) {
        const std::int64_t n = std::min({last, end - at, staleEnd_ - at});
        WriteFullyAt(fd_, zeros.data(), static_cast<std::size_t>(n) * 4,
                     static_cast<std::uint64_t>(at) * 4, fileName_);
    }
}

void FileMemory::ReadSlots(std::int64_t valueOffset, std::int64_t slot, std::int64_t count) {
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t n = std::min(count - done, RunLength(slot + done));
        ReadFile(valueOffset + done, Slot(slot + done), n);
        done += n;
    }
}

void FileMemory::WriteSlots(std::int64_t valueOffset, std::int64_t slot, std::int64_t count) {
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t n = std::min(count - done, RunLength(slot + done));
        WriteFile(valueOffset + done, Slot(slot + done), n);
        done += n;
    }
}

void FileMemory::WriteBack(std::int64_t first, std::int64_t count) {
    WriteBackAt(windowStart_ + first, first, std::clamp<std::int64_t>(loaded_ - first, 0, count),
                count);
}

void FileMemory::WriteBackAt(std::int64_t valueOffset, std::int64_t slot, std::int64_t stored,
                             std::int64_t count) {
    if (stored > 0) WriteSlots(valueOffset, slot, stored);
    if (stored == count) return;
    const std::int64_t end = valueOffset + count;
    struct stat info {};
    if (::fstat(fd_, &info) != 0) ThrowIoError("Cannot write swap file " + fileName_.string());
    if (info.st_size < end * 4 && ::ftruncate(fd_, static_cast<off_t>(end * 4)) != 0)
        ThrowIoError("Cannot write swap file " + fileName_.string());
    ZeroStaleValues(end);
    writtenEnd_ = std::max(writtenEnd_, end);
}

void FileMemory::LoadThrough(std::int64_t end) {
    if (end <= loaded_) return;
    ReadSlots(windowStart_ + loaded_, loaded_, end - loaded_);
    loaded_ = end;
}

void FileMemory::LoadPending() { LoadThrough(W_); }

void FileMemory::PlaceWindow(std::int64_t index) {
    const std::int64_t s = windowStart_;
    const std::int64_t e = s + W_ - 1;
    if (index >= s && index <= e) return;
    const std::int64_t n = std::max<std::int64_t>(0, index - H_);
    if (index > e && index < e + H_) {
        const std::int64_t d = n - s;
        if (modified_) WriteBack(0, d);
        // The slots that leave at the front come back at the end, pending.
        head_ = (head_ + d) & (W_ - 1);
        loaded_ = std::max<std::int64_t>(0, loaded_ - d);
    } else if (index < s && index > s - H_) {
        const std::int64_t d = s - n;
        if (modified_) WriteBack(W_ - d, d);
        // The back slots are in the file now; should the read fail they stay the old window's,
        // pending.
        loaded_ = std::min(loaded_, W_ - d);
        const std::int64_t kept = loaded_;
        head_ = (head_ - d) & (W_ - 1);
        try {
            ReadSlots(n, 0, d);
        } catch (...) {
            head_ = (head_ + d) & (W_ - 1);
            throw;
        }
        loaded_ = d + kept;
    } else {
        if (modified_) WriteBack(0, W_);
        loaded_ = 0;
        modified_ = false;
    }
    windowStart_ = n;
}

std::unique_lock<std::mutex> FileMemory::LockWhenSettled() {
    std::unique_lock guard(lock_);
    moveEnded_.wait(guard, [this] { return !moving_ && copyingCount_ == 0; });
    return guard;
}

bool FileMemory::MayCopyBeside(const Copying& copy) const {
    if (copyingCount_ == MostCopying) return false;
    for (int k = 0; k < copyingCount_; ++k) {
        const Copying& other = copying_[k];
        const bool apart = other.Stride == copy.Stride && other.Channel != copy.Channel;
        if (!apart && (copy.Writes || other.Writes)) return false;
    }
    return true;
}

void FileMemory::MoveForwardUnlocked(std::unique_lock<std::mutex>& guard, std::int64_t index) {
    const std::int64_t start = windowStart_;
    const std::int64_t head = head_;
    const std::int64_t loaded = loaded_;
    const std::int64_t d = index - H_ - start;  // as PlaceWindow's move for index
    const std::int64_t kept = std::max<std::int64_t>(0, loaded - d);
    const bool writeBack = modified_;
    // The slots that leave become the pending ones at the end before the lock is let go, so no
    // other access touches them while their values go out and the new ones come in.
    head_ = (head + d) & (W_ - 1);
    loaded_ = kept;
    windowStart_ = start + d;
    moving_ = true;
    guard.unlock();
    // Under the lock again: the window as the move left it so far, or as before it.
    auto publish = [&](std::int64_t nowLoaded, bool undo, bool ended) {
        guard.lock();
        if (undo) {
            head_ = head;
            windowStart_ = start;
        }
        loaded_ = nowLoaded;
        moving_ = !ended;
        moveEnded_.notify_all();
    };
    try {
        // WriteBack(0, d) of the window before the move, whose slot k is slot k + W_ - d now.
        if (writeBack) WriteBackAt(start, W_ - d, std::clamp<std::int64_t>(loaded, 0, d), d);
    } catch (...) {
        publish(loaded, true, true);
        throw;
    }
    // Piece by piece, so that another thread waits only for the piece it needs.
    constexpr std::int64_t PieceValues = 65536;
    for (std::int64_t slot = kept; slot < W_;) {
        const std::int64_t n = std::min(PieceValues, W_ - slot);
        try {
            ReadSlots(start + d + slot, slot, n);
        } catch (...) {
            publish(slot, false, true);  // as LoadPending leaves it: moved, the rest pending
            throw;
        }
        slot += n;
        publish(slot, false, slot == W_);
        if (slot < W_) guard.unlock();
    }
}

void FileMemory::MoveWindow(std::int64_t index) {
    const std::int64_t slot = index - windowStart_;
    if (slot >= 0 && slot < loaded_) return;
    PlaceWindow(index);
    if (index - windowStart_ >= loaded_) LoadPending();
}

void FileMemory::WriteValue(std::int64_t index, std::int32_t value) {
    const auto guard = LockWhenSettled();
    if (source_) CopySourceIn();
    MoveWindow(index);
    *Slot(index - windowStart_) = value;
    modified_ = true;
}

std::int32_t FileMemory::ReadValue(std::int64_t index) {
    const auto guard = LockWhenSettled();
    MoveWindow(index);
    return *Slot(index - windowStart_);
}

// Visits the indices in ascending order, one window span at a time; op(slots, first, n) gets
// the window slot of the span's first index and the position of that index in the sequence,
// and runs outside the lock (it must not throw). A span ends where the window or the ring does.
template <typename Op>
void FileMemory::Walk(std::int64_t index, std::int64_t stride, std::int64_t count, bool writes,
                      Op op) {
    const Copying copy{stride, index % stride, writes};
    auto loadedAt = [this](std::int64_t at) {
        return at >= windowStart_ && at - windowStart_ < loaded_;
    };
    std::int64_t i = 0;
    std::unique_lock guard(lock_);
    while (i < count) {
        const std::int64_t at = index + i * stride;
        const std::int64_t slot = at - windowStart_;
        if (slot < 0 || slot >= loaded_) {
            if (moving_ || copyingCount_ > 0) {
                moveEnded_.wait(guard,
                                [&] { return (!moving_ && copyingCount_ == 0) || loadedAt(at); });
            } else if (slot >= W_ && slot < W_ + H_ - 1) {
                MoveForwardUnlocked(guard, at);
            } else {
                MoveWindow(at);
            }
            continue;
        }
        if (!MayCopyBeside(copy)) {
            moveEnded_.wait(guard, [&] { return MayCopyBeside(copy); });
            continue;
        }
        const std::int64_t reach = std::min(loaded_ - slot, RunLength(slot));
        const std::int64_t span = std::min(count - i, (reach - 1) / stride + 1);
        std::int32_t* const slots = Slot(slot);
        if (writes) modified_ = true;
        copying_[static_cast<std::size_t>(copyingCount_++)] = copy;
        guard.unlock();
        op(slots, i, span);
        guard.lock();
        for (int k = 0; k < copyingCount_; ++k) {
            const Copying& c = copying_[static_cast<std::size_t>(k)];
            if (c.Stride == copy.Stride && c.Channel == copy.Channel && c.Writes == copy.Writes) {
                copying_[static_cast<std::size_t>(k)] =
                    copying_[static_cast<std::size_t>(--copyingCount_)];
                break;
            }
        }
        moveEnded_.notify_all();
        i += span;
    }
}

// Same window moves as one ReadValue per index; pending spans are read from the file straight
// into out and stay pending.
void FileMemory::ReadSequential(std::int64_t index, std::int64_t count, std::int32_t* out) {
    std::int64_t i = 0;
    while (i < count) {
        const auto guard = LockWhenSettled();
        const std::int64_t at = index + i;
        PlaceWindow(at);
        const std::int64_t slot = at - windowStart_;
        std::int64_t n = 0;
        if (slot < loaded_) {
            n = std::min({count - i, loaded_ - slot, RunLength(slot)});
            std::memcpy(out + i, Slot(slot), static_cast<std::size_t>(n) * 4);
        } else {
            n = std::min(count - i, W_ - slot);
            ReadFile(at, out + i, n);
        }
        i += n;
    }
}

// Same window moves as one WriteValue per index. Pending slots the write fills need not be read
// first; only pending slots before the span are, unless the write goes ahead: then a span on
// pending slots goes to the file, where they take their values from.
void FileMemory::WriteSequential(std::int64_t index, std::int64_t count, const std::int32_t* in,
                                 bool ahead) {
    std::int64_t i = 0;
    while (i < count) {
        const auto guard = LockWhenSettled();
        const std::int64_t at = index + i;
        PlaceWindow(at);
        const std::int64_t slot = at - windowStart_;
        if (ahead && slot >= loaded_) {
            const std::int64_t n = std::min(count - i, W_ - slot);
            WriteFile(at, in + i, n);
            i += n;
            continue;
        }
        LoadThrough(slot);
        const std::int64_t n =
            std::min({count - i, W_ - slot, RunLength(slot), ahead ? loaded_ - slot : W_});
        std::memcpy(Slot(slot), in + i, static_cast<std::size_t>(n) * 4);
        loaded_ = std::max(loaded_, slot + n);
        modified_ = true;
        i += n;
    }
}

void FileMemory::ReadBlock(std::int64_t index, std::int64_t stride, std::int64_t count,
                           std::int32_t* out) {
    if (!blockTransfers.load(std::memory_order_relaxed)) {
        for (std::int64_t i = 0; i < count; ++i) out[i] = ReadValue(index + i * stride);
        return;
    }
    if (stride == 1) {
        ReadSequential(index, count, out);
        return;
    }
    Walk(index, stride, count, false,
         [&](const std::int32_t* slot, std::int64_t first, std::int64_t n) {
             if (stride == 2) {  // one channel of a stereo document: the common case
                 for (std::int64_t k = 0; k < n; ++k) out[first + k] = slot[2 * k];
             } else {
                 for (std::int64_t k = 0; k < n; ++k) out[first + k] = slot[k * stride];
             }
         });
}

void FileMemory::WriteAhead(std::int64_t index, std::int64_t count, const std::int32_t* in) {
    CopySourceInBeforeChange();
    if (!blockTransfers.load(std::memory_order_relaxed)) {
        for (std::int64_t i = 0; i < count; ++i) WriteValue(index + i, in[i]);
        return;
    }
    WriteSequential(index, count, in, true);
}

namespace {

// slot[2k] += in[k] wrapping, for one channel of a stereo document, the sums also to sums when
// it is not null. The odd slots between belong to the other channel, which another thread may
// be writing at the same time: they are neither read nor written.
void AddToEvenSlotsNarrow(std::int32_t* slot, const std::int32_t* in, std::int64_t n,
                          std::int32_t* sums) {
    for (std::int64_t k = 0; k < n; ++k) {
        const auto sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(slot[2 * k]) +
                                                   static_cast<std::uint32_t>(in[k]));
        slot[2 * k] = sum;
        if (sums) sums[k] = sum;
    }
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void AddToEvenSlotsAvx2(std::int32_t* slot, const std::int32_t* in,
                                                std::int64_t n, std::int32_t* sums) {
    const __m256i even = _mm256_setr_epi32(-1, 0, -1, 0, -1, 0, -1, 0);
    const __m256i spread = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256i gather = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    std::int64_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128i add = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
        const __m256i spreadAdd = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(add), spread);
        auto* pairs = reinterpret_cast<int*>(slot + 2 * k);
        const __m256i sum = _mm256_add_epi32(_mm256_maskload_epi32(pairs, even), spreadAdd);
        _mm256_maskstore_epi32(pairs, even, sum);
        if (sums)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + k),
                             _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(sum, gather)));
    }
    AddToEvenSlotsNarrow(slot + 2 * k, in + k, n - k, sums ? sums + k : nullptr);
}
#endif

// slot[2k] = in[k]; like AddToEvenSlots, the odd slots are left alone.
void CopyToEvenSlotsNarrow(std::int32_t* slot, const std::int32_t* in, std::int64_t n) {
    for (std::int64_t k = 0; k < n; ++k) slot[2 * k] = in[k];
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void CopyToEvenSlotsAvx2(std::int32_t* slot, const std::int32_t* in,
                                                 std::int64_t n) {
    const __m256i even = _mm256_setr_epi32(-1, 0, -1, 0, -1, 0, -1, 0);
    std::int64_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
        _mm256_maskstore_epi32(reinterpret_cast<int*>(slot + 2 * k), even,
                               _mm256_cvtepu32_epi64(values));
    }
    CopyToEvenSlotsNarrow(slot + 2 * k, in + k, n - k);
}
#endif

void CopyToEvenSlots(std::int32_t* slot, const std::int32_t* in, std::int64_t n) {
#if defined(__x86_64__)
    if (CpuHasAvx2()) return CopyToEvenSlotsAvx2(slot, in, n);
#endif
    CopyToEvenSlotsNarrow(slot, in, n);
}

void AddToEvenSlots(std::int32_t* slot, const std::int32_t* in, std::int64_t n,
                    std::int32_t* sums) {
#if defined(__x86_64__)
    if (CpuHasAvx2()) return AddToEvenSlotsAvx2(slot, in, n, sums);
#endif
    AddToEvenSlotsNarrow(slot, in, n, sums);
}

}  // namespace

void FileMemory::WriteBlock(std::int64_t index, std::int64_t stride, std::int64_t count,
                            const std::int32_t* in) {
    CopySourceInBeforeChange();
    if (!blockTransfers.load(std::memory_order_relaxed)) {
        for (std::int64_t i = 0; i < count; ++i) WriteValue(index + i * stride, in[i]);
        return;
    }
    if (stride == 1) {
        WriteSequential(index, count, in, false);
        return;
    }
    Walk(index, stride, count, true, [&](std::int32_t* slot, std::int64_t first, std::int64_t n) {
        if (stride == 2)
            CopyToEvenSlots(slot, in + first, n);
        else
            for (std::int64_t k = 0; k < n; ++k) slot[k * stride] = in[first + k];
    });
}

void FileMemory::AddBlock(std::int64_t index, std::int64_t stride, std::int64_t count,
                          const std::int32_t* in, std::int32_t* sums) {
    CopySourceInBeforeChange();
    if (!blockTransfers.load(std::memory_order_relaxed)) {
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t at = index + i * stride;
            const auto sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadValue(at)) +
                                                       static_cast<std::uint32_t>(in[i]));
            WriteValue(at, sum);
            if (sums) sums[i] = sum;
        }
        return;
    }
    Walk(index, stride, count, true, [&](std::int32_t* slot, std::int64_t first, std::int64_t n) {
        // Wrap like the 32-bit sum it is instead of overflowing signed arithmetic.
        auto add = [&](std::int64_t step) {
            for (std::int64_t k = 0; k < n; ++k) {
                const auto sum =
                    static_cast<std::int32_t>(static_cast<std::uint32_t>(slot[k * step]) +
                                              static_cast<std::uint32_t>(in[first + k]));
                slot[k * step] = sum;
                if (sums) sums[first + k] = sum;
            }
        };
        if (stride == 2)
            AddToEvenSlots(slot, in + first, n, sums ? sums + first : nullptr);
        else if (stride == 1)
            add(1);
        else
            add(stride);
    });
}

}  // namespace sv
