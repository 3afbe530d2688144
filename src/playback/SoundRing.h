#pragma once
// The sound the player hands to the output: a complete 16-bit WAV image in memory whose data is
// a ring of 64 slots. The output loops over the image while the writer fills slots about half
// a ring ahead of it, paced by a ticker that grants one slot per slot duration.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "playback/Clock.h"
#include "playback/SoundOutput.h"
#include "playback/TickTimer.h"

namespace sv {

class SoundRing {
  public:
    static constexpr int Slots = 64;
    static constexpr int ChunkValues = 8820;
    static constexpr std::size_t HeaderBytes = 44;
    static constexpr std::size_t DataBytes = std::size_t{Slots} * ChunkValues * 2;
    static constexpr std::size_t ImageBytes = HeaderBytes + DataBytes;  // 1 129 004
    static constexpr int StartCredits = 32;
    static constexpr int MaxCredits = 63;

    // A slot's exact duration: 8 820 000 / (channels x rate) ms.
    static TickInterval SlotInterval(int channels, std::int32_t sampleRate);
    // Slots of silence heard after a run's last frame before the output stops, so that an
    // output that starts late still plays the end: about 300 ms, at least one slot.
    static std::int64_t EndSilenceSlots(TickInterval slot);

    // fullScale is the document's internal value of full scale; it plays as 16-bit full scale.
    SoundRing(std::uint16_t formatTag, std::uint16_t channels, std::int32_t sampleRate,
              std::int64_t fullScale, SoundOutput& output, Clock& clock);
    ~SoundRing();
    SoundRing(const SoundRing&) = delete;
    SoundRing& operator=(const SoundRing&) = delete;

    // Puts up to ChunkValues internal values into the next slot (silence after them), starts
    // the output on the first non-empty chunk while runActive holds, and waits for a credit.
    // A partial chunk ends the run: silence follows it until the output has played it all.
    void WriteChunk(const std::int32_t* values, int count, const std::atomic<bool>& runActive);
    // Waits for a credit or a tick; runs the interrupt handler meanwhile when asked to.
    void WaitForSlot();
    void Tick();  // the ticker's handler
    // Stops the output and the ticker and resets the run state; releases a waiting writer.
    void StopOutput();
    // Resets the run state before a run, so that what a stopped run's writer consumed after
    // its stop does not shorten the next run's lead.
    void BeginRun();

    // Runs on the writer's thread, inside its wait for a slot, after Interrupt: the writer may
    // then replace slots that are written but not yet heard (RewriteSlot). Set before a run.
    void SetInterruptHandler(std::function<void()> handler) { onInterrupt_ = std::move(handler); }
    // Any thread: the writer runs the interrupt handler at its next wait, at once if it waits.
    void Interrupt();
    // The first slot of the run, counted from its first, that the output has not begun to play.
    std::int64_t FirstUnheardSlot() const;
    // Writer's thread: replaces slot `number` of the run (silence after the values) if it is
    // written and not yet heard; false otherwise.
    bool RewriteSlot(std::int64_t number, const std::int32_t* values, int count);

    TickInterval Interval() const { return interval_; }
    const std::uint8_t* Image() const {
        return reinterpret_cast<const std::uint8_t*>(storage_.get());
    }
    int Credits() const;
    int Slot() const;
    bool NotStarted() const;
    std::int64_t SlotsWritten() const;    // in the current run
    std::int64_t Ticks() const;           // ticks received in the current run
    std::int64_t SlotsRewritten() const;  // by RewriteSlot in the current run
    // The smallest lead of the writer over the heard slot (slots written minus ticks) seen at
    // a tick of the current run, and the most credits a tick left unused.
    std::int64_t LowestLead() const;
    int MostCredits() const;
    const TickTimer& Ticker() const { return *ticker_; }

  private:
    void StartOutputLocked();
    void ResetLocked();
    void PutSlot(const std::int32_t* values, int count, const std::atomic<bool>& runActive);
    void PlayOutTheEnd(const std::atomic<bool>& runActive);
    void Fill(int slot, const std::int32_t* values, int count);

    const TickInterval interval_;
    const std::int32_t divisor_;
    SoundOutput& output_;
    std::unique_ptr<std::int16_t[]> storage_;  // the image; 16-bit storage keeps the ring aligned
    std::int16_t* ring_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool tickerEnabled_ = false;
    bool notStarted_ = true;
    int credits_ = StartCredits;
    bool tickFlag_ = true;
    int slot_ = 0;
    std::int64_t slotsWritten_ = 0;
    std::int64_t ticks_ = 0;
    std::int64_t lowestLead_ = 0;
    int mostCredits_ = 0;
    std::int64_t rewritten_ = 0;
    bool interrupted_ = false;
    std::function<void()> onInterrupt_;
    std::unique_ptr<TickTimer> ticker_;  // last: its thread ends before the state it ticks
};

}  // namespace sv
