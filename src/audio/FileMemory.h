#pragma once
// File-backed array of 32-bit values with a sliding in-memory window, so documents far larger
// than memory can be processed. Until its first change a store may read a sound file's samples
// where they lie instead of holding copies (ReadThrough). Accesses from several threads are safe
// (the player thread reads while the GUI thread may write); they take turns, except strided
// copies of different channels, which run side by side (see the invariants below).
#include <array>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/SampleEncoding.h"
#include "base/AbruptExitCleanup.h"
#include "base/FileDescriptor.h"
#include "base/PrefaultedMemory.h"

namespace sv {

// Samples of a sound file's data chunk that a store reads in place (FileMemory::ReadThrough).
struct SourceSamples {
    FileDescriptor File;  // open for reading; the store keeps it
    std::filesystem::path Name;
    std::uint64_t DataOffset = 0;  // byte offset of the first sample
    SampleEncoding Encoding = SampleEncoding::Signed16;
    std::int64_t FirstValue = 0;  // the store index the first sample has
    std::int64_t Count = 0;       // samples
    // Told of the samples as they are decoded (first counted from the source's first sample),
    // one call at a time; empty: nobody is told.
    std::function<void(std::int64_t first, const std::int32_t* values, std::int64_t count)> Decoded;
};

// What holds between calls:
// - Value i is the window's slot i - windowStart_ when that slot is loaded; otherwise the
//   file's value when i < writtenEnd_; otherwise the source's sample while reading through;
//   otherwise 0.
// - Pending slots (loaded_ and above) hold nothing; their values are the file's. A write may
//   therefore go to the file under a pending slot at once (WriteAhead), never under a loaded one.
// - modified_ false: no loaded slot holds a change the file lacks, so a move may drop the
//   window without writing it back.
// - The file's values from writtenEnd_ up to staleEnd_ are an earlier document's, beyond both
//   zeros or nothing: writing at or above writtenEnd_ zeroes the stale ones below first.
// - While moving_ is set, one thread moves the window forward outside the lock: it writes the
//   slots that left back and loads the pending ones. Meanwhile other threads only touch loaded
//   slots in block transfers; everything else waits for the move to end.
// - Strided block transfers (one channel of an interleaved document) copy outside the lock; the
//   ones under way are listed in copying_. While any is, no slot changes the value it stands
//   for: the window neither moves nor turns, and only those transfers touch loaded slots. Two
//   copy at once only when neither writes or when they never meet (the same stride, another
//   channel), so two threads walking a channel each do not wait for each other.
class FileMemory {
  public:
    // The window a store has unless made with another (also the largest one).
    static constexpr std::int64_t WindowValues = 1048576;
    static constexpr std::int64_t HalfWindow = WindowValues / 2;
    // Far enough below 0 that the first access is a jump, for any window.
    static constexpr std::int64_t InitialWindowStart = -2 * WindowValues;

    // Creates the swap file. With exclusive set an existing file is an error (EEXIST), so two
    // stores never share one; otherwise an existing file is replaced. Throws IoError.
    // windowValues (a power of two, 16 .. WindowValues) is the window's size; small windows let
    // tests move it often on little data. Throws std::invalid_argument for another size.
    explicit FileMemory(const std::filesystem::path& fileName, bool exclusive = false,
                        std::int64_t windowValues = WindowValues);
    // A store on a new swap file "sonivar-<pid>-XXXXXX.swap" in folder, created exclusively and
    // locked for the store's life, so that RemoveLeftoverSwapFiles can tell it from a leftover.
    static std::unique_ptr<FileMemory> CreateInFolder(const std::filesystem::path& folder,
                                                      std::int64_t windowValues = WindowValues);
    // Deletes the swap files in folder that no running program holds locked (left by a program
    // that was killed). Returns how many were deleted.
    static int RemoveLeftoverSwapFiles(const std::filesystem::path& folder);
    // Waits for the running access, then truncates, closes and deletes the swap file without
    // writing the window back.
    ~FileMemory();
    FileMemory(const FileMemory&) = delete;
    FileMemory& operator=(const FileMemory&) = delete;

