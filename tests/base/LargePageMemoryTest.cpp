#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "base/LargePageMemory.h"

namespace sv {

// Whole large pages come aligned to one, or the system cannot back them with large pages.
TEST(LargePageMemory, WholeLargePagesComeAlignedAndEverySizeIsUsable) {
    constexpr std::size_t LargePage = std::size_t{2} << 20;
    for (const std::size_t bytes : {std::size_t{64}, LargePage + 4, 2 * LargePage}) {
        auto memory = MakeLargePageArray<unsigned char>(bytes);
        std::memset(memory.get(), 0x5a, bytes);
        EXPECT_EQ(memory[bytes - 1], 0x5a);
        if (bytes % LargePage == 0) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory.get()) % LargePage, 0u);
        }
    }
}

}  // namespace sv
