#include "base/UsableCores.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace sv {

int UsableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace sv
