#include "dsp/LargestMagnitude.h"

#include <algorithm>
#include <array>

#include "dsp/FFTRadix4.h"

namespace sv {
namespace {

constexpr int Lanes = 8;
using LanePeaks = std::array<std::uint32_t, Lanes>;

// lanes[i % 8] takes |values[i]|: one contiguous pass the compiler vectorises, where a strided
// pass per channel could not be.
[[gnu::always_inline]] inline void TakeLanePeaksLoop(LanePeaks& lanes,
                                                     const std::int32_t* __restrict values,
                                                     std::int64_t count) {
    LanePeaks best = lanes;
    std::int64_t i = 0;
    for (; i + Lanes <= count; i += Lanes)
        for (int l = 0; l < Lanes; ++l) {
            const std::int32_t v = values[i + l];
            const auto u = static_cast<std::uint32_t>(v);
            best[l] = std::max(best[l], v < 0 ? 0u - u : u);
        }
    for (int l = 0; i < count; ++i, ++l) {
        const std::int32_t v = values[i];
        const auto u = static_cast<std::uint32_t>(v);
        best[l] = std::max(best[l], v < 0 ? 0u - u : u);
    }
    lanes = best;
}

void TakeLanePeaksNarrow(LanePeaks& lanes, const std::int32_t* values, std::int64_t count) {
    TakeLanePeaksLoop(lanes, values, count);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void TakeLanePeaksWide(LanePeaks& lanes, const std::int32_t* values,
                                               std::int64_t count) {
    TakeLanePeaksLoop(lanes, values, count);
}
#endif

void TakeLanePeaks(LanePeaks& lanes, const std::int32_t* values, std::int64_t count) {
#if defined(__x86_64__)
    if (fftkernel::CpuHasWideVectors()) return TakeLanePeaksWide(lanes, values, count);
#endif
    TakeLanePeaksNarrow(lanes, values, count);
}

}  // namespace

std::uint32_t LargestMagnitudeOfRun(const std::int32_t* values, std::int64_t count) {
    LanePeaks lanes{};
    TakeLanePeaks(lanes, values, count);
    return *std::max_element(lanes.begin(), lanes.end());
}

void TakeChannelPeaks(std::vector<std::int64_t>& peaks, const std::int32_t* values,
                      std::int64_t first, std::int64_t count) {
    const int channels = static_cast<int>(peaks.size());
    if (channels == 0 || count <= 0) return;
    if (Lanes % channels != 0) {
        for (int k = 0; k < channels && k < count; ++k) {
            auto& peak = peaks[static_cast<std::size_t>((first + k) % channels)];
            peak = std::max<std::int64_t>(
                peak,
                LargestMagnitude(values + k, (count - k + channels - 1) / channels, channels));
        }
        return;
    }
    // Lane l holds values of channel (first + l) % channels only, as channels divides 8.
    LanePeaks lanes{};
    TakeLanePeaks(lanes, values, count);
    for (int l = 0; l < Lanes; ++l) {
        auto& peak = peaks[static_cast<std::size_t>((first + l) % channels)];
        peak = std::max<std::int64_t>(peak, lanes[static_cast<std::size_t>(l)]);
    }
}

}  // namespace sv
