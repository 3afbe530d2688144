// Noise removal: find the quietest stretch, take its spectrum as the noise profile, subtract it.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
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
//
// A hop's spectrum is a real block's: bin SpectrumBins - k is the conjugate of bin k. With
// lowerHalf the spectrum comes with bins up to the middle only. Where the profile too is the
// same at both bins, the upper bin's result is the conjugate of the lower one's (the operations
// are symmetric in the sign of the imaginary part), so only the bins up to the middle are
// worked out and the rest mirrored, but for the few upper bins whose profile differs from their
// partner's (widening leaves bins 0, 1, n - 2 and n - 1 as they were), worked out from their own
// values. Where a result is 0 the mirror may differ from the full subtraction in the sign of an
// imaginary zero, which the inverse transform's integer samples never show.
struct NoiseThreshold {
    static constexpr int Half = SpectrumBins / 2;
    static constexpr std::size_t MostOwnBins = 16;

    NoiseThreshold(const BinSpectrum& profile, bool lowerHalf)
        : threshold(profile), lowerHalf_(lowerHalf) {
        for (int k = 0; k < SpectrumBins; ++k)
            floor[k] = threshold[k] / ComplexMath::NoiseFloorScale;
        mirrored_ = lowerHalf;
        for (int k = Half + 1; k < SpectrumBins && mirrored_; ++k) {
            if (SameBits(threshold[k], threshold[SpectrumBins - k]) &&
                SameBits(floor[k], floor[SpectrumBins - k]))
                continue;
            if (ownCount_ == MostOwnBins)
                mirrored_ = false;  // a profile of another shape
            else
                ownBins_[ownCount_++] = k;
        }
    }
    void SubtractFrom(Complex* x) const {
        if (!mirrored_) {
            if (lowerHalf_) binloops::MirrorConjugates(x, SpectrumBins);
            binloops::SubtractNoise(x, threshold.data(), floor.data(), SpectrumBins);
            return;
        }
        std::array<Complex, MostOwnBins> own;
        for (std::size_t i = 0; i < ownCount_; ++i) {
            const int k = ownBins_[i];
            own[i] = {x[SpectrumBins - k].Re, -x[SpectrumBins - k].Im};
            binloops::SubtractNoise(&own[i], threshold.data() + k, floor.data() + k, 1);
        }
        binloops::SubtractNoise(x, threshold.data(), floor.data(), Half + 1);
        binloops::MirrorConjugates(x, SpectrumBins);
        for (std::size_t i = 0; i < ownCount_; ++i) x[ownBins_[i]] = own[i];
    }
    const BinSpectrum& threshold;
    BinSpectrum floor;

  private:
    static bool SameBits(float a, float b) {
        return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
    }
    bool lowerHalf_;
    bool mirrored_ = false;
    std::array<int, MostOwnBins> ownBins_{};
    std::size_t ownCount_ = 0;
};

// The search for the quietest window of hops, channel 0 choosing for both channels: a window
// quieter than any before in its part is kept; at the end of each part the largest kept value
// of every bin goes into the profile. Both channels' records are set and reset together, so the
// profiles stay aligned.
//
// Channel 1 follows channel 0's judgements in hop order, whenever they are there: its ring holds
// `ahead` more hops than a window, so that it may run that many hops before the judgement of a
// hop it still has to keep.
class QuietestWindowSearch final : public HopStage {
  public:
    QuietestWindowSearch(Wave& wave, int channels, int window, std::int64_t lastSearch, int parts,
                         std::array<BinSpectrum*, 2> profiles, int ahead)
        : wave_(wave),
          window_(window),
          // With more parts than searched hops every hop ends a part of its own.
          interval_((lastSearch - window) / std::max(parts, 1)),
          profiles_(profiles),
          candidates_(2, BinSpectrum{}) {
        rings_.reserve(2);
        for (int c = 0; c < channels; ++c)
            rings_.emplace_back(static_cast<std::uint16_t>(window + (c == 1 ? ahead : 0)));
    }

