#include "dsp/LevellingPreview.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "dsp/FFT.h"
#include "dsp/GainCurves.h"

namespace sv {

LevellingPreview PreviewLevelling(const LongTermSpectrum& spectrum, const BinSpectrum& target,
                                  const RemasterSettings& settings) {
    LevellingPreview preview;
    MixLongTermSpectrum(spectrum, settings.BandLevelMode, preview.Measured[0], preview.Measured[1]);
    preview.Gains = preview.Measured;
    ComputeRemasterGains(target, preview.Gains[0], preview.Gains[1], settings, spectrum.SampleRate,
                         spectrum.Channels);
    return preview;
}

BinSpectrum ChannelMean(const std::array<BinSpectrum, 2>& measured, int channels) {
    if (channels < 2) return measured[0];
    BinSpectrum mean;
    for (int k = 0; k < SpectrumBins; ++k) mean[k] = (measured[0][k] + measured[1][k]) / 2;
    return mean;
}

GainBands BandsOfGains(const std::array<BinSpectrum, 2>& gains, int channels,
                       std::int32_t sampleRate, int bands) {
    GainBands result;
    const int measured = std::clamp(channels, 1, 2);
    result.Db.resize(static_cast<std::size_t>(measured));
    if (sampleRate <= 0 || bands < 2) return result;
    const int half = SpectrumBins / 2;
    const double top = std::log10(static_cast<double>(BinFrequency(half, sampleRate)) / 12.0);
    std::vector<std::array<double, 2>> sum(static_cast<std::size_t>(bands) + 1, {0.0, 0.0});
    std::vector<int> count(static_cast<std::size_t>(bands) + 1, 0);
    for (int k = 1; k <= half; ++k) {
        const double p =
            std::log10(static_cast<double>(BinFrequency(k, sampleRate)) / 12.0) * (bands - 1) / top;
        const double i = std::nearbyint(p) + 1.0;
        if (!(i >= 1.0 && i <= bands)) continue;
        const auto band = static_cast<std::size_t>(i);
        for (int c = 0; c < measured; ++c) sum[band][c] += gains[c][k];
        ++count[band];
    }
    for (int i = 1; i <= bands; ++i) {
        const double centre = 12.0 * std::pow(10.0, (i - 1) * top / (bands - 1));
        result.CentreHz.push_back(centre);
        const auto band = static_cast<std::size_t>(i);
        const int nearest = std::clamp(
            static_cast<int>(std::nearbyint(centre / sampleRate * SpectrumBins)), 1, half);
        for (int c = 0; c < measured; ++c) {
            const double gain = count[band] > 0 ? sum[band][c] / count[band] : gains[c][nearest];
            result.Db[c].push_back(gain > 0.0 ? 20.0 * std::log10(gain) : -HUGE_VAL);
        }
    }
    return result;
}

}  // namespace sv
