#pragma once
// The cores this process may run on: a scheduler's or taskset's allotment, not the machine's.

namespace sv {

int UsableCores();

// The core the calling thread runs on now (-1 when the system does not tell).
int CurrentCore();

// Called first thing by a thread made to work beside the one that made it, which ran on core
// creator: moves the calling thread to another of its usable cores, then lets it run on all of
// them again. Some schedulers start a new thread on its maker's core and leave both sharing it
// for milliseconds; nothing happens with a single usable core or creator -1.
void LeaveCore(int creator);

}  // namespace sv
