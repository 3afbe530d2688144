#pragma once
// A second thread for the other channel of a hop: the caller hands it one task, does its own
// share meanwhile and waits for both. Nothing is allocated per task, so it can be used at every
// hop.
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>

namespace sv {

class ChannelWorker {
  public:
    ChannelWorker();
    // Stops and joins the thread.
    ~ChannelWorker();
    ChannelWorker(const ChannelWorker&) = delete;
    ChannelWorker& operator=(const ChannelWorker&) = delete;

    // Runs theirs on the worker thread and mine on the calling one; returns when both have
    // finished. An exception from theirs is thrown here.
    template <typename Mine, typename Theirs>
    void RunBoth(Mine&& mine, Theirs&& theirs) {
        Post(&Call<std::remove_reference_t<Theirs>>, &theirs);
        try {
            mine();
        } catch (...) {
            WaitQuietly();  // theirs may use what is unwound next
            throw;
        }
        Wait();
    }

  private:
    template <typename F>
    static void Call(void* f) {
        (*static_cast<F*>(f))();
    }
    void Post(void (*task)(void*), void* context);
    void Wait();
    // Wait without passing on a failure of theirs.
    void WaitQuietly();
    void Loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    void (*task_)(void*) = nullptr;
    void* context_ = nullptr;
    bool busy_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;  // last: starts once everything it uses exists
};

}  // namespace sv
