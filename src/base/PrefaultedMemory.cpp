#include "base/PrefaultedMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <new>

namespace sv {

void* AllocatePrefaultedMemory(std::size_t bytes) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t whole = (bytes + page - 1) / page * page;
    void* memory = std::aligned_alloc(page, whole);
    if (!memory) throw std::bad_alloc();
#if defined(MADV_POPULATE_WRITE)
    // Only advice: a kernel without it faults the pages in on first touch.
    static_cast<void>(::madvise(memory, whole, MADV_POPULATE_WRITE));
#endif
    return memory;
}

}  // namespace sv
