#include "base/BackgroundClose.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace sv {

namespace {

class Closer {
  public:
    ~Closer() {
        {
            std::lock_guard guard(lock_);
            ending_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void Add(FileDescriptor fd) {
        std::unique_lock guard(lock_);
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread([this] { Loop(); });
            } catch (const std::system_error&) {
                guard.unlock();
                fd.Reset();  // no thread to spare: closed here after all
                return;
            }
        }
        pending_.push_back(std::move(fd));
        changed_.notify_all();
    }

    void Wait() {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return pending_.empty() && !closing_; });
    }

  private:
    void Loop() {
        std::unique_lock guard(lock_);
        for (;;) {
            changed_.wait(guard, [this] { return ending_ || !pending_.empty(); });
            if (pending_.empty()) return;
            std::vector<FileDescriptor> batch = std::move(pending_);
            pending_.clear();
            closing_ = true;
            guard.unlock();
            batch.clear();
            guard.lock();
            closing_ = false;
            changed_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<FileDescriptor> pending_;
    bool closing_ = false;
    bool ending_ = false;
    std::thread thread_;
};

Closer& TheCloser() {
    static Closer closer;
    return closer;
}

}  // namespace

void CloseInBackground(FileDescriptor fd) {
    if (fd.Valid()) TheCloser().Add(std::move(fd));
}

void WaitForBackgroundCloses() { TheCloser().Wait(); }

}  // namespace sv
