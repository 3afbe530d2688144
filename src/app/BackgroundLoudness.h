#pragma once
// Measures the document's loudness on a thread of its own and shows no window, so the main
// window stays usable meanwhile. Only the latest measurement reports: one stopped, or started
// over by a newer one, reports nothing.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "audio/Wave.h"
#include "loudness/LoudnessMeter.h"

namespace sv {

class BackgroundLoudness {
  public:
    // Queues a call on the window's thread.
    using PostToWindow = std::function<void(std::function<void()>)>;
    // No figures when the library cannot measure the document's layout.
    using Shown = std::function<void(const std::optional<LoudnessFigures>&)>;
    using Failed = std::function<void(std::exception_ptr)>;

    BackgroundLoudness(PostToWindow post, Failed failed);
    ~BackgroundLoudness();  // stops the measurement
    BackgroundLoudness(const BackgroundLoudness&) = delete;
    BackgroundLoudness& operator=(const BackgroundLoudness&) = delete;

    // Measures wave, then calls shown on the window's thread. The wave must neither change nor
    // go until shown has run or Stop has returned.
    void Start(Wave& wave, Shown shown);
    // Cancels the measurement and waits for its thread: afterwards the wave is free.
    void Stop();
    // Starts the measurement Stop interrupted again when wave is still the one it measured.
    void Resume(Wave* wave);
    bool Running() const { return thread_.joinable(); }

  private:
    void Finish(const std::optional<LoudnessFigures>& figures, std::exception_ptr error);

    PostToWindow post_;
    Failed failed_;
    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    // Counts the measurements; a late report of an earlier one is dropped. Its owner's life is
    // this object's: a report reaching the window after it is gone is dropped too.
    std::shared_ptr<std::uint64_t> generation_ = std::make_shared<std::uint64_t>(0);
    Shown shown_;  // of the running or the interrupted measurement
    const Wave* measured_ = nullptr;
    std::uint64_t measuredIdentity_ = 0;
};

}  // namespace sv
