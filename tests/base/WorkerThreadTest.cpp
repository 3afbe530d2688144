// The worker thread of the window's operations: ends come back on the owner's thread, a cancel
// set there reaches the running operation at once, and the worker waits for its thread.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/Progress.h"
#include "base/Worker.h"

namespace sv {
namespace {

// The owner's event queue: the worker posts, the test thread runs.
class OwnerQueue {
  public:
    Worker::PostToOwner Poster() {
        return [this](std::function<void()> call) {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
            ready_.notify_one();
        };
    }
    void RunNext() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !calls_.empty(); });
        auto call = std::move(calls_.front());
        calls_.pop_front();
        lock.unlock();
        call();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> calls_;
};

struct Case {
    const char* name;
    bool throws;
    bool cancels;
};

class WorkerThread : public testing::TestWithParam<Case> {};

TEST_P(WorkerThread, HandsTheEndToTheOwnerThread) {
    const Case c = GetParam();
    OwnerQueue owner;
    Worker worker(owner.Poster());
    SilentProgress progress;
    std::atomic<bool> started{false};
    const auto ownerThread = std::this_thread::get_id();
    std::thread::id workThread;
    std::string seen;
    worker.Run(
        [&] {
            workThread = std::this_thread::get_id();
            started = true;
            // Polls like an engine walk; only the owner's cancel ends a cancelling case.
            while (c.cancels && !progress.CancelRequested()) std::this_thread::yield();
            if (c.throws) throw std::runtime_error("read error");
            return std::string(progress.CancelRequested() ? "cancelled" : "completed");
        },
        [&](std::string result) {
            EXPECT_EQ(std::this_thread::get_id(), ownerThread);
            seen = result;
        },
        [&](std::exception_ptr error) {
            EXPECT_EQ(std::this_thread::get_id(), ownerThread);
            try {
                std::rethrow_exception(error);
            } catch (const std::runtime_error& e) {
                seen = e.what();
            }
        });
    EXPECT_TRUE(worker.Busy());
    EXPECT_THROW(worker.Start([] {}, [](std::exception_ptr) {}), std::logic_error);
    while (!started) std::this_thread::yield();
    if (c.cancels) progress.RequestCancel();  // what a click on Cancel does
    owner.RunNext();
    EXPECT_NE(workThread, ownerThread);
    EXPECT_FALSE(worker.Busy());
    EXPECT_EQ(seen, c.throws ? "read error" : c.cancels ? "cancelled" : "completed");
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkerThread,
                         testing::Values(Case{"completes", false, false},
                                         Case{"cancelled", false, true},
                                         Case{"fails", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A cancel flag a window holds stays valid after the operation's port is gone.
TEST(WorkerThreadCancel, FlagOutlivesItsPortAndTheWorkerWaitsForItsThread) {
    Progress::CancelFlag flag;
    std::atomic<bool> finished{false};
    {
        OwnerQueue owner;
        Worker worker(owner.Poster());
        worker.Start(
            [&] {
                SilentProgress progress;
                flag = progress.SharedCancelFlag();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                finished = true;
            },
            [](std::exception_ptr) {});
    }  // the end is never run by the owner: the worker still waits for its thread
    EXPECT_TRUE(finished);
    ASSERT_TRUE(flag);
    flag->store(true);
    EXPECT_TRUE(flag->load());
}

}  // namespace
}  // namespace sv
