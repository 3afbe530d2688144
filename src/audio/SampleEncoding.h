#pragma once
// How samples are laid out in a WAV data chunk, and their conversion to and from the store's
// values. The store holds every depth above 8 bits at one scale: 16-bit samples times 256, 24-bit
// samples as they are, 32-bit samples by their top 24 bits, floats times 2^23.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace sv {

static_assert(std::endian::native == std::endian::little, "samples are copied in host order");

enum class SampleEncoding { Unsigned8, Signed16, Signed24, Signed32, Float32 };

constexpr std::uint16_t WavePcmTag = 1;
constexpr std::uint16_t WaveFloatTag = 3;
constexpr std::uint16_t WaveExtensibleTag = 0xFFFE;

constexpr int EncodedBytes(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            return 1;
        case SampleEncoding::Signed16:
            return 2;
        case SampleEncoding::Signed24:
            return 3;
        default:
            return 4;
    }
}

// The store value of full scale: 2^15 for 8-bit documents, 2^23 for all others.
constexpr std::int64_t StoreFullScale(SampleEncoding encoding) {
    return encoding == SampleEncoding::Unsigned8 ? std::int64_t{1} << 15 : std::int64_t{1} << 23;
}

const char* EncodingName(SampleEncoding encoding);

// One float sample (full scale 1.0) as a store value. The store's headroom holds ±256.0; beyond
// that (and NaN) the value saturates.
inline std::int32_t FloatToStore(float f) {
    const double scaled = static_cast<double>(f) * 8388608.0;
    return std::isnan(scaled) ? 0
                              : static_cast<std::int32_t>(
                                    std::lrint(std::clamp(scaled, -2147483648.0, 2147483647.0)));
}

// Returns how many of the samples were infinite (stored as ±256.0), which the caller reports.
inline std::int64_t DecodeFloats(const float* samples, std::int32_t* values, std::int64_t count) {
    std::int64_t infinite = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        values[i] = FloatToStore(samples[i]);
        infinite += std::isinf(samples[i]);
    }
    return infinite;
}

// Converts count file samples at raw to store values; returns how many were infinite floats.
inline std::int64_t DecodeSamples(SampleEncoding encoding, const unsigned char* raw,
                                  std::int32_t* values, std::int64_t count) {
    std::int64_t infinite = 0;
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            for (std::int64_t i = 0; i < count; ++i) values[i] = (raw[i] - 128) * 256;
            break;
        case SampleEncoding::Signed16:
            for (std::int64_t i = 0; i < count; ++i) {
                std::int16_t sample;
                std::memcpy(&sample, raw + 2 * i, 2);
                values[i] = sample * 256;
            }
            break;
        case SampleEncoding::Signed24:
            for (std::int64_t i = 0; i < count; ++i) {
                const unsigned char* p = raw + 3 * i;
                const std::uint32_t u = p[0] | (p[1] << 8) | (std::uint32_t{p[2]} << 16);
                values[i] = static_cast<std::int32_t>(u << 8) >> 8;
            }
            break;
        case SampleEncoding::Signed32:
            for (std::int64_t i = 0; i < count; ++i) {
                std::int32_t sample;
                std::memcpy(&sample, raw + 4 * i, 4);
                values[i] = sample >> 8;
            }
            break;
        case SampleEncoding::Float32:
            for (std::int64_t i = 0; i < count; ++i) {
                float f;
                std::memcpy(&f, raw + 4 * i, 4);  // little-endian hosts only, as everywhere here
                values[i] = FloatToStore(f);
                infinite += std::isinf(f);
            }
            break;
    }
    return infinite;
}

// Encodes the first values as 16-bit samples, as EncodeSamples does, where the CPU has AVX2:
// returns how many (a multiple of 16), 0 elsewhere.
std::int64_t EncodeSigned16Wide(const std::int32_t* values, unsigned char* raw, std::int64_t count);

// Converts count store values to file samples at raw, limited to the file's range.
inline void EncodeSamples(SampleEncoding encoding, const std::int32_t* values, unsigned char* raw,
                          std::int64_t count) {
    auto put = [](unsigned char* p, std::uint32_t v, int bytes) {
        for (int b = 0; b < bytes; ++b) p[b] = static_cast<unsigned char>(v >> (8 * b));
    };
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            for (std::int64_t i = 0; i < count; ++i)
                raw[i] = static_cast<unsigned char>(std::clamp(values[i] / 256 + 128, 0, 255));
            break;
        case SampleEncoding::Signed16:
            // Whole samples stored at once: the loop vectorises, unlike byte-by-byte stores.
            for (std::int64_t i = EncodeSigned16Wide(values, raw, count); i < count; ++i) {
                const auto sample =
                    static_cast<std::int16_t>(std::clamp(values[i] / 256, -32768, 32767));
                std::memcpy(raw + 2 * i, &sample, 2);
            }
            break;
        case SampleEncoding::Signed24:
            for (std::int64_t i = 0; i < count; ++i)
                put(raw + 3 * i,
                    static_cast<std::uint32_t>(std::clamp(values[i], -8388608, 8388607)), 3);
            break;
        case SampleEncoding::Signed32:
            for (std::int64_t i = 0; i < count; ++i) {
                const std::uint32_t sample =
                    static_cast<std::uint32_t>(std::clamp(values[i], -8388608, 8388607)) << 8;
                std::memcpy(raw + 4 * i, &sample, 4);
            }
            break;
        case SampleEncoding::Float32:
            for (std::int64_t i = 0; i < count; ++i) {
                const float f = static_cast<float>(static_cast<double>(values[i]) / 8388608.0);
                std::memcpy(raw + 4 * i, &f, 4);
            }
            break;
    }
}

}  // namespace sv
