// Noise removal: find the quietest stretch, take its spectrum as the noise profile, subtract it.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "dsp/BinLoops.h"
#include "dsp/Engine.h"
#include "dsp/HopPacer.h"
#include "dsp/SpectrumRing.h"
#include "text/Language.h"

namespace sv {
namespace {

// The single value 9.9999997e37: louder than any window, so the first one examined wins.
constexpr float NoLevelYet = 1e38f;

// Hops per examined window. The ring holds at most 255 slots, and a window needs one hop even
// when the rate is below one hop per second.
int WindowHops(std::int32_t sampleRate, int seconds) {
    const std::int64_t hops = static_cast<std::int64_t>(sampleRate) * seconds / Engine::Hop;
    return static_cast<int>(std::clamp<std::int64_t>(hops, 1, 255));
}

void TakeLarger(BinSpectrum& profile, const BinSpectrum& candidate) {
    for (int k = 0; k < SpectrumBins; ++k)
        if (!(profile[k] >= candidate[k])) profile[k] = candidate[k];
}

// Scales by s, then gives every inner bin the largest scaled value within two bins of it.
void ScaleAndWiden(BinSpectrum& profile, float s, std::vector<float>& scaled) {
    for (int k = 0; k < SpectrumBins; ++k) scaled[k] = profile[k] * s;
    for (int k = 0; k < SpectrumBins; ++k) profile[k] = scaled[k];
    for (int k = 2; k < SpectrumBins - 2; ++k) {
        float widest = 0.0f;
        for (int j = k - 2; j <= k + 2; ++j)
            if (scaled[j] > widest) widest = scaled[j];
        profile[k] = widest;
    }
}

// A profile with the noise floor term of each of its bins, which stays the same at every hop.
struct NoiseThreshold {
    explicit NoiseThreshold(const BinSpectrum& profile) : threshold(profile) {
        for (int k = 0; k < SpectrumBins; ++k)
            floor[k] = threshold[k] / ComplexMath::NoiseFloorScale;
    }
    void SubtractFrom(Complex* x) const {
        binloops::SubtractNoise(x, threshold.data(), floor.data(), SpectrumBins);
    }
    const BinSpectrum& threshold;
    BinSpectrum floor;
};

}  // namespace

WalkResult Engine::DetectNoise(Wave& wave, BinSpectrum& profile0, BinSpectrum& profile1, int parts,
                               int seconds) {
    BusyCursor busy(ports_.dialogs);
    const int channels = std::min<int>(wave.Channels(), 2);
    const int window = WindowHops(wave.SampleRate(), seconds);
    profile0.fill(0.0f);
    profile1.fill(0.0f);
    const std::int64_t hops = wave.FrameCount() / Hop;
    // Hop 0 reaches into the leading margin and hop `hops` into the trailing one: neither is
    // searched, and a document too short for one search hop leaves the profiles zero.
    const std::int64_t lastSearch = hops - 1;
    BlockWalk walk(*this, Texts().NoiseDetectionTitle, hops);
    if (channels >= 1 && lastSearch >= window + 1) {
        std::vector<SpectrumRing> rings;
        rings.reserve(2);
        for (int c = 0; c < channels; ++c) rings.emplace_back(static_cast<std::uint16_t>(window));
        std::vector<BinSpectrum> candidates(2, BinSpectrum{});
        std::array<BinSpectrum*, 2> profiles{&profile0, &profile1};
        // With more parts than searched hops every hop ends a part of its own.
        const std::int64_t interval = (lastSearch - window) / std::max(parts, 1);
        auto endsPart = [&](std::int64_t h) {
            return interval == 0 || (h - window) % interval == 0;
        };
        // Hop h of channel c into its ring.
        auto addHop = [&](int c, std::int64_t h) {
            HopLane& lane = lanes_[c];
            wave.ReadChannel(lane.block.data(), h * Hop, c, BlockSize);
            rings[c].AddTransform(lane.fourier, lane.block.data());
        };
        // Channel 0 picks the window for both channels, so the profiles stay aligned: both
        // channels' records are set and reset together, so they win together.
        float quietest = NoLevelYet;
        auto judge = [&] {
            const std::optional<float> level = rings[0].LevelBelow(quietest);
            if (level) quietest = *level;
            return level.has_value();
        };
        auto keep = [&](int c, std::int64_t h, bool quieter) {
            if (quieter) rings[c].MaxSpectrum(candidates[c]);
            if (endsPart(h)) TakeLarger(*profiles[c], candidates[c]);
        };
        // Reports a searched hop; false once cancelled. Detection keeps the window alive at
        // every hop.
        auto report = [&](std::int64_t h) {
            walk.Step(h);
            walk.ProcessEvents();
            return !walk.CancelRequested();
        };
        if (ChannelWorker* worker = PairWorker(channels)) {
            // Each channel on a thread of its own, store reads included. Channel 1 takes a hop
            // once channel 0 has judged it, so its ring still holds that hop's window when the
            // judgement says to keep it.
            HopPacer pacer(PacerLead(channels), 1);
            std::array<bool, 64> quieterAt{};
            auto walkLane = [&](int c) {
                try {
                    for (std::int64_t h = 1; h <= lastSearch; ++h) {
                        if (!pacer.MayStart(c, h)) return;
                        addHop(c, h);
                        if (h > window) {
                            bool& quieter = quieterAt[static_cast<std::size_t>(h % 64)];
                            if (c == 0) quieter = judge();
                            keep(c, h, quieter);
                            if (c == 0 && endsPart(h)) quietest = NoLevelYet;
                        }
                        // Channel 1 may take hop h now, and only a report that goes on lets it
                        // take the next.
                        pacer.Finished(c, h);
                        if (c == 0 && h > window && !report(h)) {
                            pacer.EndAfter(h);
                            return;
                        }
                    }
                } catch (...) {
                    pacer.Abandon();  // the other thread must not wait for this one
                    throw;
                }
            };
            worker->RunBoth([&] { walkLane(0); }, [&] { walkLane(1); });
        } else {
            for (std::int64_t h = 1; h <= window; ++h)
                for (int c = 0; c < channels; ++c) addHop(c, h);
            for (std::int64_t h = window + 1; h <= lastSearch; ++h) {
                for (int c = 0; c < channels; ++c) addHop(c, h);
                const bool quieter = judge();
                for (int c = 0; c < channels; ++c) keep(c, h, quieter);
                if (endsPart(h)) quietest = NoLevelYet;
                if (!report(h)) break;
            }
        }
    }
    return walk.Finish();
}

void Engine::ScaleNoiseProfile(Wave& wave, BinSpectrum& profile0, BinSpectrum& profile1,
                               int percent) {
    const float s = static_cast<float>(percent) / 100.0f;
    std::vector<float> scaled(SpectrumBins);
    ScaleAndWiden(profile0, s, scaled);
    if (wave.Channels() >= 2) ScaleAndWiden(profile1, s, scaled);
}

WalkResult Engine::RemoveNoise(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                               const BinSpectrum& profile1, SpectrumTally* written) {
    BusyCursor busy(ports_.dialogs);
    auto output = CreateOutput(*wave);
    BlockWalk walk(*this, Texts().NoiseRemovalTitle, WalkUnits(*wave, true));
    std::vector<NoiseThreshold> thresholds;
    thresholds.reserve(2);
    thresholds.emplace_back(profile0);
    thresholds.emplace_back(profile1);
    if (!fastPaths_) written = nullptr;
    if (written) written->Reset();
    WalkHops(
        *wave, output.get(), walk, true,
        [&thresholds](int channel, Complex* x) {
            if (channel > 1) return;  // no profile: only windowed and overlap-added
            thresholds[channel].SubtractFrom(x);
        },
        written);
    const WalkResult result = walk.Finish();
    if (written && result == WalkResult::Completed) written->SetOf(output.get());
    return Replace(wave, output, result);
}

}  // namespace sv
