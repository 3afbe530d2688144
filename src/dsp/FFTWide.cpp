// FFT's work eight values at a time. This file alone is compiled for AVX2 (without FMA); its code
// runs only where the CPU has it. Everything here is an instance of the width-generic templates
// for Vector8, so no function is shared with code compiled for other CPUs.
#include "dsp/FFTLoops.h"
#include "dsp/FFTVector8.h"

namespace sv {

using fftkernel::Block8;
using fftkernel::Vector8;

template void FFT::TransformOn<Vector8>(Complex*, Block8*, Block8*);
template void FFT::ForwardOn<Vector8>(const std::int32_t*, Complex*, Block8*, Block8*, bool);
template void FFT::ForwardMagnitudesOn<Vector8>(const std::int32_t*, float*, Block8*, Block8*,
                                                bool);
template void FFT::InverseOn<Vector8>(const Complex*, std::int32_t*, Block8*, Block8*);

}  // namespace sv
