#pragma once
// Memory for buffers of megabytes that are filled soon after they are made (a store's window).
// Where the system backs memory with large pages on request, one page fault then maps 2 MiB
// instead of 4 KiB; on virtual machines each fault costs microseconds, and a fresh 4 MiB window
// took 1024 of them.
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace sv {

struct FreeLargePageMemory {
    void operator()(void* memory) const noexcept { std::free(memory); }
};

template <class T>
using LargePageArray = std::unique_ptr<T[], FreeLargePageMemory>;

// Uninitialised memory of bytes (> 0); a multiple of 2 MiB is aligned to 2 MiB and asked to be
// backed by large pages. Throws std::bad_alloc.
void* AllocateLargePageMemory(std::size_t bytes);

// Uninitialised room for count values of a trivial type T.
template <class T>
LargePageArray<T> MakeLargePageArray(std::size_t count) {
    return LargePageArray<T>(static_cast<T*>(AllocateLargePageMemory(count * sizeof(T))));
}

}  // namespace sv
