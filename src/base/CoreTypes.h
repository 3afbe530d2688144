#pragma once
// Shared value types of the whole core.
#include <array>
#include <cstdint>
#include <vector>

namespace sv {

using Int32Array = std::vector<std::int32_t>;
using FloatArray = std::vector<float>;
using DoubleArray = std::vector<double>;

// One value per bin of the 16384-point transform; linear magnitudes or gains.
inline constexpr int SpectrumBins = 16384;
using BinSpectrum = std::array<float, SpectrumBins>;

// Silent frames kept before and after every recording in its store.
inline constexpr std::int64_t MarginFrames = 8192;

}  // namespace sv
