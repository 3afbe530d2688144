// FFT's work sixteen values at a time. This file alone is compiled for AVX-512F (no fused
// operation is ever formed: see FFTVector16.h); its code runs only where the CPU has it. Everything
// here is an instance of the width-generic templates for Vector16, so no function is shared with
// code compiled for other CPUs.
#include "dsp/FFTLoops.h"
#include "dsp/FFTVector16.h"

namespace sv {

using fftkernel::Block16;
using fftkernel::Vector16;

template void FFT::TransformOn<Vector16>(Complex*, Block16*, Block16*);
template void FFT::ForwardOn<Vector16>(const std::int32_t*, Complex*, Block16*, Block16*, bool);
template void FFT::ForwardMagnitudesOn<Vector16>(const std::int32_t*, float*, Block16*, Block16*,
                                                 bool);
template void FFT::InverseOn<Vector16>(const Complex*, std::int32_t*, Block16*, Block16*);

}  // namespace sv
