#include "DemoRecording.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>

namespace sv::demo {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A fixed generator so the demo is the same file on every machine and every build.
class Noise {
  public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}
    // Uniform in [-1, 1).
    double Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ULL << 52) - 1.0;
    }

  private:
    std::uint64_t state_;
};

// A plucked string: a few harmonics under an exponential decay.
double Pluck(double frequency, double t) {
    if (t < 0) return 0;
    double sum = 0;
    for (int h = 1; h <= 4; ++h) sum += std::sin(kTwoPi * frequency * h * t) / (h * h);
    return sum * std::exp(-3.0 * t) * std::min(1.0, t * 400.0);
}

// A kick drum: a falling tone with a fast decay.
double Kick(double t) {
    if (t < 0 || t > 0.4) return 0;
    const double phase = kTwoPi * (50.0 * t + 60.0 * (1.0 - std::exp(-t * 30.0)) / 30.0);
    return std::sin(phase) * std::exp(-t * 9.0);
}

std::int16_t ToSample(double value) {
    return static_cast<std::int16_t>(std::lrint(std::clamp(value, -32768.0, 32767.0)));
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

PcmRecording MakeDemoRecording() {
    PcmRecording demo;
    const int rate = demo.sampleRate;
    const auto frames = static_cast<std::int64_t>(DemoSeconds * rate);
    demo.samples.resize(static_cast<std::size_t>(frames * 2));
    Noise hiss(20260101);

    // A minor - F - C - G, one chord a second, and the bass an octave below each root.
    const double chords[4][3] = {{220.00, 261.63, 329.63},
                                 {174.61, 220.00, 261.63},
                                 {261.63, 329.63, 392.00},
                                 {196.00, 246.94, 293.66}};
    const double beat = 0.5;
    // Drum hits (in beats after the music starts) that are played far too hot.
    const int clippedBeats[] = {3, 8, 13, 17};

    for (std::int64_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        // Hiss and a faint mains hum run through the whole recording.
        const double hum = 120.0 * std::sin(kTwoPi * 50.0 * t);
        double left = 260.0 * hiss.Next() + hum;
        double right = 260.0 * hiss.Next() + hum;

        const double m = t - DemoNoiseOnlySeconds;
        if (m >= 0) {
            const int beatIndex = static_cast<int>(m / beat);
            const double inBeat = m - beatIndex * beat;
            const auto& chord = chords[(beatIndex / 2) % 4];
            double strings = 0;
            for (int n = 0; n < 3; ++n) strings += Pluck(chord[n], inBeat - 0.01 * n);
            const double bass = Pluck(chord[0] / 2, inBeat) * 1.5;
            const bool hot = std::find(std::begin(clippedBeats), std::end(clippedBeats),
                                       beatIndex) != std::end(clippedBeats);
            const double drum = Kick(inBeat) * (hot ? 60000.0 : 9000.0);
            // The strings lean left, the bass sits in the middle: the channels differ.
            left += 4200.0 * strings + 3500.0 * bass + drum;
            right += 2600.0 * strings + 3500.0 * bass + drum * 0.9;
        }
        demo.samples[static_cast<std::size_t>(2 * f)] = ToSample(left);
        demo.samples[static_cast<std::size_t>(2 * f + 1)] = ToSample(right);
    }
    return demo;
}

PcmRecording MakeStartChime() {
    PcmRecording chime;
    const int rate = chime.sampleRate;
    const auto frames = static_cast<std::int64_t>(1.2 * rate);
    chime.samples.resize(static_cast<std::size_t>(frames * 2));
    const double notes[] = {523.25, 659.25, 783.99};
    for (std::int64_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        double left = 0;
        double right = 0;
        for (int n = 0; n < 3; ++n) {
            const double tone = Pluck(notes[n], t - 0.15 * n);
            left += tone * (1.0 - 0.3 * n);
            right += tone * (0.4 + 0.3 * n);
        }
        const double fadeOut = std::min(1.0, (1.2 - t) * 10.0);
        chime.samples[static_cast<std::size_t>(2 * f)] = ToSample(6000.0 * left * fadeOut);
        chime.samples[static_cast<std::size_t>(2 * f + 1)] = ToSample(6000.0 * right * fadeOut);
    }
    return chime;
}

void WriteWav(const std::filesystem::path& file, const PcmRecording& recording) {
    const auto dataBytes = static_cast<std::uint32_t>(recording.samples.size() * 2);
    const auto blockAlign = static_cast<std::uint32_t>(recording.channels * 2);
    std::string header;
    header += "RIFF";
    PutLe(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    PutLe(header, 16, 4);
    PutLe(header, 1, 2);  // PCM
    PutLe(header, static_cast<std::uint32_t>(recording.channels), 2);
    PutLe(header, static_cast<std::uint32_t>(recording.sampleRate), 4);
    PutLe(header, static_cast<std::uint32_t>(recording.sampleRate) * blockAlign, 4);
    PutLe(header, blockAlign, 2);
    PutLe(header, 16, 2);
    header += "data";
    PutLe(header, dataBytes, 4);

    std::string data;
    data.reserve(dataBytes);
    for (const std::int16_t s : recording.samples) PutLe(data, static_cast<std::uint16_t>(s), 2);

    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(file.c_str(), "wb"),
                                                              &std::fclose);
    if (!out || std::fwrite(header.data(), 1, header.size(), out.get()) != header.size() ||
        std::fwrite(data.data(), 1, data.size(), out.get()) != data.size() ||
        std::fflush(out.get()) != 0)
        throw std::runtime_error("cannot write " + file.string());
}

}  // namespace sv::demo
