// Noise removal: find the quietest stretch, take its spectrum as the noise profile, subtract it.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dsp/Engine.h"
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

// ComplexMath::SubtractNoise for every bin, four bins at a time where SSE is there (the same
// single-precision operations in the same order, so the same results).
void SubtractNoise(Complex* x, const BinSpectrum& profile) {
    int k = 0;
#if defined(__SSE2__)
    const __m128 one = _mm_set1_ps(1.0f), floorScale = _mm_set1_ps(ComplexMath::NoiseFloorScale);
    for (; k + 4 <= SpectrumBins; k += 4) {
        float* z = &x[k].Re;
        const __m128 lo = _mm_loadu_ps(z), hi = _mm_loadu_ps(z + 4);
        const __m128 re = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 im = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
        const __m128 t = _mm_loadu_ps(&profile[k]);
        const __m128 m = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(re, re), _mm_mul_ps(im, im)));
        const __m128 r = _mm_div_ps(t, m);
        const __m128 c = _mm_div_ps(t, floorScale);
        const __m128 g =
            _mm_sub_ps(_mm_add_ps(_mm_sub_ps(one, _mm_mul_ps(r, r)), c), _mm_mul_ps(r, c));
        const __m128 keep = _mm_cmpgt_ps(m, t);  // false also for NaN, as in the scalar form
        const __m128 newRe = _mm_and_ps(keep, _mm_mul_ps(re, g));
        const __m128 newIm = _mm_and_ps(keep, _mm_mul_ps(im, g));
        _mm_storeu_ps(z, _mm_unpacklo_ps(newRe, newIm));
        _mm_storeu_ps(z + 4, _mm_unpackhi_ps(newRe, newIm));
    }
#endif
    for (; k < SpectrumBins; ++k) x[k] = ComplexMath::SubtractNoise(x[k], profile[k]);
}

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
    BlockWalk walk(*this, Texts().CaNoiseDetect, hops);
    if (channels >= 1 && lastSearch >= window + 1) {
        std::vector<SpectrumRing> rings;
        rings.reserve(2);
        for (int c = 0; c < channels; ++c) rings.emplace_back(static_cast<std::uint16_t>(window));
        std::vector<BinSpectrum> candidates(2, BinSpectrum{});
        std::array<BinSpectrum*, 2> profiles{&profile0, &profile1};
        ChannelWorker* worker = PairWorker(channels);
        // Hop h is read into block(h, c). With two threads the worker takes channel 0, whose
        // level is the longest task, while the caller does channel 1 and reads the next hop
        // into the other blocks.
        std::array<Int32Array, 2> spare;
        if (worker)
            for (auto& b : spare) b.resize(BlockSize);
        auto block = [&](std::int64_t h, int c) -> Int32Array& {
            return (h & 1) && worker ? spare[c] : lanes_[c].block;
        };
        auto read = [&](std::int64_t h) {
            for (int c = 0; c < channels; ++c)
                wave.ReadChannel(block(h, c).data(), h * Hop, c, BlockSize);
        };
        // Adds the read hop h of every channel to its ring and reads the next one; with measure,
        // returns channel 0's window level.
        auto addHop = [&](std::int64_t h, bool measure) {
            float level = 0.0f;
            auto add = [&](int c) {
                HopLane& lane = lanes_[c];
                lane.fourier.Forward(block(h, c).data(), lane.spectrum.data());
                rings[c].AddSpectrum(lane.spectrum.data());
                if (measure && c == 0) level = rings[0].MeanLevel();
            };
            const bool more = h < lastSearch;
            if (worker) {
                worker->RunBoth(
                    [&] {
                        add(1);
                        if (more) read(h + 1);
                    },
                    [&] { add(0); });
            } else {
                for (int c = 0; c < channels; ++c) add(c);
                if (more) read(h + 1);
            }
            return level;
        };
        read(1);
        for (std::int64_t h = 1; h <= window; ++h) addHop(h, false);

        // With more parts than searched hops every hop ends a part of its own.
        const std::int64_t interval = (lastSearch - window) / std::max(parts, 1);
        std::array<float, 2> quietest{NoLevelYet, NoLevelYet};
        for (std::int64_t h = window + 1; h <= lastSearch; ++h) {
            // Channel 0 picks the window for both channels, so the profiles stay aligned.
            const float level = addHop(h, true);
            // Both channels' records are set and reset together, so they win together.
            if (quietest[0] > level) {
                quietest.fill(level);
                if (worker)
                    worker->RunBoth([&] { rings[0].MaxSpectrum(candidates[0]); },
                                    [&] { rings[1].MaxSpectrum(candidates[1]); });
                else
                    for (int c = 0; c < channels; ++c) rings[c].MaxSpectrum(candidates[c]);
            }
            if (interval == 0 || (h - window) % interval == 0) {
                for (int c = 0; c < channels; ++c) TakeLarger(*profiles[c], candidates[c]);
                quietest.fill(NoLevelYet);
            }
            walk.Step(h);
            walk.ProcessEvents();  // detection keeps the window alive at every hop
            if (walk.CancelRequested()) break;
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
    BlockWalk walk(*this, Texts().CaNoiseRemove, WalkUnits(*wave, true));
    const std::array<const BinSpectrum*, 2> profiles{&profile0, &profile1};
    if (!fastPaths_) written = nullptr;
    if (written) written->Reset();
    WalkHops(
        *wave, output.get(), walk, true,
        [&profiles](int channel, Complex* x) {
            if (channel > 1) return;  // no profile: only windowed and overlap-added
            SubtractNoise(x, *profiles[channel]);
        },
        written);
    const WalkResult result = walk.Finish();
    if (written && result == WalkResult::Completed) written->SetOf(output.get());
    return Replace(wave, output, result);
}

}  // namespace sv
