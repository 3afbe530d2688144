#include "playback/SoundRing.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace sv {
namespace {

void Put(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

TickInterval SoundRing::SlotInterval(int channels, std::int32_t sampleRate) {
    const std::int64_t perSecond = std::int64_t{channels} * sampleRate;
    if (perSecond <= 0) return TickInterval(1);
    const std::int64_t ms = std::int64_t{ChunkValues} * 1000;
    const std::int64_t common = std::gcd(ms, perSecond);
    return TickInterval(ms / common, perSecond / common);
}

std::int64_t SoundRing::EndSilenceSlots(TickInterval slot) {
    constexpr std::int64_t silenceMs = 300;
    return std::max<std::int64_t>(
        1, (silenceMs * slot.denominator + slot.numerator - 1) / slot.numerator);
}

SoundRing::SoundRing(std::uint16_t formatTag, std::uint16_t channels, std::int32_t sampleRate,
                     std::int64_t fullScale, SoundOutput& output, Clock& clock)
    : interval_(SlotInterval(channels, sampleRate)),
      // Full scale is a power of two of at least 2^15 for every depth the store holds.
      divisor_(static_cast<std::int32_t>(std::max<std::int64_t>(fullScale / 32768, 1))),
      output_(output),
      storage_(std::make_unique<std::int16_t[]>(ImageBytes / 2)),
      ring_(storage_.get() + HeaderBytes / 2) {
    ResetLocked();  // no other thread yet
    auto* h = reinterpret_cast<std::uint8_t*>(storage_.get());
    std::memcpy(h, "RIFF", 4);
    Put(h + 4, static_cast<std::uint32_t>(36 + DataBytes), 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put(h + 16, 16, 4);
    Put(h + 20, formatTag, 2);
    Put(h + 22, channels, 2);
    Put(h + 24, static_cast<std::uint32_t>(sampleRate), 4);
    Put(h + 28, static_cast<std::uint32_t>(sampleRate) * channels * 2u, 4);
    Put(h + 32, channels * 2u, 2);
    Put(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    Put(h + 40, static_cast<std::uint32_t>(DataBytes), 4);
    ticker_ = std::make_unique<TickTimer>(clock, interval_, [this] { Tick(); });
}

SoundRing::~SoundRing() {
    StopOutput();
    ticker_.reset();
}

void SoundRing::WriteChunk(const std::int32_t* values, int count,
                           const std::atomic<bool>& runActive) {
    count = std::clamp(count, 0, ChunkValues);
    PutSlot(values, count, runActive);
    if (count < ChunkValues) {
        PlayOutTheEnd(runActive);
        return;
    }
    WaitForSlot();
}

void SoundRing::PutSlot(const std::int32_t* values, int count, const std::atomic<bool>& runActive) {
    int slot;
    {
        std::lock_guard lock(mutex_);
        slot = slot_;
    }
    // The slot is written unlocked: the output reads other slots meanwhile, half a ring away.
    Fill(slot, values, count);
    std::lock_guard lock(mutex_);
    // Checked under the lock that StopOutput takes, so a stopped run never restarts it.
    if (notStarted_ && count > 0 && runActive.load()) StartOutputLocked();
    slot_ = (slot_ + 1) % Slots;
    ++slotsWritten_;
}

// Tick k comes when the output has played k slots of the run, so the last slot is heard once
// the ticks reach the slots written. The slots after it are filled with silence as the writer
// goes on, so nothing of an earlier lap of the ring is heard if the output starts late.
void SoundRing::PlayOutTheEnd(const std::atomic<bool>& runActive) {
    std::int64_t heardAll;
    {
        std::lock_guard lock(mutex_);
        heardAll = slotsWritten_ + EndSilenceSlots(interval_);
    }
    for (;;) {
        WaitForSlot();
        {
            std::lock_guard lock(mutex_);
            if (notStarted_ || ticks_ >= heardAll || !runActive.load()) return;
        }
        PutSlot(nullptr, 0, runActive);
    }
}

void SoundRing::Fill(int slot, const std::int32_t* values, int count) {
    std::int16_t* target = ring_ + std::ptrdiff_t{slot} * ChunkValues;
    for (int i = 0; i < count; ++i)
        target[i] = static_cast<std::int16_t>(std::clamp(values[i] / divisor_, -32768, 32767));
    // The rest of a partial slot would otherwise replay what it held a ring earlier.
    std::fill(target + count, target + ChunkValues, std::int16_t{0});
}

void SoundRing::WaitForSlot() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (interrupted_) {
            interrupted_ = false;
            lock.unlock();
            if (onInterrupt_) onInterrupt_();
            lock.lock();
            continue;
        }
        if (credits_ > 0) {
            --credits_;
            return;
        }
        if (tickFlag_ || !tickerEnabled_) {
            tickFlag_ = false;
            return;
        }
        wake_.wait(lock);
    }
}

void SoundRing::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

std::int64_t SoundRing::FirstUnheardSlot() const {
    std::lock_guard lock(mutex_);
    return notStarted_ ? 0 : ticks_ + 1;
}

// Tick k comes when the output has played k slots, so it is playing slot k (counted from 0)
// until tick k + 1; the slots after it may still change.
bool SoundRing::RewriteSlot(std::int64_t number, const std::int32_t* values, int count) {
    {
        std::lock_guard lock(mutex_);
        if (number >= slotsWritten_ || number < (notStarted_ ? 0 : ticks_ + 1)) return false;
    }
    Fill(static_cast<int>(number % Slots), values, std::clamp(count, 0, ChunkValues));
    std::lock_guard lock(mutex_);
    ++rewritten_;
    return true;
}

void SoundRing::Tick() {
    {
        std::lock_guard lock(mutex_);
        if (!tickerEnabled_) return;  // a tick already under way when the output stopped
        if (credits_ > 0) {
            credits_ = std::min(credits_ + 1, MaxCredits);
        } else if (tickFlag_) {
            credits_ = 1;
        }
        tickFlag_ = true;
        ++ticks_;
        lowestLead_ = std::min(lowestLead_, slotsWritten_ - ticks_);
        mostCredits_ = std::max(mostCredits_, credits_);
    }
    wake_.notify_all();
}

void SoundRing::StopOutput() {
    {
        std::lock_guard lock(mutex_);
        output_.StopPlaying();
        tickerEnabled_ = false;
        ResetLocked();
    }
    wake_.notify_all();
    // Outside the lock: the ticker's handler takes it.
    ticker_->SetEnabled(false);
}

void SoundRing::BeginRun() {
    std::lock_guard lock(mutex_);
    ResetLocked();
}

void SoundRing::ResetLocked() {
    notStarted_ = true;
    slot_ = 0;
    credits_ = StartCredits;
    tickFlag_ = true;
    slotsWritten_ = 0;
    ticks_ = 0;
    lowestLead_ = std::numeric_limits<std::int64_t>::max();
    mostCredits_ = 0;
    interrupted_ = false;
    rewritten_ = 0;
}

void SoundRing::StartOutputLocked() {
    output_.StartLoop(Image(), ImageBytes);
    tickerEnabled_ = true;
    ticker_->SetEnabled(true);
    notStarted_ = false;
}

int SoundRing::Credits() const {
    std::lock_guard lock(mutex_);
    return credits_;
}

int SoundRing::Slot() const {
    std::lock_guard lock(mutex_);
    return slot_;
}

bool SoundRing::NotStarted() const {
    std::lock_guard lock(mutex_);
    return notStarted_;
}

std::int64_t SoundRing::SlotsWritten() const {
    std::lock_guard lock(mutex_);
    return slotsWritten_;
}

std::int64_t SoundRing::Ticks() const {
    std::lock_guard lock(mutex_);
    return ticks_;
}

std::int64_t SoundRing::SlotsRewritten() const {
    std::lock_guard lock(mutex_);
    return rewritten_;
}

std::int64_t SoundRing::LowestLead() const {
    std::lock_guard lock(mutex_);
    return lowestLead_;
}

int SoundRing::MostCredits() const {
    std::lock_guard lock(mutex_);
    return mostCredits_;
}

}  // namespace sv
