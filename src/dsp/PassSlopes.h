#pragma once
// The high-pass and low-pass shaping of a remastering gain curve: four magnitude
// responses of the Butterworth form sqrt(1 / (1 + x^(2n))), shared by the engine and the target
// display.
namespace sv {

// value x the four factors at frequency f, applied in the specified order with the intermediate
// product held in extended precision: the user's high-pass (cut-off highPassHz, order
// highPassSlope), the user's low-pass (cut-off 1000 x lowPassKHz, order lowPassSlope), the fixed
// 17 Hz high-pass of order 9 and the fixed 20 kHz low-pass of order 25.
long double ApplyPassSlopeFactors(long double value, float f, int highPassHz, int lowPassKHz,
                                  int highPassSlope, int lowPassSlope);

// The combined factor at frequency f, rounded to single.
float PassSlopeFactor(float f, int highPassHz, int lowPassKHz, int highPassSlope, int lowPassSlope);

}  // namespace sv
