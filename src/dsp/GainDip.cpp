#include "dsp/GainDip.h"

#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "dsp/FFTRadix4.h"

namespace sv::gaindip {
namespace {

[[gnu::always_inline]] inline std::int32_t DippedValue(std::int32_t w, double shape, double depth) {
    const double gain = 1.0 - shape * depth;
    return static_cast<std::int32_t>(std::lrint(static_cast<double>(w) * gain));
}

#if defined(__x86_64__)
// AVX2 without FMA: a fused multiply-add rounds once and would change results. The conversion
// rounds in the current rounding mode, as lrint does.
[[gnu::target("avx2")]] void DipWide(std::int32_t* values, const double* shape, std::int64_t count,
                                     double depth) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d d = _mm256_set1_pd(depth);
    std::int64_t t = 0;
    for (; t + 4 <= count; t += 4) {
        const __m256d gain = _mm256_sub_pd(one, _mm256_mul_pd(_mm256_loadu_pd(shape + t), d));
        const __m256d w =
            _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values + t)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(values + t),
                         _mm256_cvtpd_epi32(_mm256_mul_pd(w, gain)));
    }
    for (; t < count; ++t) values[t] = DippedValue(values[t], shape[t], depth);
}
#endif

}  // namespace

void DipOneByOne(std::int32_t* values, const double* shape, std::int64_t count, double depth) {
    for (std::int64_t t = 0; t < count; ++t) values[t] = DippedValue(values[t], shape[t], depth);
}

void Dip(std::int32_t* values, const double* shape, std::int64_t count, double depth) {
#if defined(__x86_64__)
    if (fftkernel::WideVectorsEnabled()) return DipWide(values, shape, count, depth);
#endif
    DipOneByOne(values, shape, count, depth);
}

}  // namespace sv::gaindip
