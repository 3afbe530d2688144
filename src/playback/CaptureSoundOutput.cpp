#include "playback/CaptureSoundOutput.h"

#include <cstring>

#include "playback/SoundRing.h"

namespace sv {

void CaptureSoundOutput::StartLoop(const std::uint8_t* image, std::size_t size) {
    std::lock_guard lock(mutex_);
    image_ = image;
    size_ = size;
    playing_ = true;
    nextSlot_ = 0;
    ++starts_;
}

void CaptureSoundOutput::StopPlaying() {
    std::lock_guard lock(mutex_);
    if (playing_) ++stops_;
    playing_ = false;
}

void CaptureSoundOutput::HearSlots(int slots) {
    std::lock_guard lock(mutex_);
    if (!playing_ || size_ < SoundRing::ImageBytes) return;
    constexpr std::size_t slotBytes = SoundRing::ChunkValues * sizeof(std::int16_t);
    for (int i = 0; i < slots; ++i) {
        const std::uint8_t* slot =
            image_ + SoundRing::HeaderBytes + (nextSlot_ % SoundRing::Slots) * slotBytes;
        const std::size_t at = recording_.size();
        recording_.resize(at + SoundRing::ChunkValues);
        std::memcpy(&recording_[at], slot, slotBytes);
        ++nextSlot_;
    }
}

std::vector<std::int16_t> CaptureSoundOutput::Recording() const {
    std::lock_guard lock(mutex_);
    return recording_;
}

void CaptureSoundOutput::ClearRecording() {
    std::lock_guard lock(mutex_);
    recording_.clear();
}

bool CaptureSoundOutput::Playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

int CaptureSoundOutput::StartCount() const {
    std::lock_guard lock(mutex_);
    return starts_;
}

int CaptureSoundOutput::StopCount() const {
    std::lock_guard lock(mutex_);
    return stops_;
}

}  // namespace sv
