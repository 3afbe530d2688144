#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "base/LargePageMemory.h"

namespace sv {
namespace {

// Whole large pages come aligned to one (else the system cannot back them with large pages);
// other sizes are plain memory. Every byte is usable either way.
TEST(LargePageMemory, WholeLargePagesComeAlignedAndAllSizesAreUsable) {
    constexpr std::size_t LargePage = std::size_t{2} << 20;
    for (const std::size_t bytes : {std::size_t{64}, LargePage + 4, LargePage, 2 * LargePage}) {
        auto memory = MakeLargePageArray<unsigned char>(bytes);
        ASSERT_NE(memory, nullptr);
        if (bytes % LargePage == 0)
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory.get()) % LargePage, 0u) << bytes;
        std::memset(memory.get(), 0x5a, bytes);
        EXPECT_EQ(memory[bytes - 1], 0x5a);
    }
}

}  // namespace
}  // namespace sv
