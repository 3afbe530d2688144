#include "base/LargePageMemory.h"

#include <sys/mman.h>

#include <new>

namespace sv {

void* AllocateLargePageMemory(std::size_t bytes) {
    constexpr std::size_t LargePage = std::size_t{2} << 20;
    const bool whole = bytes % LargePage == 0;
    void* memory = whole ? std::aligned_alloc(LargePage, bytes) : std::malloc(bytes);
    if (!memory) throw std::bad_alloc();
    // Only advice: without large pages the memory is as good, just slower to fault in.
    if (whole) static_cast<void>(::madvise(memory, bytes, MADV_HUGEPAGE));
    return memory;
}

}  // namespace sv
