#include "base/CpuFeatures.h"

namespace sv {

bool CpuHasAvx2() {
#if defined(__x86_64__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

bool CpuHasAvx512() {
#if defined(__x86_64__)
    // The compiler's check also asks the system whether it saves the 512-bit state.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0;
    }();
    return has;
#else
    return false;
#endif
}

}  // namespace sv
