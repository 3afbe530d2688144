#pragma once
// Memory for buffers of megabytes that are filled soon after they are made (a store's window),
// its pages mapped when it is made, in one call, instead of by one fault each on first touch:
// on virtual machines each fault costs microseconds. Ordinary pages, not large ones: on a
// virtual machine a fresh large page may be memory the host has yet to back, and touching it
// first took up to 6 ms, against under half a millisecond for a 4 MiB buffer of small pages.
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace sv {

struct FreePrefaultedMemory {
    void operator()(void* memory) const noexcept { std::free(memory); }
};

template <class T>
using PrefaultedArray = std::unique_ptr<T[], FreePrefaultedMemory>;

// Uninitialised, page-aligned memory of bytes (> 0). Throws std::bad_alloc.
void* AllocatePrefaultedMemory(std::size_t bytes);

// Uninitialised room for count values of a trivial type T.
template <class T>
PrefaultedArray<T> MakePrefaultedArray(std::size_t count) {
    return PrefaultedArray<T>(static_cast<T*>(AllocatePrefaultedMemory(count * sizeof(T))));
}

}  // namespace sv
