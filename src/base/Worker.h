#pragma once
// Runs a front end's long operations on a thread of their own, one at a time, and hands each
// end back to the thread that owns the worker (a window's thread), where the command that
// started the operation goes on. The owner never waits for the operation, so its window
// repaints and its Cancel acts while the operation works.
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>

namespace sv {

class Worker {
  public:
    // Queues a call to run later on the owner's thread (or drops it if the owner is gone).
    using PostToOwner = std::function<void(std::function<void()>)>;

    explicit Worker(PostToOwner post) : post_(std::move(post)) {}
    ~Worker() { Join(); }  // waits for the running operation
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Owner's thread only.
    bool Busy() const { return thread_.joinable(); }
    // Waits for the running operation; its end is still posted.
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    // Runs work on the worker thread, then then(error) on the owner's thread; error is null
    // when work returned. What work holds is released on the worker thread before then runs.
    // Starting while Busy() throws std::logic_error.
    void Start(std::function<void()> work, std::function<void(std::exception_ptr)> then);

    // Runs work and hands its result to then; an exception goes to failed instead.
    template <typename Work, typename Then, typename Failed>
    void Run(Work work, Then then, Failed failed) {
        using Result = std::invoke_result_t<Work&>;
        auto result = std::make_shared<std::optional<Result>>();
        Start([work = std::move(work), result]() mutable { result->emplace(work()); },
              [then = std::move(then), failed = std::move(failed),
               result](std::exception_ptr error) mutable {
                  if (error) return failed(error);
                  then(std::move(**result));
              });
    }

  private:
    PostToOwner post_;
    std::thread thread_;
};

}  // namespace sv
