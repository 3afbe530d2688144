#pragma once
// The progress of a whole batch on stderr: which file starts, how many are done and the estimate
// of the time left, from the bytes of the files done so far. Callers serialize the calls.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace sv::cli {

class BatchProgress {
  public:
    BatchProgress(std::FILE* out, std::size_t files, std::uint64_t totalBytes);
    void Started(const std::string& path);
    void Finished(std::uint64_t bytes);

  private:
    std::FILE* out_;  // null: nothing is shown
    std::size_t files_;
    std::uint64_t totalBytes_;
    std::size_t started_ = 0;
    std::size_t finished_ = 0;
    std::uint64_t doneBytes_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace sv::cli
