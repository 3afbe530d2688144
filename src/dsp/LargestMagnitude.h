#pragma once
// The largest |value| of runs of sample values, written so that it vectorises.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace sv {

// Largest |values[i x stride]| for i = 0 .. count - 1 (0 for none). Unsigned magnitudes:
// |INT32_MIN| fits.
inline std::uint32_t LargestMagnitude(const std::int32_t* values, std::int64_t count,
                                      std::int64_t stride = 1) {
    std::uint32_t best = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int32_t v = values[i * stride];
        const auto u = static_cast<std::uint32_t>(v);
        best = std::max(best, v < 0 ? 0u - u : u);
    }
    return best;
}

// LargestMagnitude(values, count) in vector lanes where the processor has them.
std::uint32_t LargestMagnitudeOfRun(const std::int32_t* values, std::int64_t count);

// For count values interleaved from peaks.size() channels, value i being of channel
// (first + i) % channels: raises each channel's peak to the largest |value| of that channel.
void TakeChannelPeaks(std::vector<std::int64_t>& peaks, const std::int32_t* values,
                      std::int64_t first, std::int64_t count);

}  // namespace sv
