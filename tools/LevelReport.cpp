#include "LevelReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <vector>

#include "audio/Wave.h"

namespace sv::demo {

namespace {

double Dbfs(double ratio) {
    if (ratio <= 0) return -std::numeric_limits<double>::infinity();
    const double db = 20.0 * std::log10(ratio);
    return std::fabs(db) < 0.005 ? 0.0 : db;  // no "-0.00" for full scale
}

}  // namespace

std::vector<ChannelLevels> MeasureLevels(const std::filesystem::path& file,
                                         const std::filesystem::path& workFolder) {
    WaveEnvironment env;
    env.WorkFolder = workFolder;
    const auto wave = Wave::CreateFromFile(file, env).Document;
    if (!wave) throw std::runtime_error(file.string() + " is not a usable PCM WAV file");

    const int channels = wave->Channels();
    const std::int64_t frames = wave->FrameCount() / channels;
    const double fullScale = static_cast<double>(wave->FullScale());
    std::vector<std::int32_t> block(static_cast<std::size_t>(Wave::TransferBlock));
    std::vector<ChannelLevels> levels;
    for (int c = 0; c < channels; ++c) {
        std::int64_t peak = 0;
        double sumSquares = 0;
        for (std::int64_t start = 0; start < frames; start += Wave::TransferBlock) {
            const std::int64_t count = std::min(Wave::TransferBlock, frames - start);
            ReadChannel(*wave, block.data(), FrameIndex{start}, c, count);
            for (std::int64_t i = 0; i < count; ++i) {
                const std::int64_t v = block[static_cast<std::size_t>(i)];
                peak = std::max(peak, v < 0 ? -v : v);
                sumSquares += static_cast<double>(v) * static_cast<double>(v);
            }
        }
        const double rms = frames > 0 ? std::sqrt(sumSquares / static_cast<double>(frames)) : 0;
        levels.push_back({Dbfs(static_cast<double>(peak) / fullScale), Dbfs(rms / fullScale)});
    }
    return levels;
}

std::string LevelsText(const std::string& label, const std::vector<ChannelLevels>& levels) {
    std::string text;
    for (std::size_t c = 0; c < levels.size(); ++c) {
        char line[160];
        std::snprintf(line, sizeof line, "%s channel %zu: peak %7.2f dBFS   RMS %7.2f dBFS\n",
                      label.c_str(), c + 1, levels[c].peakDbfs, levels[c].rmsDbfs);
        text += line;
    }
    return text;
}

}  // namespace sv::demo
