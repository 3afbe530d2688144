#include "loudness/ParallelRuns.h"

#include <utility>

namespace sv {

ParallelRuns::ParallelRuns(int threads) {
    for (int t = 1; t < threads; ++t) helpers_.emplace_back([this] { Serve(); });
}

ParallelRuns::~ParallelRuns() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& helper : helpers_) helper.join();
}

void ParallelRuns::Run(int count, const std::function<void(int)>& job) {
    if (helpers_.empty() || count <= 1) {
        for (int i = 0; i < count; ++i) job(i);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        count_ = pending_ = count;
        next_ = 0;
        ++round_;
    }
    wake_.notify_all();
    TakeJobs();
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void ParallelRuns::TakeJobs() {
    for (;;) {
        const std::function<void(int)>* job = nullptr;
        int i = 0;
        {
            std::lock_guard lock(mutex_);
            if (next_ >= count_) return;
            i = next_++;
            job = job_;
        }
        std::exception_ptr failure;
        try {
            (*job)(i);
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        if (failure && !failure_) failure_ = failure;
        if (--pending_ == 0) finished_.notify_all();
    }
}

void ParallelRuns::Serve() {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
            if (stopping_) return;
            seen = round_;
        }
        TakeJobs();
    }
}

}  // namespace sv
