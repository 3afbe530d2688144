#include "loudness/OversampledPeak.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sv {

namespace {

using V8 = float __attribute__((vector_size(32)));
using V16 = float __attribute__((vector_size(64)));

// groups phases share each load of x. No fused multiply-add: each output is the same sum of
// rounded products, in tap order, as a plain scalar loop gives.
template <typename V, int Groups>
[[gnu::always_inline]] inline void PhaseGroup(const float* h, const float* x, int count, V& high,
                                              V& low, float& tail) {
    constexpr int Width = sizeof(V) / sizeof(float);
    constexpr int Vectors = OversampledChunk / Width;
    V acc[Groups][Vectors] = {};
    for (int k = 0; k < OversamplingTaps; ++k) {
        V xs[Vectors];
        std::memcpy(xs, x + (OversamplingTaps - 1 - k), sizeof xs);
        for (int g = 0; g < Groups; ++g) {
            const V hk = V{} + h[g * OversamplingTaps + k];
            for (int v = 0; v < Vectors; ++v) acc[g][v] += hk * xs[v];
        }
    }
    for (int g = 0; g < Groups; ++g) {
        if (count == OversampledChunk) {
            for (int v = 0; v < Vectors; ++v) {
                high = acc[g][v] > high ? acc[g][v] : high;
                low = acc[g][v] < low ? acc[g][v] : low;
            }
        } else {
            float y[OversampledChunk];
            std::memcpy(y, acc[g], sizeof y);
            for (int i = 0; i < count; ++i) tail = std::max(tail, std::abs(y[i]));
        }
    }
}

template <typename V, int Groups>
[[gnu::always_inline]] inline float ChunkPeak(const float* h, int phases, const float* x,
                                              int count) {
    V high{}, low{};
    float peak = 0.0f;
    int p = 0;
    for (; p + Groups <= phases; p += Groups)
        PhaseGroup<V, Groups>(h + p * OversamplingTaps, x, count, high, low, peak);
    for (; p < phases; ++p) PhaseGroup<V, 1>(h + p * OversamplingTaps, x, count, high, low, peak);
    constexpr int Width = sizeof(V) / sizeof(float);
    for (int i = 0; i < Width; ++i) peak = std::max({peak, high[i], -low[i]});
    return peak;
}

#if defined(__x86_64__)
[[gnu::target("avx512f")]] float ChunkPeakAvx512(const float* h, int phases, const float* x,
                                                 int count) {
    return ChunkPeak<V16, 4>(h, phases, x, count);
}

[[gnu::target("avx2")]] float ChunkPeakAvx2(const float* h, int phases, const float* x, int count) {
    return ChunkPeak<V8, 2>(h, phases, x, count);
}
#endif

float ChunkPeakPortable(const float* h, int phases, const float* x, int count) {
    return ChunkPeak<V8, 2>(h, phases, x, count);
}

using ChunkPeakFunction = float (*)(const float*, int, const float*, int);

ChunkPeakFunction Widest() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512f")) return ChunkPeakAvx512;
    if (__builtin_cpu_supports("avx2")) return ChunkPeakAvx2;
#endif
    return ChunkPeakPortable;
}

}  // namespace

float OversampledPeak(const float* h, int phases, const float* x, int count) {
    static const ChunkPeakFunction widest = Widest();
    return widest(h, phases, x, count);
}

}  // namespace sv
