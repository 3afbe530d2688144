// Noise removal: find the quietest stretch, take its spectrum as the noise profile, subtract it.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "dsp/BinLoops.h"
#include "dsp/Engine.h"
#include "dsp/GainCurves.h"
#include "dsp/SmoothedNoiseGain.h"
#include "dsp/SpectrumRing.h"

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

// The search for the quietest window of hops, channel 0 choosing for both channels: a window
// quieter than any before in its part is kept; at the end of each part the largest kept value
// of every bin goes into the profile. Both channels' records are set and reset together, so the
// profiles stay aligned.
class QuietestWindowSearch final : public HopStage {
  public:
    QuietestWindowSearch(Wave& wave, int channels, int window, std::int64_t lastSearch, int parts,
                         std::array<BinSpectrum*, 2> profiles)
        : wave_(wave),
          window_(window),
          // With more parts than searched hops every hop ends a part of its own.
          interval_((lastSearch - window) / std::max(parts, 1)),
          profiles_(profiles),
          candidates_(2, BinSpectrum{}) {
        rings_.reserve(2);
        for (int c = 0; c < channels; ++c) rings_.emplace_back(static_cast<std::uint16_t>(window));
    }

    // Hop h of channel c into its ring; past the first window, judged (channel 0) and kept.
    // Channel 1 takes a hop once channel 0 has judged it, so its ring still holds that hop's
    // window when the judgement says to keep it.
    void Hop(HopLane& lane, int c, std::int64_t h) override {
        wave_.ReadChannel(lane.block.data(), h * Engine::Hop, c, Engine::BlockSize);
        rings_[c].AddTransform(lane.fourier, lane.block.data());
        if (h <= window_) return;
        bool& quieter = quieterAt_[static_cast<std::size_t>(h % 64)];
        if (c == 0) quieter = Judge();
        if (quieter) rings_[c].MaxSpectrum(candidates_[c]);
        if (!EndsPart(h)) return;
        TakeLarger(*profiles_[c], candidates_[c]);
        if (c == 0) quietest_ = NoLevelYet;
    }

  private:
    bool EndsPart(std::int64_t h) const { return interval_ == 0 || (h - window_) % interval_ == 0; }
    bool Judge() {
        const std::optional<float> level = rings_[0].LevelBelow(quietest_);
        if (level) quietest_ = *level;
        return level.has_value();
    }

    Wave& wave_;
    const int window_;
    const std::int64_t interval_;
    std::array<BinSpectrum*, 2> profiles_;
    std::vector<SpectrumRing> rings_;
    std::vector<BinSpectrum> candidates_;
    float quietest_ = NoLevelYet;
    std::array<bool, 64> quieterAt_{};
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
    BlockWalk walk(*this, ProcessingStep::DetectingNoise, hops);
    if (channels >= 1 && lastSearch >= window + 1) {
        QuietestWindowSearch search(wave, channels, window, lastSearch, parts,
                                    {&profile0, &profile1});
        // Only the searched hops are reported.
        WalkHops(search, wave, 1, lastSearch, channels, 1,
                 [&](std::int64_t h) { return h <= window || walk.Step(h); });
    }
    return walk.Finish();
}

void ScaleNoiseProfile(BinSpectrum& profile0, BinSpectrum& profile1, int percent, int channels) {
    const float s = static_cast<float>(percent) / 100.0f;
    std::vector<float> scaled(SpectrumBins);
    ScaleAndWiden(profile0, s, scaled);
    if (channels >= 2) ScaleAndWiden(profile1, s, scaled);
}

WalkResult Engine::RemoveNoise(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                               const BinSpectrum& profile1) {
    ChainContext none;
    return RemoveNoise(wave, profile0, profile1, none);
}

WalkResult Engine::RemoveNoise(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                               const BinSpectrum& profile1, ChainContext& context) {
    std::vector<NoiseThreshold> thresholds;
    thresholds.reserve(2);
    thresholds.emplace_back(profile0);
    thresholds.emplace_back(profile1);
    return RemoveNoiseWith(
        wave, [&thresholds](int channel, Complex* x) { thresholds[channel].SubtractFrom(x); },
        context);
}

WalkResult Engine::RemoveNoiseSmoothly(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                                       const BinSpectrum& profile1, ChainContext& context) {
    std::vector<SmoothedNoiseGain> gains;
    gains.reserve(2);
    gains.emplace_back(profile0);
    gains.emplace_back(profile1);
    return RemoveNoiseWith(
        wave, [&gains](int channel, Complex* x) { gains[channel].Apply(x); }, context);
}

WalkResult Engine::RemoveNoiseWith(std::unique_ptr<Wave>& wave,
                                   const std::function<void(int, Complex*)>& perBin,
                                   ChainContext& context) {
    BusyCursor busy(ports_.dialogs);
    auto output = CreateOutput(*wave, context);
    BlockWalk walk(*this, ProcessingStep::RemovingNoise, WalkUnits(*wave, true));
    FilterHops(
        *wave, *output, walk,
        [&perBin](int channel, Complex* x) {
            if (channel > 1) return;  // no profile: only windowed and overlap-added
            perBin(channel, x);
        },
        context);
    return Replace(wave, output, walk.Finish(), context);
}

}  // namespace sv
