#include "playback/Player.h"

#include <algorithm>
#include <cmath>

#include "audio/Wave.h"
#include "base/CoreTypes.h"

namespace sv {

namespace {
constexpr std::int64_t Chunk = SoundRing::ChunkValues;
}

Player::Player(Wave& wave, SoundOutput& output, Clock& clock, std::atomic<bool>& active)
    : clock_(clock),
      active_(active),
      channels_(wave.Channels()),
      sampleRate_(wave.SampleRate()),
      fullScale_(wave.FullScale()),
      ring_(WavePcmTag, wave.Channels(), wave.SampleRate(), wave.FullScale(), output, clock),
      chunk_(static_cast<std::size_t>(Chunk)) {
    sources_[0] = {&wave, wave.FrameCount() * channels_, 1.0};
    ring_.SetInterruptHandler([this] { RewriteAhead(); });
    thread_ = std::thread([this] { Run(); });
}

Player::~Player() {
    Stop();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Player::PlayFrom(std::int64_t frame) {
    if (playing_) Stop();
    std::unique_lock lock(mutex_);
    // A run that ended by itself may still be finishing: its parameters are not ours yet.
    wake_.wait(lock, [this] { return idle_; });
    ring_.BeginRun();
    stoppedAt_.reset();
    startFrame_ = std::max<std::int64_t>(frame, 0);
    readPos_ = channels_ * startFrame_;
    startTime_ = clock_.NowMs();
    idle_ = false;
    playing_ = true;
    runRequested_ = true;
    wake_.notify_all();
}

void Player::Stop() {
    if (playing_) stoppedAt_ = Position();
    playing_ = false;
    ring_.StopOutput();
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return idle_; });
}

void Player::PlayForward(int speed) {
    Stop();
    const std::int64_t position = Position();
    step_ = speed;
    PlayFrom(position);
}

void Player::PlayBackward(int speed) {
    Stop();
    const std::int64_t position = Position();
    step_ = -speed;
    PlayFrom(position);
}

std::int64_t Player::Position() {
    if (stoppedAt_) return *stoppedAt_;
    if (startTime_ <= 0) return 0;
    const std::int64_t framesPerSecond = std::int64_t{sampleRate_} * step_;
    const double elapsed = static_cast<double>(clock_.NowMs() - startTime_);
    return static_cast<std::int64_t>(
        std::nearbyint(static_cast<double>(framesPerSecond) / 1000.0 * elapsed +
                       static_cast<double>(startFrame_)));
}

bool Player::SetComparison(Wave* other, double documentGainDb, double otherGainDb) {
    const bool fits = other && other->Channels() == channels_ && other->SampleRate() == sampleRate_;
    const auto linear = [](double db) { return db == 0.0 ? 1.0 : std::pow(10.0, db / 20.0); };
    {
        std::lock_guard lock(sourceMutex_);
        sources_[0].gain = fits ? linear(documentGainDb) : 1.0;
        sources_[1] = {};
        // The ring scales by the document's full scale; another depth is brought to it here.
        if (fits)
            sources_[1] = {other, other->FrameCount() * channels_,
                           linear(otherGainDb) * static_cast<double>(fullScale_) /
                               static_cast<double>(other->FullScale())};
    }
    ring_.Interrupt();  // what is ahead is heard with the new gains
    return fits;
}

void Player::Hear(bool other) {
    if (hearOther_.exchange(other) != other) ring_.Interrupt();
}

Player::Source Player::HeardSource() const {
    std::lock_guard lock(sourceMutex_);
    return hearOther_ && sources_[1].wave ? sources_[1] : sources_[0];
}

bool Player::Idle() const {
    std::lock_guard lock(mutex_);
    return idle_;
}

void Player::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || runRequested_; });
        if (quit_) return;
        runRequested_ = false;
        lock.unlock();
        PlayOneRun();
        lock.lock();
        idle_ = true;
        wake_.notify_all();
    }
}

// Reads `count` values at `position` (clipped to the recording) into the chunk buffer; the
// rest of the buffer becomes silence. Reading never leaves the store, even when a rewind starts
// beyond the recording's end or the recording is shorter than a chunk.
// Values heard at a gain other than 1 are rounded and kept within the internal range.
void Player::ReadChunk(const Source& source, std::int64_t position, std::int64_t count) {
    const std::int64_t available =
        std::clamp<std::int64_t>(source.totalValues - position, 0, count);
    if (available > 0)
        ReadInterleaved(*source.wave, chunk_.data(), SampleIndex{position}, available);
    std::fill(chunk_.begin() + available, chunk_.end(), 0);
    if (source.gain == 1.0) return;
    for (std::int64_t i = 0; i < available; ++i) {
        const double scaled =
            std::clamp(static_cast<double>(chunk_[i]) * source.gain, -2147483648.0, 2147483647.0);
        chunk_[i] = static_cast<std::int32_t>(std::llrint(scaled));
    }
}

void Player::PutChunk(const Source& source, std::int64_t position, std::int64_t count) {
    ReadChunk(source, position, count);
    const std::int64_t number = ring_.SlotsWritten();
    slotPositions_[number % SoundRing::Slots] = position;
    slotCounts_[number % SoundRing::Slots] = count;
    lastChunkSlot_ = number;
    ring_.WriteChunk(chunk_.data(), static_cast<int>(count), playing_);
}

// On the thread, from the ring's wait: the slots not yet heard are read again from the source
// now heard, nearest first, at the positions they were read from.
void Player::RewriteAhead() {
    const Source source = HeardSource();
    const std::int64_t first =
        std::max(ring_.FirstUnheardSlot(), lastChunkSlot_ - (SoundRing::Slots - 2));
    for (std::int64_t number = first; number <= lastChunkSlot_ && playing_; ++number) {
        const std::int64_t count = slotCounts_[number % SoundRing::Slots];
        ReadChunk(source, slotPositions_[number % SoundRing::Slots], count);
        ring_.RewriteSlot(number, chunk_.data(), static_cast<int>(count));
    }
}

void Player::PlayOneRun() {
    const std::int64_t step = step_;
    lastChunkSlot_ = -1;
    for (;;) {
        if (!playing_) break;
        // Once per chunk: the source may change meanwhile, and its length with it.
        const Source source = HeardSource();
        if (readPos_ > source.totalValues - Chunk * step) break;
        PutChunk(source, readPos_, Chunk);
        readPos_ += Chunk * step;
        if (readPos_ < 0) readPos_ = 0;
    }
    if (playing_) {
        // The end of the document: what is left, at most one chunk; a short one ends the run.
        const Source source = HeardSource();
        const std::int64_t left = std::clamp<std::int64_t>(source.totalValues - readPos_, 0, Chunk);
        PutChunk(source, readPos_, left);
    }
    if (playing_) {
        ring_.StopOutput();
        active_ = false;
        playing_ = false;
    }
}

}  // namespace sv
