#pragma once
// What the processor offers beyond the instruction set the program is compiled for, asked once.

namespace sv {

// Whether AVX2 instructions may run (x86-64 only; false elsewhere).
bool CpuHasAvx2();
// Whether AVX-512F instructions may run, the system saving their registers included.
bool CpuHasAvx512();

}  // namespace sv
