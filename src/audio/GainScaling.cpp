#include "audio/GainScaling.h"

#include "base/CpuFeatures.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sv {

#if defined(__x86_64__)
namespace {

// The two-at-a-time loop of ScaleValues four wide: the same operations on every value.
[[gnu::target("avx2")]] std::int64_t ScaleValuesAvx2(std::int32_t* values, std::int64_t count,
                                                     float gainA, float gainB) {
    const double a = gainA, b = gainB;
    const __m256d gains = _mm256_setr_pd(a, b, a, b);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
    const __m256d smallValue = _mm256_set1_pd(536870912.0);
    const __m256d int32Top = _mm256_set1_pd(2147483647.0);
    std::int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        auto* four = reinterpret_cast<__m128i*>(values + i);
        const __m256d v = _mm256_cvtepi32_pd(_mm_loadu_si128(four));
        const __m256d product = _mm256_mul_pd(v, gains);
        const __m256d exact =
            _mm256_and_pd(_mm256_cmp_pd(_mm256_and_pd(v, magnitude), smallValue, _CMP_LT_OQ),
                          _mm256_cmp_pd(_mm256_and_pd(product, magnitude), int32Top, _CMP_LE_OQ));
        if (_mm256_movemask_pd(exact) == 15) {
            _mm_storeu_si128(four, _mm256_cvtpd_epi32(product));
        } else {
            for (int k = 0; k < 4; ++k)
                values[i + k] = ScaledValue(values[i + k], k % 2 == 0 ? gainA : gainB);
        }
    }
    return i;
}

}  // namespace
#endif

std::int64_t ScaleValuesWide(std::int32_t* values, std::int64_t count, float gainA, float gainB) {
#if defined(__x86_64__)
    if (CpuHasAvx2()) return ScaleValuesAvx2(values, count, gainA, gainB);
#endif
    (void)values;
    (void)count;
    (void)gainA;
    (void)gainB;
    return 0;
}

}  // namespace sv
