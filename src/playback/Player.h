#pragma once
// The player: a thread that reads the document chunk by chunk from its store and writes the
// chunks into the sound ring, one run at a time. Runs are started and stopped from the GUI
// thread; the play position is extrapolated from the clock, not asked from the device.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "playback/Clock.h"
#include "playback/SoundOutput.h"
#include "playback/SoundRing.h"

namespace sv {

class Wave;

class Player {
  public:
    // The document and the output must outlive the player. `active` is cleared by the player
    // thread when a run reaches the end of the document by itself.
    Player(Wave& wave, SoundOutput& output, Clock& clock, std::atomic<bool>& active);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Starts a run at a document frame (negative: 0), stopping a run in progress first.
    void PlayFrom(std::int64_t frame);
    // Ends the current run, keeping its position; returns once the thread is idle (within one
    // chunk's work, since stopping releases a writer waiting for a slot).
    void Stop();
    // A new run from the current position (where a stopped run stopped) at `speed` times normal
    // speed, forwards or backwards.
    void PlayForward(int speed);
    void PlayBackward(int speed);
    // The extrapolated play position in document frames, not limited to the document; after
    // Stop, where the run stopped.
    std::int64_t Position();

    bool Idle() const;
    int Step() const { return step_; }
    SoundRing& Ring() { return ring_; }

  private:
    void Run();
    void PlayOneRun();
    void ReadChunk(std::int64_t position, std::int64_t count);

    Wave& wave_;
    Clock& clock_;
    std::atomic<bool>& active_;
    const std::int64_t channels_;
    const std::int64_t totalValues_;
    const std::int32_t sampleRate_;
    SoundRing ring_;
    std::vector<std::int32_t> chunk_;

    // Run parameters: written by the GUI thread only while the thread is idle.
    int step_ = 1;
    std::int64_t readPos_ = 0;  // in interleaved values from the document's first value
    std::int64_t startFrame_ = 0;
    std::int64_t startTime_ = 0;
    std::optional<std::int64_t> stoppedAt_;  // GUI thread only

    std::atomic<bool> playing_{false};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool idle_ = true;
    bool runRequested_ = false;
    bool quit_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace sv
