#pragma once
// Store values times a channel gain: the one rounding normalizing uses, whether it rewrites the
// document or the save applies the gains while it encodes.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>

namespace sv {

// v * gain rounded to nearest, ties to even.
inline std::int32_t ScaledValue(std::int32_t v, float gain) {
    // A value below 2^29 times a single fits the 53 bits of a double exactly; only larger values
    // need the wider product to round right. The SSE2 conversion is lrint under the default
    // rounding mode, minus the library call lrint becomes where errno is kept.
    if (v < (1 << 29) && v > -(1 << 29)) {
        const double product = static_cast<double>(v) * static_cast<double>(gain);
#if defined(__SSE2__)
        return static_cast<std::int32_t>(_mm_cvtsd_si64(_mm_set_sd(product)));
#else
        return static_cast<std::int32_t>(std::lrint(product));
#endif
    }
    return static_cast<std::int32_t>(std::lrint(static_cast<long double>(v) * gain));
}

// ScaleValues on the first values, four at a time, where the CPU has AVX2: returns how many (a
// multiple of four), 0 elsewhere.
std::int64_t ScaleValuesWide(std::int32_t* values, std::int64_t count, float gainA, float gainB);

// Scales values at even positions by gainA and those at odd ones by gainB. Two at a time where
// both take ScaledValue's exact double path and fit 32 bits, so the bits are ScaledValue's; any
// other pair goes through ScaledValue itself.
inline void ScaleValues(std::int32_t* values, std::int64_t count, float gainA, float gainB) {
    std::int64_t i = ScaleValuesWide(values, count, gainA, gainB);
#if defined(__SSE2__)
    const __m128d gains = _mm_set_pd(static_cast<double>(gainB), static_cast<double>(gainA));
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffff));
    const __m128d smallValue = _mm_set1_pd(536870912.0);  // 2^29, ScaledValue's exact path
    const __m128d int32Top = _mm_set1_pd(2147483647.0);   // beyond it the conversions differ
    for (; i + 2 <= count; i += 2) {
        std::int64_t pair;
        std::memcpy(&pair, values + i, 8);
        const __m128d v = _mm_cvtepi32_pd(_mm_cvtsi64_si128(pair));
        const __m128d product = _mm_mul_pd(v, gains);
        const __m128d exact = _mm_and_pd(_mm_cmplt_pd(_mm_and_pd(v, magnitude), smallValue),
                                         _mm_cmple_pd(_mm_and_pd(product, magnitude), int32Top));
        if (_mm_movemask_pd(exact) == 3) {
            pair = _mm_cvtsi128_si64(_mm_cvtpd_epi32(product));
            std::memcpy(values + i, &pair, 8);
        } else {
            values[i] = ScaledValue(values[i], gainA);
            values[i + 1] = ScaledValue(values[i + 1], gainB);
        }
    }
#endif
    for (; i < count; i += 2) {
        values[i] = ScaledValue(values[i], gainA);
        if (i + 1 < count) values[i + 1] = ScaledValue(values[i + 1], gainB);
    }
}

// Scales count interleaved values by their channel's gain; values[0] is of channel firstChannel.
inline void ScaleInterleaved(std::int32_t* values, std::int64_t count, int firstChannel,
                             std::span<const float> gains) {
    const auto channels = static_cast<std::int64_t>(gains.size());
    if (channels <= 2) {  // the pattern of two neighbours repeats
        const float first = gains[static_cast<std::size_t>(firstChannel)];
        ScaleValues(values, count, first,
                    gains[static_cast<std::size_t>((firstChannel + 1) % channels)]);
        return;
    }
    for (std::int64_t c = 0; c < channels; ++c) {
        const float gain = gains[static_cast<std::size_t>(c)];
        for (std::int64_t i = (c - firstChannel + channels) % channels; i < count; i += channels)
            values[i] = ScaledValue(values[i], gain);
    }
}

}  // namespace sv
