#pragma once
// The player: a thread that reads the document chunk by chunk from its store and writes the
// chunks into the sound ring, one run at a time. Runs are started and stopped from the GUI
// thread; the play position is extrapolated from the clock, not asked from the device.
#include <array>
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

    // Another document to hear in place of this one, from the same positions (A/B): it must
    // have the same channels and rate, and outlive the player or the next call; null: none.
    // The gains, in dB, apply to what is heard from each (0: the stored values unchanged).
    // False, and no comparison, when the formats differ. Any time, from the controlling thread.
    bool SetComparison(Wave* other, double documentGainDb = 0.0, double otherGainDb = 0.0);
    // Switches what is heard between the document and the other one. During a run the slots
    // not yet heard are written again, so the switch is heard within one slot, at the same
    // position, without stopping.
    void Hear(bool other);
    bool HearingOther() const { return hearOther_.load(); }

    bool Idle() const;
    int Step() const { return step_; }
    SoundRing& Ring() { return ring_; }

  private:
    struct Source {
        Wave* wave = nullptr;
        std::int64_t totalValues = 0;
        double gain = 1.0;  // linear
    };
    void Run();
    void PlayOneRun();
    Source HeardSource() const;
    void ReadChunk(const Source& source, std::int64_t position, std::int64_t count);
    void PutChunk(const Source& source, std::int64_t position, std::int64_t count);
    void RewriteAhead();

    Clock& clock_;
    std::atomic<bool>& active_;
    const std::int64_t channels_;
    const std::int32_t sampleRate_;
    const std::int64_t fullScale_;
    SoundRing ring_;
    std::vector<std::int32_t> chunk_;

    // The document and the one compared with it; read by the thread once per chunk.
    mutable std::mutex sourceMutex_;
    std::array<Source, 2> sources_;
    std::atomic<bool> hearOther_{false};
    // The thread's own: where each slot of the run was read, by slot number modulo the ring.
    std::array<std::int64_t, SoundRing::Slots> slotPositions_{};
    std::array<std::int64_t, SoundRing::Slots> slotCounts_{};
    std::int64_t lastChunkSlot_ = -1;  // the number of the run's last slot read from a document

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
