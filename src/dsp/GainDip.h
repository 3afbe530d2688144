#pragma once
// The inner loop of peak fitting: one smooth dip in gain over contiguous values, four values at a
// time where the CPU has AVX2 (and the wide kernel is wanted), one at a time elsewhere. Every
// value goes through the same double operations and the same rounding either way, so the
// results are the same bits.
#include <cstdint>

namespace sv::gaindip {

// values[t] <- lrint(values[t] * (1 - shape[t] * depth)) for t < count. The products must fit
// an int32, as they do for gains between 0 and 1.
void Dip(std::int32_t* values, const double* shape, std::int64_t count, double depth);

// The same one value at a time, whatever the CPU: what Dip must equal.
void DipOneByOne(std::int32_t* values, const double* shape, std::int64_t count, double depth);

}  // namespace sv::gaindip
