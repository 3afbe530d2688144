#pragma once
// Runs a few independent jobs at once on helper threads that live as long as the object, the
// calling thread taking its share: cheap enough to start once per block of samples, where a
// thread per job would cost more than the job.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sv {

class ParallelRuns {
  public:
    // threads counts the caller: 1 keeps every job on the calling thread.
    explicit ParallelRuns(int threads);
    ~ParallelRuns();
    ParallelRuns(const ParallelRuns&) = delete;
    ParallelRuns& operator=(const ParallelRuns&) = delete;

    int Threads() const { return static_cast<int>(helpers_.size()) + 1; }

    // Calls job(i) for each i in [0, count) on some thread and returns when all have returned;
    // then rethrows the first exception a job threw, if any.
    void Run(int count, const std::function<void(int)>& job);

  private:
    void TakeJobs();
    void Serve();

    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    const std::function<void(int)>* job_ = nullptr;
    int count_ = 0, next_ = 0, pending_ = 0;
    std::exception_ptr failure_;
    std::uint64_t round_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> helpers_;
};

}  // namespace sv