    void Hop(HopLane& lane, int c, std::int64_t h) override {
        rings_[c].AddTransform(lane.fourier, lane.ReadHop(wave_, c, h, Engine::BlockSize));
        if (c == 1) {
            newest1_ = h;
            FollowJudgements(judged_.load(std::memory_order_acquire));
            return;
        }
        if (h > window_) {
            const bool quieter = Judge();
            quieterAt_[static_cast<std::size_t>(h % QuieterSlots)] = quieter;
            if (quieter) rings_[0].MaxSpectrum(candidates_[0]);
            if (EndsPart(h)) {
                TakeLarger(*profiles_[0], candidates_[0]);
                quietest_ = NoLevelYet;
            }
        }
        judged_.store(h, std::memory_order_release);
    }

    // The judgements channel 1 has not followed yet: of the hops after its last one.
    void Finish(bool) override {
        if (rings_.size() == 2) FollowJudgements(judged_.load(std::memory_order_acquire));
    }

  private:
    // Channel 1 keeps and flushes as channel 0 did, up to hop judged.
    void FollowJudgements(std::int64_t judged) {
        for (; followed_ < std::min(judged, newest1_); ++followed_) {
            const std::int64_t h = followed_ + 1;
            if (h <= window_) continue;
            if (quieterAt_[static_cast<std::size_t>(h % QuieterSlots)])
                rings_[1].MaxSpectrumOfRecent(window_, static_cast<int>(newest1_ - h),
                                              candidates_[1]);
            if (EndsPart(h)) TakeLarger(*profiles_[1], candidates_[1]);
        }
    }
    bool EndsPart(std::int64_t h) const { return interval_ == 0 || (h - window_) % interval_ == 0; }
    bool Judge() {
        const std::optional<float> level = rings_[0].LevelBelow(quietest_);
        if (level) quietest_ = *level;
        return level.has_value();
    }

    // More than the hops channel 0 may be ahead of the judgements channel 1 follows.
    static constexpr int QuieterSlots = 64;
    Wave& wave_;
    const int window_;
    const std::int64_t interval_;
    std::array<BinSpectrum*, 2> profiles_;
    std::vector<SpectrumRing> rings_;
    std::vector<BinSpectrum> candidates_;
    float quietest_ = NoLevelYet;
    std::array<bool, QuieterSlots> quieterAt_{};
    // The last hop channel 0 has judged (published with its judgement) and the last one
    // channel 1 has added and followed.
    std::atomic<std::int64_t> judged_{0};
    std::int64_t newest1_ = 0;
    std::int64_t followed_ = 0;
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
        // Channel 1 may run ahead of channel 0 where either thread may lead; else it trails.
        const bool eitherLeads = options_.EitherThreadLeads && Paired(channels);
        const std::int64_t lead = PacerLead(channels);
        QuietestWindowSearch search(wave, channels, window, lastSearch, parts,
                                    {&profile0, &profile1},
                                    eitherLeads ? static_cast<int>(lead) + 1 : 0);
        // Only the searched hops are reported.
        WalkHops(search, wave, 1, lastSearch, channels, eitherLeads ? 0 : 1,
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
    const bool lowerHalf = options_.FastPaths;
    thresholds.emplace_back(profile0, lowerHalf);
    thresholds.emplace_back(profile1, lowerHalf);
    return RemoveNoiseWith(
        wave, [&thresholds](int channel, Complex* x) { thresholds[channel].SubtractFrom(x); },
        context, lowerHalf);
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
                                   ChainContext& context, bool lowerHalf) {
    BusyCursor busy(ports_.dialogs);
    auto output = CreateOutput(*wave, context);
    BlockWalk walk(*this, ProcessingStep::RemovingNoise, WalkUnits(*wave, true));
    FilterHops(
        *wave, *output, walk,
        [&perBin, lowerHalf](int channel, Complex* x) {
            if (channel <= 1) return perBin(channel, x);
            // No profile: only windowed and overlap-added.
            if (lowerHalf) binloops::MirrorConjugates(x, SpectrumBins);
        },
        context, lowerHalf);
    return Replace(wave, output, walk.Finish(), context);
}

}  // namespace sv
