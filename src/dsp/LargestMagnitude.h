#pragma once
// The largest |value| of a strided run of sample values, written so that it vectorises.
#include <algorithm>
#include <cstdint>

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

}  // namespace sv
