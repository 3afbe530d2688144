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
        sums_.assign(ch, 0.0L);
    }
    auto c = static_cast<std::size_t>(first % channels);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t v = values[i];
        peaks_[c] = std::max<std::int64_t>(peaks_[c], std::llabs(v));
        sums_[c] += static_cast<long double>(v) * static_cast<long double>(v);
        if (++c == ch) c = 0;
    }
    samples_ += count;
}

SignalLevels LevelsGatherer::Levels(double fullScale) const {
    SignalLevels levels;
    const auto channels = static_cast<std::int64_t>(peaks_.size());
    const std::int64_t frames = channels > 0 ? samples_ / channels : 0;
    for (std::size_t c = 0; c < peaks_.size(); ++c) {
        levels.PeakDbfs.push_back(Dbfs(static_cast<double>(peaks_[c]), fullScale));
        const double rms = frames > 0 ? std::sqrt(static_cast<double>(sums_[c] / frames)) : 0.0;
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
        wave.ReadInterleaved(block.data(), SampleIndex{first}, count);
        gatherer.Add(channels, block.data(), first, count);
    }
    if (total == 0) gatherer.Add(channels, nullptr, 0, 0);  // one figure per channel still
    return gatherer.Levels(static_cast<double>(wave.FullScale()));
}

}  // namespace sv::cli
