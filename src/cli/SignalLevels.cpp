#include "cli/SignalLevels.h"

#include <cmath>
#include <cstdlib>

namespace sv::cli {

double Dbfs(double level, double fullScale) {
    return level > 0 ? 20.0 * std::log10(level / fullScale) : -HUGE_VAL;
}

void LevelsGatherer::Add(int channels, const std::int32_t* values, std::int64_t first,
                         std::int64_t count) {
    const auto ch = static_cast<std::size_t>(channels);
    if (peaks_.size() != ch) {
        peaks_.assign(ch, 0);
        sums_.assign(ch, 0);
    }
    // Channel by channel with the figures in registers: this runs beside a save.
    for (std::int64_t start = 0; start < std::min<std::int64_t>(channels, count); ++start) {
        const auto c = static_cast<std::size_t>((first + start) % channels);
        std::uint64_t peak = static_cast<std::uint64_t>(peaks_[c]);
        unsigned __int128 sum = sums_[c];
        for (std::int64_t i = start; i < count; i += channels) {
            const std::int64_t v = values[i];
            const auto magnitude = static_cast<std::uint64_t>(v < 0 ? -v : v);
            peak = std::max(peak, magnitude);
            sum += magnitude * magnitude;  // at most 2^62: a 32-bit value squared
        }
        peaks_[c] = static_cast<std::int64_t>(peak);
        sums_[c] = sum;
    }
    samples_ += count;
}

SignalLevels LevelsGatherer::Levels(double fullScale) const {
    SignalLevels levels;
    const auto channels = static_cast<std::int64_t>(peaks_.size());
    const std::int64_t frames = channels > 0 ? samples_ / channels : 0;
    for (std::size_t c = 0; c < peaks_.size(); ++c) {
        levels.PeakDbfs.push_back(Dbfs(static_cast<double>(peaks_[c]), fullScale));
        const double rms =
            frames > 0 ? std::sqrt(static_cast<double>(static_cast<long double>(sums_[c]) / frames))
                       : 0.0;
        levels.RmsDbfs.push_back(Dbfs(rms, fullScale));
    }
    return levels;
}

std::vector<double> PeakDbfs(Engine& engine, Wave& wave) {
    std::vector<double> peaks;
    for (int c = 0; c < wave.Channels(); ++c)
        peaks.push_back(Dbfs(static_cast<double>(engine.FindChannelPeak(wave, c)),
                             static_cast<double>(wave.FullScale())));
    return peaks;
}

SignalLevels MeasureLevels(Wave& wave) {
    const int channels = wave.Channels();
    const std::int64_t total = wave.FrameCount() * channels;
    LevelsGatherer gatherer;
    Int32Array block(static_cast<std::size_t>(Wave::TransferBlock));
    for (std::int64_t first = 0; first < total; first += Wave::TransferBlock) {
        const std::int64_t count = std::min(Wave::TransferBlock, total - first);
        ReadInterleaved(wave, block.data(), SampleIndex{first}, count);
        gatherer.Add(channels, block.data(), first, count);
    }
    if (total == 0) gatherer.Add(channels, nullptr, 0, 0);  // one figure per channel still
    return gatherer.Levels(static_cast<double>(wave.FullScale()));
}

}  // namespace sv::cli
