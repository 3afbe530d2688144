#pragma once
// The processing settings of the main window's controls, with their start-up defaults. The
// desktop program reads them from its controls; the command line from its options.
#include <cstdint>

namespace sv {

// How far the two channels' gain curves are drawn towards their mean, from one common curve to
// separate ones.
enum class ChannelMode { Common, MostlyCommon, Half, MostlySeparate, Separate };

// How the measured spectrum mixes the average magnitude with the weighted peak.
enum class BandLevelMode { Average, MostlyAverage, Half, MostlyPeak, Peak };

struct RemasterSettings {
    // Stages of "Remaster It", run in this order.
    bool RemoveNoise = false;  // removeNoiseCheck
    bool Levelling = false;    // levellingCheck
    bool FitPeaks = false;     // fitPeaksCheck
    bool Normalize = false;    // normalizeCheck

    int NoiseParts = 1;      // noisePartsSpin 1..64
    int NoiseSeconds = 1;    // noiseSecondsSpin 1..9
    int NoisePercent = 100;  // noisePercentSpin 0..200

    int Bands = 60;  // bandsSpin 3..255
    int Limit = 10;  // limitSpin 2..128

    // The positions 0..4 of channelModeSlider and bandLevelSlider.
    sv::ChannelMode ChannelMode = sv::ChannelMode::MostlySeparate;
    sv::BandLevelMode BandLevelMode = sv::BandLevelMode::MostlyAverage;

    bool HighPass = false;  // highPassCheck
    int HighPassHz = 20;    // highPassSpin 16..250
    int HighPassSlope = 6;  // highPassSlopeSpin 1..64
    bool LowPass = false;   // lowPassCheck
    int LowPassKHz = 16;    // lowPassSpin 8..20
    int LowPassSlope = 6;   // lowPassSlopeSpin 1..64

    int PeakCount = 100;       // peakCountSpin 5..999
    int PeakBlockSize = 4096;  // 512, 1024, 2048, 4096, 8192

    int NormalizeDb = 0;      // normalizeSpin -48..0
    bool PerChannel = false;  // perChannelCheck

    // What the levelling stage passes on when a pass filter is off.
    int EffectiveHighPassHz() const { return HighPass ? HighPassHz : 5; }
    int EffectiveLowPassKHz() const { return LowPass ? LowPassKHz : 25; }
};

}  // namespace sv
