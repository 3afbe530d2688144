#include "base/Worker.h"

#include <stdexcept>

namespace sv {

void Worker::Start(std::function<void()> work, std::function<void(std::exception_ptr)> then) {
    if (thread_.joinable()) throw std::logic_error("an operation is already running");
    thread_ = std::thread([this, work = std::move(work), then = std::move(then)]() mutable {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        work = nullptr;
        post_([this, then = std::move(then), error] {
            Join();
            then(error);
        });
    });
}

}  // namespace sv
