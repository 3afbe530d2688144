#include <cstdlib>  // defines __GLIBC__ where it applies
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/Commands.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Every file's stores and buffers are freed before the next file's are made. With glibc's
    // adaptive limits, where the heap happens to end after a file decides whether those pages go
    // back to the system and fault in afresh for the next one; its largest adaptive limits,
    // fixed, keep them for reuse.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    return sv::cli::Main(argc, argv);
}
