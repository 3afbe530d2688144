#pragma once
// Gain-curve arithmetic of levelling and noise removal, as functions of the sample rate and the
// channel count.
#include <cstdint>
#include <span>

#include "base/CoreTypes.h"
#include "dsp/RemasterSettings.h"

namespace sv {

// Gain curves target / measured (curve0, curve1 hold the measured spectra on entry) for both
// channels, mixed by the channel mode, smoothed by bands and shaped by the pass filters of
// settings. A mono document (channels 1) leaves curve1 alone.
void ComputeRemasterGains(const BinSpectrum& target, BinSpectrum& curve0, BinSpectrum& curve1,
                          const RemasterSettings& settings, std::int32_t sampleRate, int channels);
// Smooths curve over bands logarithmic bands; a limit above 0 also narrows their spread.
void SmoothGainsByBands(BinSpectrum& curve, int bands, int limit, std::int32_t sampleRate);
// Multiplies every bin but 0 of each curve by the pass-slope factors at its frequency.
void ApplyPassSlopes(std::span<BinSpectrum* const> curves, std::int32_t sampleRate, int highPassHz,
                     int lowPassKHz, int highPassSlope, int lowPassSlope);
inline void ApplyPassSlopes(BinSpectrum& curve, std::int32_t sampleRate, int highPassHz,
                            int lowPassKHz, int highPassSlope, int lowPassSlope) {
    BinSpectrum* const one[] = {&curve};
    ApplyPassSlopes(one, sampleRate, highPassHz, lowPassKHz, highPassSlope, lowPassSlope);
}
// Scales both noise profiles by percent / 100 and widens every bin to its neighbours' largest
// value; profile1 only with two channels or more.
void ScaleNoiseProfile(BinSpectrum& profile0, BinSpectrum& profile1, int percent, int channels);

}  // namespace sv
