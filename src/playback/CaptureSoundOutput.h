#pragma once
// A sound output that plays nothing and instead records what a device would hear, one ring slot
// at a time as its owner says time has passed.
#include <cstdint>
#include <mutex>
#include <vector>

#include "playback/SoundOutput.h"

namespace sv {

class CaptureSoundOutput final : public SoundOutput {
  public:
    void StartLoop(const std::uint8_t* image, std::size_t size) override;
    void StopPlaying() override;

    // Appends the next `slots` slots of the looping image to the recording; nothing while
    // stopped. A start rewinds to the first slot.
    void HearSlots(int slots);
    std::vector<std::int16_t> Recording() const;
    void ClearRecording();
    bool Playing() const;
    int StartCount() const;
    int StopCount() const;

  private:
    mutable std::mutex mutex_;
    const std::uint8_t* image_ = nullptr;
    std::size_t size_ = 0;
    bool playing_ = false;
    std::int64_t nextSlot_ = 0;
    int starts_ = 0;
    int stops_ = 0;
    std::vector<std::int16_t> recording_;
};

}  // namespace sv
