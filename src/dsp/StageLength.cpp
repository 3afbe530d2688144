#include "dsp/StageLength.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dsp/Engine.h"
#include "text/Language.h"

namespace sv {

namespace {

// What loudness measurement gates on.
constexpr double LoudnessBlockSeconds = 0.4;

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

}  // namespace

std::int64_t MinimumFramesToMeasure() { return Engine::BlockSize; }

std::int64_t MinimumFrames(ChainStage stage, const RemasterSettings& s, std::int32_t sampleRate,
                           int channels) {
    switch (stage) {
        case ChainStage::RemoveNoise: {
            // The search window and one hop to search, after the hop into the leading margin.
            const std::int64_t window = std::clamp<std::int64_t>(
                static_cast<std::int64_t>(sampleRate) * s.NoiseSeconds / Engine::Hop, 1, 255);
            return (window + 2) * Engine::Hop;
        }
        case ChainStage::Levelling:
            return MinimumFramesToMeasure();
        case ChainStage::FitPeaks: {
            // Fewer blocks than peaks leave no threshold to fit to.
            const std::int64_t values =
                static_cast<std::int64_t>(std::max(s.PeakCount, 1)) * std::max(s.PeakBlockSize, 1);
            return CeilDiv(values, std::max(channels, 1));
        }
        case ChainStage::NormalizeLoudness:
            return static_cast<std::int64_t>(std::ceil(LoudnessBlockSeconds * sampleRate));
        case ChainStage::Normalize:
            break;
    }
    return 1;
}

std::optional<LengthShortfall> TooShortFor(ChainStage stage, const RemasterSettings& settings,
                                           const Wave& wave) {
    const std::int64_t minimum = MinimumFrames(stage, settings, wave.SampleRate(), wave.Channels());
    if (wave.FrameCount() >= minimum) return std::nullopt;
    return LengthShortfall{stage, minimum};
}

std::optional<LengthShortfall> FirstTooShortStage(const RemasterSettings& s, const Wave& wave) {
    const std::pair<bool, ChainStage> stages[] = {
        {s.RemoveNoise, ChainStage::RemoveNoise},
        {s.Levelling, ChainStage::Levelling},
        {s.FitPeaks, ChainStage::FitPeaks},
        {s.Normalize, ChainStage::Normalize},
        {s.Loudness.has_value(), ChainStage::NormalizeLoudness}};
    for (const auto& [on, stage] : stages)
        if (on)
            if (auto shortfall = TooShortFor(stage, s, wave)) return shortfall;
    return std::nullopt;
}

const char* StageWord(ChainStage stage) {
    switch (stage) {
        case ChainStage::RemoveNoise:
            return "denoise";
        case ChainStage::Levelling:
            return "level";
        case ChainStage::FitPeaks:
            return "fit-peaks";
        case ChainStage::Normalize:
            return "normalize";
        case ChainStage::NormalizeLoudness:
            return "normalize-lufs";
    }
    return "";
}

std::string TooShortMessage(std::int64_t minimumFrames, std::int32_t sampleRate) {
    // Rounded up, so that a recording of the length shown is long enough.
    const double seconds =
        sampleRate > 0 ? std::ceil(1000.0 * minimumFrames / sampleRate) / 1000.0 : 0.0;
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", seconds);
    const auto& t = Texts();
    return t.TooShortMessage + " (" + t.MinimumLengthPrefix + " " + number + " s)";
}

}  // namespace sv