    // Empties the store for another document on the same swap file: every value reads as 0
    // again, while the file keeps its pages, which spares the system freeing them now and
    // finding new ones for the next document.
    void Recycle();
    // Writes a changed window back and gives the window's memory to the system; the next access
    // loads it again. A document that waits (an undo step) then holds no memory.
    void ReleaseWindow();

    // Lets the store read the source's samples where they are instead of holding copies: values
    // FirstValue .. FirstValue + Count - 1 are the samples, decoded when read, and the swap file
    // stays empty until the first change (a write, an add or a new length), which copies them in
    // first. The store must be new, its length set. The file must stay as it is meanwhile: its
    // size and modification time are checked at every read, and a change is an IoError.
    void ReadThrough(SourceSamples source);
    // Copies the samples in when they are read through file (the same file, links followed): a
    // save is about to write it, possibly in place.
    void StopReadingThrough(const std::filesystem::path& file);

    // While reading through, when values first .. first + count - 1 are all the source's
    // samples in encoding: copies their bytes as the source holds them to `to` and returns true,
    // so a save that writes them unchanged needs neither decoding nor encoding. Otherwise returns
    // false and copies nothing.
    bool ReadSourceBytes(std::int64_t first, std::int64_t count, SampleEncoding encoding,
                         unsigned char* to);

    void SetLength(std::int64_t count);
    std::int64_t Length() const { return length_; }

    void WriteValue(std::int64_t index, std::int32_t value);
    std::int32_t ReadValue(std::int64_t index);

    // Block transfers of values index, index + stride, ... (count of them). They move the window
    // exactly as the same sequence of single-value calls would and take the lock once per span.
    void ReadBlock(std::int64_t index, std::int64_t stride, std::int64_t count, std::int32_t* out);
    void WriteBlock(std::int64_t index, std::int64_t stride, std::int64_t count,
                    const std::int32_t* in);
    // WriteBlock(index, 1, count, in) for a caller that writes a run ahead of its reads: what
    // falls on the window's unread slots goes straight to the file instead of being read in
    // first and written back later. Every value below the length read afterwards, every window
    // position and the file's contents once the window is written back are the same as
    // WriteBlock's; only the swap file holds these values sooner (so a later cut drops them,
    // where the window might have kept them past the new end).
    void WriteAhead(std::int64_t index, std::int64_t count, const std::int32_t* in);
    // value += in[i]; the stored sums go to sums when it is not null.
    void AddBlock(std::int64_t index, std::int64_t stride, std::int64_t count,
                  const std::int32_t* in, std::int32_t* sums);

    // Off: the block transfers fall back to one call per value. Results must not depend on it;
    // tests compare both ways.
    static void UseBlockTransfers(bool on);

    std::int64_t WindowStart() const { return windowStart_; }
    const std::filesystem::path& FileName() const { return fileName_; }

