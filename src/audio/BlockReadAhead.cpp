#include "audio/BlockReadAhead.h"

#include <algorithm>
#include <utility>

#include "base/UsableCores.h"

namespace sv {

BlockReadAhead::BlockReadAhead(Reader read, std::int64_t total, std::int64_t block)
    : read_(std::move(read)),
      total_(total),
      block_(block),
      buffers_{Int32Array(static_cast<std::size_t>(block)),
               Int32Array(static_cast<std::size_t>(block))},
      thread_([this, creator = CurrentCore()] {
          LeaveCore(creator);
          Loop();
      }) {}

BlockReadAhead::~BlockReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::span<std::int32_t> BlockReadAhead::Next() {
    std::unique_lock lock(mutex_);
    if (taken_ > total_ / block_) return {};
    // The block handed out before is done with: its buffer may take the block after next.
    const std::int64_t b = taken_++;
    changed_.notify_all();
    changed_.wait(lock, [&] { return ready_ > b || failure_; });
    if (ready_ <= b) std::rethrow_exception(failure_);
    const std::int64_t count = std::clamp<std::int64_t>(total_ - b * block_, 0, block_);
    return {buffers_[b % 2].data(), static_cast<std::size_t>(count)};
}

void BlockReadAhead::Loop() {
    const std::int64_t blocks = total_ / block_ + 1;
    for (std::int64_t b = 0; b < blocks; ++b) {
        {
            std::unique_lock lock(mutex_);
            // The buffer of block b held block b - 2, which the caller is done with once it
            // asked for block b - 1.
            changed_.wait(lock, [&] { return stopping_ || b < 2 || taken_ >= b; });
            if (stopping_) return;
        }
        const std::int64_t count = std::clamp<std::int64_t>(total_ - b * block_, 0, block_);
        try {
            read_(b * block_, count, buffers_[b % 2].data());
        } catch (...) {
            std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
            changed_.notify_all();
            return;
        }
        std::lock_guard lock(mutex_);
        ready_ = b + 1;
        changed_.notify_all();
    }
}

}  // namespace sv
