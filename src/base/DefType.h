#pragma once
// Shared value types of the whole core.
#include <array>
#include <cstdint>
#include <vector>

namespace sv {

using TArrayOfLongint = std::vector<std::int32_t>;
using TArrayOfSingle = std::vector<float>;
using TArrayOfDouble = std::vector<double>;

// One value per bin of the 16384-point transform; linear magnitudes or gains.
inline constexpr int SpectrumBins = 16384;
using TBinSpectrum = std::array<float, SpectrumBins>;

// Silent frames kept before and after every recording in its store.
inline constexpr std::int64_t MarginFrames = 8192;

}  // namespace sv