  private:
    FileMemory(int lockedFd, const std::filesystem::path& fileName, std::int64_t windowValues);
    // Makes index a loaded slot of the window.
    void MoveWindow(std::int64_t index);
    // The window move for index without reading what enters it: that part is left pending.
    void PlaceWindow(std::int64_t index);
    void LoadPending();
    // Loads the pending slots below end.
    void LoadThrough(std::int64_t end);
    // Writes window slots first .. first + count - 1 back; the pending ones already hold the
    // file's values, so only the file's size and writtenEnd_ follow as if they had been written.
    void WriteBack(std::int64_t first, std::int64_t count);
    // The same for count values from valueOffset on, of which the first stored are in the
    // window from slot on and the rest pending.
    void WriteBackAt(std::int64_t valueOffset, std::int64_t slot, std::int64_t stored,
                     std::int64_t count);
    // The window is a ring: slot k lives at window_[(head_ + k) % W], so a move turns the ring
    // instead of moving the values that stay.
    std::int32_t* Slot(std::int64_t slot) { return window_.get() + ((head_ + slot) & (W_ - 1)); }
    // How many slots from slot on lie side by side in memory, up to the ring's wrap.
    std::int64_t RunLength(std::int64_t slot) const { return W_ - ((head_ + slot) & (W_ - 1)); }
    void ReadSlots(std::int64_t valueOffset, std::int64_t slot, std::int64_t count);
    void WriteSlots(std::int64_t valueOffset, std::int64_t slot, std::int64_t count);
    void ReadSequential(std::int64_t index, std::int64_t count, std::int32_t* out);
    void WriteSequential(std::int64_t index, std::int64_t count, const std::int32_t* in,
                         bool ahead);
    void ReadFile(std::int64_t valueOffset, std::int32_t* to, std::int64_t count);
    // Puts the source's samples for the values valueOffset .. + count - 1 at to, where it has any.
    void ReadSource(std::int64_t valueOffset, std::int32_t* to, std::int64_t count);
    // Reads count bytes of the source at offset, first checking that no other program changed it.
    void ReadSourceAt(unsigned char* to, std::size_t count, std::uint64_t offset);
    // Ends reading through: the samples the swap file lacks are copied into it.
    void CopySourceIn();
    // Under the lock: CopySourceIn when reading through, before a write or an add changes a value.
    void CopySourceInBeforeChange();
    void WriteFile(std::int64_t valueOffset, const std::int32_t* from, std::int64_t count);
    // Overwrites with zeros what the file still holds of its earlier use below end, from
    // writtenEnd_ on: done before writtenEnd_ passes values that were not written.
    void ZeroStaleValues(std::int64_t end);
    template <typename Op>
    void Walk(std::int64_t index, std::int64_t stride, std::int64_t count, bool writes, Op op);
    // The lock, once no window move and no copy outside the lock is under way.
    std::unique_lock<std::mutex> LockWhenSettled();
    // A strided block transfer copying outside the lock: values index mod stride, every stride.
    struct Copying {
        std::int64_t Stride = 0;
        std::int64_t Channel = 0;  // index mod stride
        bool Writes = false;
    };
    // Under the lock: whether copy may start beside the ones under way.
    bool MayCopyBeside(const Copying& copy) const;
    // MoveWindow(index) for an index just past the window, with the file transfers made outside
    // the lock, so that other threads go on with the slots that stay.
    void MoveForwardUnlocked(std::unique_lock<std::mutex>& guard, std::int64_t index);

    // First member: a swap file handed in is listed for removal before the window is filled.
    std::unique_ptr<RemovedOnAbruptExit> removedOnAbruptExit_;
    const std::int64_t W_;  // the window's size
    const std::int64_t H_;  // half of it: the step of a window move
    std::mutex lock_;
    bool moving_ = false;
    // Signalled when a move or a copy outside the lock ends.
    std::condition_variable moveEnded_;
    static constexpr int MostCopying = 4;
    std::array<Copying, MostCopying> copying_{};
    int copyingCount_ = 0;
    std::int64_t windowStart_ = InitialWindowStart;
    bool modified_ = false;
    std::int64_t length_ = 0;
    // Values at or above this index were never written to the file and read as 0 without
    // touching it (reading holes of a sparse file costs as much as reading data).
    std::int64_t writtenEnd_ = 0;
    // After Recycle, file values from writtenEnd_ up to here may still hold the earlier
    // document's; beyond both the file holds zeros or nothing.
    std::int64_t staleEnd_ = 0;
    // While set, values at or above writtenEnd_ in the source's span are its samples, and the
    // window holds no change (modified_ is false): every change first copies them in.
    struct Source;
    std::unique_ptr<Source> source_;
    // Left unset at first: the first access is a jump, which leaves every slot pending.
    PrefaultedArray<std::int32_t> window_;
    std::int64_t head_ = 0;  // where slot 0 lives in window_
    // Slots 0 .. loaded_ - 1 hold the window's values; the rest are pending: their values are
    // the file's, still unchanged there, read when first needed. Long sequential reads thus go
    // straight from the file into the caller's buffer instead of through the window, and
    // sequential writes fill pending slots without reading them first.
    std::int64_t loaded_ = W_;
    int fd_ = -1;
    std::filesystem::path fileName_;
};

}  // namespace sv
