#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "audio/SampleEncoding.h"

namespace sv {
namespace {

struct Sample {
    SampleEncoding encoding;
    std::int32_t value;               // store value to save
    std::vector<unsigned char> file;  // bytes in the file
    std::int32_t loaded;              // store value read back from those bytes
};

// Rounding toward zero, limiting at full scale and byte order at the edges of each range.
TEST(SampleEncoding, IntegerSamplesAtTheEdgesOfTheirRange) {
    const std::vector<Sample> samples = {
        {SampleEncoding::Signed16, 255, {0x00, 0x00}, 0},
        {SampleEncoding::Signed16, -255, {0x00, 0x00}, 0},
        {SampleEncoding::Signed16, -256, {0xFF, 0xFF}, -256},
        {SampleEncoding::Signed16, 0x1234 * 256 + 7, {0x34, 0x12}, 0x1234 * 256},
        {SampleEncoding::Signed16, 2147483647, {0xFF, 0x7F}, 32767 * 256},
        {SampleEncoding::Signed16, -2147483647 - 1, {0x00, 0x80}, -32768 * 256},
        {SampleEncoding::Signed32, 8388607, {0x00, 0xFF, 0xFF, 0x7F}, 8388607},
        {SampleEncoding::Signed32, 9000000, {0x00, 0xFF, 0xFF, 0x7F}, 8388607},
        {SampleEncoding::Signed32, -8388609, {0x00, 0x00, 0x00, 0x80}, -8388608},
        {SampleEncoding::Signed32, -1, {0x00, 0xFF, 0xFF, 0xFF}, -1},
        {SampleEncoding::Signed32, 0x123456, {0x00, 0x56, 0x34, 0x12}, 0x123456},
    };
    for (const Sample& s : samples) {
        SCOPED_TRACE(std::string(EncodingName(s.encoding)) + " " + std::to_string(s.value));
        // Several at once, so that vectorised loops and their remainders are both exercised.
        constexpr int Copies = 37;
        const std::vector<std::int32_t> values(Copies, s.value);
        const std::size_t width = s.file.size();
        std::vector<unsigned char> file(Copies * width);
        EncodeSamples(s.encoding, values.data(), file.data(), Copies);
        for (int k = 0; k < Copies; ++k)
            ASSERT_EQ(std::vector<unsigned char>(file.begin() + k * width,
                                                 file.begin() + (k + 1) * width),
                      s.file)
                << k;
        std::vector<std::int32_t> loaded(Copies);
        DecodeSamples(s.encoding, file.data(), loaded.data(), Copies);
        EXPECT_EQ(loaded, std::vector<std::int32_t>(Copies, s.loaded));
    }
}

// Every value its own, so that vectorised loops must keep them in order.
TEST(SampleEncoding, SixteenBitSamplesKeepTheirOrder) {
    std::vector<std::int32_t> values(53);
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = (static_cast<std::int32_t>(k) * 1237 - 32000) * 256 +
                    static_cast<std::int32_t>(k % 7) * 37 - 111;
    values[5] = std::numeric_limits<std::int32_t>::max();
    values[20] = std::numeric_limits<std::int32_t>::min();
    std::vector<unsigned char> file(2 * values.size());
    EncodeSamples(SampleEncoding::Signed16, values.data(), file.data(), std::ssize(values));
    for (std::size_t k = 0; k < values.size(); ++k) {
        const auto sample = static_cast<std::uint16_t>(std::clamp(values[k] / 256, -32768, 32767));
        ASSERT_EQ(file[2 * k] | file[2 * k + 1] << 8, sample) << k;
    }
}

}  // namespace
}  // namespace sv
