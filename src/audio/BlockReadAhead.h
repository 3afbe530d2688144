#pragma once
// Reads a run of values block by block on a thread of its own, one block ahead of the caller, so
// that reading (a store's window moves and page faults) overlaps with what the caller does with
// the block before (encoding and writing a file).
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

#include "base/CoreTypes.h"

namespace sv {

class BlockReadAhead {
  public:
    // read(first, count, to) puts values first .. first + count - 1 at to. The blocks are
    // [b x block, (b + 1) x block) for b = 0 .. total / block, the last one cut at total.
    using Reader = std::function<void(std::int64_t first, std::int64_t count, std::int32_t* to)>;
    BlockReadAhead(Reader read, std::int64_t total, std::int64_t block);
    // Stops reading (after the block being read) and joins the thread.
    ~BlockReadAhead();
    BlockReadAhead(const BlockReadAhead&) = delete;
    BlockReadAhead& operator=(const BlockReadAhead&) = delete;

    // The next block's values, the caller's to change until the following call; waits for them.
    // Empty past the last block. A failure of the reader is thrown here.
    std::span<std::int32_t> Next();

  private:
    void Loop();

    const Reader read_;
    const std::int64_t total_;
    const std::int64_t block_;
    Int32Array buffers_[2];
    std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t ready_ = 0;  // blocks read
    std::int64_t taken_ = 0;  // blocks asked for by the caller
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;  // last: starts once everything it uses exists
};

}  // namespace sv
