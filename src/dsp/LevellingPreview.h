#pragma once
// What levelling will do to a document, worked out from its long-term spectrum alone: the
// spectrum is measured once (sums and peaks per bin), and any band-level mode, target and
// levelling setting then gives the measured spectrum and the gain curves without another pass.
#include <array>
#include <cstdint>
#include <vector>

#include "base/CoreTypes.h"
#include "dsp/RemasterSettings.h"

namespace sv {

struct LongTermSpectrum {
    std::array<BinSpectrum, 2> Sums{};
    std::array<BinSpectrum, 2> Peaks{};
    std::int64_t Hops = 0;  // frames / hop of the measured document
    std::int32_t SampleRate = 0;
    int Channels = 0;
};

// The measured spectra of both channels as spectrum measurement gives them in mode; channel 1
// stays 0 for a mono document.
void MixLongTermSpectrum(const LongTermSpectrum& spectrum, BandLevelMode mode, BinSpectrum& out0,
                         BinSpectrum& out1);

struct LevellingPreview {
    std::array<BinSpectrum, 2> Measured{};  // in the band-level mode of the settings
    std::array<BinSpectrum, 2> Gains{};     // the curves levelling applies
};

// Exactly the measurement and the gain curves of a levelling run with these settings.
LevellingPreview PreviewLevelling(const LongTermSpectrum& spectrum, const BinSpectrum& target,
                                  const RemasterSettings& settings);

// The mean of the channels' measured spectra, the one spectrum a picture shows.
BinSpectrum ChannelMean(const std::array<BinSpectrum, 2>& measured, int channels);

// A gain curve summed up per logarithmic band: each band's centre and its mean gain in dB.
struct GainBands {
    std::vector<double> CentreHz;
    std::vector<std::vector<double>> Db;  // per channel, per band
};
// Bands as levelling lays them out; a band without a bin takes the bin nearest its centre.
GainBands BandsOfGains(const std::array<BinSpectrum, 2>& gains, int channels,
                       std::int32_t sampleRate, int bands);

}  // namespace sv
