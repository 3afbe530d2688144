#pragma once
// The cores this process may run on: a scheduler's or taskset's allotment, not the machine's.

namespace sv {

int UsableCores();

}  // namespace sv
