#pragma once
// The engine's loops over every bin of a hop, eight bins at a time where the CPU has AVX2 (and
// the wide kernel is wanted) and four at a time elsewhere. Every bin goes through the same
// single-precision operations in the same order either way, so the results are the same bits.
#include "dsp/Complex.h"

namespace sv::binloops {

// x[k] <- ComplexMath::SubtractNoise(x[k], threshold[k]), floor[k] being
// threshold[k] / ComplexMath::NoiseFloorScale, for k < count.
void SubtractNoise(Complex* x, const float* threshold, const float* floor, int count);

// x[n - k] <- the conjugate of x[k] for k = 1 .. n / 2 - 1 (n even): the upper half of a real
// block's spectrum from its lower half.
void MirrorConjugates(Complex* x, int n);

// x[k] <- ComplexMath::Scale(x[k], gain[k]) for k < count.
void Scale(Complex* x, const float* gain, int count);

// sums[k] += m[k], and peaks[k] becomes m[k] unless it is at least as large, for k < count.
void AddMagnitudes(float* sums, float* peaks, const float* m, int count);

}  // namespace sv::binloops
