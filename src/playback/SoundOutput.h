#pragma once
// Where the sound ring is heard. Both calls may come from any thread, possibly while the caller
// holds the ring's lock: implementations return quickly and never call back into the ring.
#include <cstddef>
#include <cstdint>

namespace sv {

class SoundOutput {
  public:
    virtual ~SoundOutput() = default;
    // Plays the complete WAV image (header and data) from its first sample in an endless loop.
    // The image stays alive and is written to while it plays.
    virtual void StartLoop(const std::uint8_t* image, std::size_t size) = 0;
    virtual void StopPlaying() = 0;
};

}  // namespace sv
