#pragma once
// Recordings this project makes itself: the demo piece that gives every processing stage
// visible work, and the short start-up chime.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace sv::demo {

struct PcmRecording {
    int sampleRate = 44100;
    int channels = 2;
    std::vector<std::int16_t> samples;  // interleaved frames

    std::int64_t Frames() const { return static_cast<std::int64_t>(samples.size()) / channels; }
};

// The demo's landmarks, in seconds.
inline constexpr double DemoSeconds = 12.0;
inline constexpr double DemoNoiseOnlySeconds = 2.0;  // hiss and hum before the music starts

// A stereo piece: a stretch of noise only, then plucked chords over a bass line and a drum,
// all under steady hiss, with a few drum hits driven into clipping.
PcmRecording MakeDemoRecording();

// A rising three-note chime, shorter than the splash is shown.
PcmRecording MakeStartChime();

// Writes a 16-bit PCM WAV file; throws std::runtime_error on failure.
void WriteWav(const std::filesystem::path& file, const PcmRecording& recording);

}  // namespace sv::demo
