#pragma once
// Store values times a channel gain: the one rounding normalizing uses, whether it rewrites the
// document or the save applies the gains while it encodes.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstdint>
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

// Scales count interleaved values by their channel's gain; values[0] is of channel firstChannel.
inline void ScaleInterleaved(std::int32_t* values, std::int64_t count, int firstChannel,
                             std::span<const float> gains) {
    const auto channels = static_cast<std::int64_t>(gains.size());
    for (std::int64_t c = 0; c < channels; ++c) {
        const float gain = gains[static_cast<std::size_t>(c)];
        for (std::int64_t i = (c - firstChannel + channels) % channels; i < count; i += channels)
            values[i] = ScaledValue(values[i], gain);
    }
}

}  // namespace sv
