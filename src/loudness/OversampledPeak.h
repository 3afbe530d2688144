#pragma once
// The inner loop of the true-peak meter: the largest magnitude of a polyphase interpolator's
// outputs over a short run of input positions, on the widest vectors the processor has. Every
// width adds the same products in the same order, so every processor gives the same reading.
namespace sv {

constexpr int OversamplingTaps = 32;  // per phase
constexpr int OversampledChunk = 32;  // input positions per call at most

// max |y_p(i)| over phases p < phases and i < count (count <= OversampledChunk), where
// y_p(i) = sum over k < OversamplingTaps of h[p * OversamplingTaps + k] * x[i + 31 - k].
// x must hold OversampledChunk + OversamplingTaps - 1 readable values.
float OversampledPeak(const float* h, int phases, const float* x, int count);

}  // namespace sv
