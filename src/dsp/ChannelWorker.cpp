#include "dsp/ChannelWorker.h"

#include <utility>

#include "base/UsableCores.h"

namespace sv {

ChannelWorker::ChannelWorker()
    : thread_([this, creator = CurrentCore()] {
          LeaveCore(creator);
          Loop();
      }) {}

ChannelWorker::~ChannelWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ChannelWorker::Post(void (*task)(void*), void* context) {
    {
        std::lock_guard lock(mutex_);
        task_ = task;
        context_ = context;
        busy_ = true;
    }
    changed_.notify_all();
}

void ChannelWorker::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void ChannelWorker::WaitQuietly() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    failure_ = nullptr;
}

void ChannelWorker::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || task_ != nullptr; });
        if (task_ == nullptr) return;  // stopping, nothing left to run
        auto* task = std::exchange(task_, nullptr);
        void* context = context_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task(context);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = failure;
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace sv
