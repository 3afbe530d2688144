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

int CurrentCore() { return sched_getcpu(); }

void LeaveCore(int creator) {
    cpu_set_t usable;
    CPU_ZERO(&usable);
    if (creator < 0 || creator >= CPU_SETSIZE ||
        sched_getaffinity(0, sizeof usable, &usable) != 0 || !CPU_ISSET(creator, &usable) ||
        CPU_COUNT(&usable) < 2)
        return;
    cpu_set_t others = usable;
    CPU_CLR(creator, &others);
    // Only advice: a failure leaves the thread where the scheduler put it.
    if (sched_setaffinity(0, sizeof others, &others) == 0)
        static_cast<void>(sched_setaffinity(0, sizeof usable, &usable));
}

}  // namespace sv
