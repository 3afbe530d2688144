#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "base/PrefaultedMemory.h"

namespace sv {

TEST(PrefaultedMemory, EverySizeIsUsableAndStartsOnAPage) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    for (const std::size_t bytes : {std::size_t{64}, std::size_t{3} << 20, std::size_t{4} << 20}) {
        auto memory = MakePrefaultedArray<unsigned char>(bytes);
        std::memset(memory.get(), 0x5a, bytes);
        EXPECT_EQ(memory[bytes - 1], 0x5a);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory.get()) % page, 0u);
    }
}

}  // namespace sv
