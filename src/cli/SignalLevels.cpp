#include "cli/SignalLevels.h"

#include <cmath>

namespace sv::cli {

namespace {

double RmsOf(Wave& wave, int channel) {
    constexpr std::int64_t Block = Engine::BlockSize;
    const std::int64_t frames = wave.FrameCount();
    Int32Array block(Block);
    // Squares of 32-bit values summed in long double stay exact far beyond any file's length.
    long double sum = 0.0L;
    for (std::int64_t first = 0; first < frames; first += Block) {
        const std::int64_t count = std::min(Block, frames - first);
        ReadChannel(wave, block.data(), FrameIndex{first}, channel, count);
        for (std::int64_t i = 0; i < count; ++i) {
            const long double v = block[static_cast<std::size_t>(i)];
            sum += v * v;
        }
    }
    return frames > 0 ? std::sqrt(static_cast<double>(sum / frames)) : 0.0;
}

}  // namespace

double Dbfs(double level, double fullScale) {
    return level > 0 ? 20.0 * std::log10(level / fullScale) : -HUGE_VAL;
}

std::vector<double> PeakDbfs(Engine& engine, Wave& wave) {
    std::vector<double> peaks;
    for (int c = 0; c < wave.Channels(); ++c)
        peaks.push_back(Dbfs(static_cast<double>(engine.FindChannelPeak(wave, c)),
                             static_cast<double>(wave.FullScale())));
    return peaks;
}

SignalLevels MeasureLevels(Engine& engine, Wave& wave) {
    SignalLevels levels;
    levels.PeakDbfs = PeakDbfs(engine, wave);
    for (int c = 0; c < wave.Channels(); ++c)
        levels.RmsDbfs.push_back(Dbfs(RmsOf(wave, c), static_cast<double>(wave.FullScale())));
    return levels;
}

}  // namespace sv::cli
