#include "dsp/Complex.h"

#include <type_traits>

namespace sv {

// The transform reads and writes Complex arrays as interleaved float pairs.
static_assert(sizeof(Complex) == 2 * sizeof(float));
static_assert(std::is_standard_layout_v<Complex> && std::is_trivially_copyable_v<Complex>);
// The constant must survive single precision unchanged.
static_assert(ComplexMath::NoiseFloorScale == 34359738368.0);

}  // namespace sv
