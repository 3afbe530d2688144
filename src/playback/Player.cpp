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
    : wave_(wave),
      clock_(clock),
      active_(active),
      channels_(wave.Channels()),
      totalValues_(wave.FrameCount() * wave.Channels()),
      sampleRate_(wave.SampleRate()),
      ring_(WavePcmTag, wave.Channels(), wave.SampleRate(), wave.FullScale(), output, clock),
      chunk_(static_cast<std::size_t>(Chunk)) {
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
void Player::ReadChunk(std::int64_t position, std::int64_t count) {
    const std::int64_t available = std::clamp<std::int64_t>(totalValues_ - position, 0, count);
    if (available > 0) ReadInterleaved(wave_, chunk_.data(), SampleIndex{position}, available);
    std::fill(chunk_.begin() + available, chunk_.end(), 0);
}

void Player::PlayOneRun() {
    const std::int64_t step = step_;
    while (playing_ && readPos_ <= totalValues_ - Chunk * step) {
        ReadChunk(readPos_, Chunk);
        ring_.WriteChunk(chunk_.data(), static_cast<int>(Chunk), playing_);
        readPos_ += Chunk * step;
        if (readPos_ < 0) readPos_ = 0;
    }
    if (playing_) {
        // The end of the document: what is left, at most one chunk; a short one ends the run.
        const std::int64_t left = std::clamp<std::int64_t>(totalValues_ - readPos_, 0, Chunk);
        ReadChunk(readPos_, left);
        ring_.WriteChunk(chunk_.data(), static_cast<int>(left), playing_);
    }
    if (playing_) {
        ring_.StopOutput();
        active_ = false;
        playing_ = false;
    }
}

}  // namespace sv
