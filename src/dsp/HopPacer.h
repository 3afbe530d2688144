#pragma once
// Keeps two threads that walk the same hops, each for its own channels, close together, so both
// work in the same stretch of the stores' windows and a cancel ends both after the same hop.
// Thread 0 leads: it may be a few hops ahead, thread 1 never passes it, unless either may lead.
// A thread that has to wait sleeps after a short spin; the other wakes it only then.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

namespace sv {

class HopPacer {
  public:
    // lead: how many hops thread 0 may be ahead of thread 1. trail: how many hops thread 1
    // stays behind thread 0 at least (1: thread 1 starts a hop once thread 0 has finished it).
    // eitherLeads (trail 0 only): thread 1 too may be up to lead hops ahead. Whichever thread
    // is ahead then does the stores' window moves, instead of thread 0 always; but after
    // EndAfter(h) thread 1 may have walked past h. The hops before first count as finished by
    // both (a walk that becomes paired part of the way).
    explicit HopPacer(std::int64_t lead, std::int64_t trail = 0, bool eitherLeads = false,
                      std::int64_t first = 0)
        : lead_(lead),
          trail_(trail),
          eitherLeads_(eitherLeads && trail == 0),
          done_{first, first} {}
    HopPacer(const HopPacer&) = delete;
    HopPacer& operator=(const HopPacer&) = delete;

    // Waits until thread `self` (0 or 1) may start hop h; false when the walk ends before it.
    bool MayStart(int self, std::int64_t h);
    // Thread self has finished hop h (thread 0: and the walk goes on past it).
    void Finished(int self, std::int64_t h);
    // Thread 0 ends the walk after hop h: thread 1 still finishes the hops up to h, for which
    // thread 0 must have called Finished up to hop h - 1 + trail.
    void EndAfter(std::int64_t h);
    // Ends the walk at once for both threads: a failure in one of them.
    void Abandon();

  private:
    bool Ready(int self, std::int64_t h) const {
        if (abandoned_.load() || h >= end_.load()) return true;
        if (self == 0 || eitherLeads_) return done_[1 - self].load() >= h - lead_;
        return done_[0].load() >= h + trail_;
    }
    void WakeWaiters();

    const std::int64_t lead_;
    const std::int64_t trail_;
    const bool eitherLeads_;
    // Hops finished by each thread. Sequentially consistent with waiting_: a thread that
    // publishes progress either sees the other waiting or is seen by it.
    std::atomic<std::int64_t> done_[2];
    std::atomic<std::int64_t> end_{std::numeric_limits<std::int64_t>::max()};
    std::atomic<bool> abandoned_{false};
    std::atomic<int> waiting_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace sv
