#pragma once
// The band grid of stored timbre files: 60 bands logarithmic in frequency at the nominal
// 44100 Hz, from bin 1 (band 1) to bin 8191 (band 60); bin 8192 falls into band 61. Saving and
// loading a timbre file and levelling by band means must agree on it bin for bin.
#include <cmath>
#include <vector>

namespace sv {

// x(k) = 59 log10(f(k) / fLow) / log10(fHigh / fLow) for every bin k >= 1 (entry 0 unused), in
// double from the single-precision bin frequencies.
const std::vector<double>& TimbreBandPositions();

// The band of position x: round(x) + 1, ties to even.
inline int TimbreBandAt(double x) { return static_cast<int>(std::nearbyint(x)) + 1; }

// The band of bin k >= 1.
int TimbreBandOfBin(int k);

}  // namespace sv
