#pragma once
// Files the program must not leave behind even when a signal ends it at once (swap files,
// unfinished saves). The list lives in fixed static storage so that a signal handler can walk
// it without allocating or locking.
#include <filesystem>

namespace sv {

// Puts path on the list for its lifetime. A path that does not fit (too long, list full) is
// simply not listed: the leftover-swap sweep at the next start still finds swap files.
class RemovedOnAbruptExit {
  public:
    explicit RemovedOnAbruptExit(const std::filesystem::path& path);
    ~RemovedOnAbruptExit();
    RemovedOnAbruptExit(const RemovedOnAbruptExit&) = delete;
    RemovedOnAbruptExit& operator=(const RemovedOnAbruptExit&) = delete;

  private:
    int slot_ = -1;
};

// Unlinks every listed file. Async-signal-safe; meant for a handler that then calls _exit.
void RemoveListedFilesNow();

}  // namespace sv
