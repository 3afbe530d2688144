#include "audio/SampleEncoding.h"

#include "base/CpuFeatures.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sv {

#if defined(__x86_64__)
namespace {

// v / 256 rounded toward zero is (v + 255) >> 8 for negative v; the pack limits to 16 bits.
[[gnu::target("avx2")]] std::int64_t EncodeSigned16Avx2(const std::int32_t* values,
                                                        unsigned char* raw, std::int64_t count) {
    std::int64_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m256i q[2];
        for (int h = 0; h < 2; ++h) {
            const __m256i v =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i + 8 * h));
            const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(v, 31), _mm256_set1_epi32(255));
            q[h] = _mm256_srai_epi32(_mm256_add_epi32(v, bias), 8);
        }
        // The pack interleaves the halves' 128-bit lanes; the permute puts them back in order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(q[0], q[1]), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(raw + 2 * i), packed);
    }
    return i;
}

}  // namespace
#endif

std::int64_t EncodeSigned16Wide(const std::int32_t* values, unsigned char* raw,
                                std::int64_t count) {
#if defined(__x86_64__)
    if (CpuHasAvx2()) return EncodeSigned16Avx2(values, raw, count);
#endif
    (void)values;
    (void)raw;
    (void)count;
    return 0;
}

const char* EncodingName(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            return "PCM 8-bit";
        case SampleEncoding::Signed16:
            return "PCM 16-bit";
        case SampleEncoding::Signed24:
            return "PCM 24-bit";
        case SampleEncoding::Signed32:
            return "PCM 32-bit";
        case SampleEncoding::Float32:
            return "float 32-bit";
    }
    return "unknown";
}

}  // namespace sv
