#include "dsp/complex.h"

#include <type_traits>

namespace sv {

// The transform reads and writes TComplex arrays as interleaved float pairs.
static_assert(sizeof(TComplex) == 2 * sizeof(float));
static_assert(std::is_standard_layout_v<TComplex> && std::is_trivially_copyable_v<TComplex>);
// The constant must survive single precision unchanged.
static_assert(TCmplx::NoiseFloorScale == 34359738368.0);

}  // namespace sv
