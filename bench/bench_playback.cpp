// Playback figures on a long document: the memory playing adds to the process, and how far the
// writer stays ahead of the heard slot while playing and fast forwarding in real time.
// Usage: bench_playback [minutes=60] [seconds per phase=20]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/Wave.h"
#include "playback/CaptureSoundOutput.h"
#include "playback/Clock.h"
#include "playback/Player.h"

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Plays for `seconds` in real time, sampling the resident size; returns its peak in KiB.
long PlayFor(sv::Player& player, int seconds) {
    long peak = ResidentKiB();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peak = std::max(peak, ResidentKiB());
    }
    (void)player;
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const std::int32_t rate = 44100;
    const int channels = 2;
    const std::int64_t frames = std::int64_t{minutes} * 60 * rate;

    sv::WaveEnvironment env;
    env.WorkFolder = std::filesystem::temp_directory_path();
    auto wave = sv::Wave::CreateEmpty(1, channels, rate, 16, frames, env);
    {
        std::vector<std::int32_t> block(static_cast<std::size_t>(sv::Wave::TransferBlock));
        const std::int64_t total = frames * channels;
        for (std::int64_t at = 0; at < total; at += sv::Wave::TransferBlock) {
            const std::int64_t n = std::min(sv::Wave::TransferBlock, total - at);
            for (std::int64_t i = 0; i < n; ++i)
                block[static_cast<std::size_t>(i)] =
                    static_cast<std::int32_t>(((at + i) % 200 - 100) * 256 * 100);
            WriteInterleaved(*wave, block.data(), sv::SampleIndex{at}, n);
        }
    }
    std::printf("document: %d min stereo 44.1 kHz, %lld values\n", minutes,
                static_cast<long long>(frames * channels));

    sv::SteadyClock clock;
    sv::CaptureSoundOutput output;  // plays nothing; the ring is paced by its own ticker
    std::atomic<bool> active{true};
    const long before = ResidentKiB();
    sv::Player player(*wave, output, clock, active);
    player.PlayFrom(frames / 2);
    const long peakPlaying = PlayFor(player, seconds);
    std::printf(
        "normal play %d s from the middle: resident before the player %ld KiB, peak while "
        "playing %ld KiB (+%ld KiB); writer lead low-water %lld slots, most unused credits %d\n",
        seconds, before, peakPlaying, peakPlaying - before,
        static_cast<long long>(player.Ring().LowestLead()), player.Ring().MostCredits());

    player.Stop();
    player.PlayFrom(frames / 10);
    player.PlayForward(4);
    const long peakScanning = PlayFor(player, seconds);
    std::printf(
        "4x fast forward %d s: peak resident %ld KiB (+%ld KiB); writer lead low-water %lld "
        "slots, most unused credits %d, still playing %s\n",
        seconds, peakScanning, peakScanning - before,
        static_cast<long long>(player.Ring().LowestLead()), player.Ring().MostCredits(),
        active ? "yes" : "no");
    return 0;
}
