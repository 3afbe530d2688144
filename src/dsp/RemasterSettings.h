#pragma once
// The processing settings of the main window's controls, with their start-up defaults. The
// desktop program reads them from its controls; the command line from its options. Every
// setting's range and default are those of its entry in the tables of StageSettings.
#include <cstdint>
#include <optional>

#include "dsp/StageSettings.h"

namespace sv {

// How far the two channels' gain curves are drawn towards their mean, from one common curve to
// separate ones.
enum class ChannelMode { Common, MostlyCommon, Half, MostlySeparate, Separate };

// How the measured spectrum mixes the average magnitude with the weighted peak.
enum class BandLevelMode { Average, MostlyAverage, Half, MostlyPeak, Peak };

// Normalizing to an integrated loudness, the last stage of a chain.
struct LoudnessTarget {
    double Lufs = -23.0;
    double TruePeakMaxDbtp = -1.0;  // the true peak stays at most this high
};

struct RemasterSettings {
    // Stages of "Remaster It", run in this order.
    bool RemoveNoise = DefaultOf(&RemasterSettings::RemoveNoise);
    bool Levelling = DefaultOf(&RemasterSettings::Levelling);
    bool FitPeaks = DefaultOf(&RemasterSettings::FitPeaks);
    bool Normalize = DefaultOf(&RemasterSettings::Normalize);

    int NoiseParts = DefaultOf(&RemasterSettings::NoiseParts);
    int NoiseSeconds = DefaultOf(&RemasterSettings::NoiseSeconds);
    int NoisePercent = DefaultOf(&RemasterSettings::NoisePercent);
    // Noise removal with gains smoothed over time and frequency above a floor.
    bool SmoothNoise = DefaultOf(&RemasterSettings::SmoothNoise);

    int Bands = DefaultOf(&RemasterSettings::Bands);
    int Limit = DefaultOf(&RemasterSettings::Limit);
    // Levelling divides the target's band means by the recording's instead of averaging the
    // bins' quotients, which needs no more of the target than a stored timbre holds.
    bool BandMeans = DefaultOf(&RemasterSettings::BandMeans);

    // The positions 0..4 of channelModeSlider and bandLevelSlider.
    sv::ChannelMode ChannelMode = DefaultChoice<sv::ChannelMode>("channelMode");
    sv::BandLevelMode BandLevelMode = DefaultChoice<sv::BandLevelMode>("bandLevel");

    bool HighPass = DefaultOf(&RemasterSettings::HighPass);
    int HighPassHz = DefaultOf(&RemasterSettings::HighPassHz);
    int HighPassSlope = DefaultOf(&RemasterSettings::HighPassSlope);
    bool LowPass = DefaultOf(&RemasterSettings::LowPass);
    int LowPassKHz = DefaultOf(&RemasterSettings::LowPassKHz);
    int LowPassSlope = DefaultOf(&RemasterSettings::LowPassSlope);

    int PeakCount = DefaultOf(&RemasterSettings::PeakCount);
    int PeakBlockSize = DefaultOf(&RemasterSettings::PeakBlockSize);

    int NormalizeDb = DefaultOf(&RemasterSettings::NormalizeDb);
    bool PerChannel = DefaultOf(&RemasterSettings::PerChannel);
    // Set: loudness normalizing runs last, after peak normalizing when that is on too.
    std::optional<LoudnessTarget> Loudness;
    // Loudness normalizing reaches its target through a true-peak limiter instead of stopping
    // at the ceiling.
    bool Limiter = DefaultOf(&RemasterSettings::Limiter);

    // What the levelling stage passes on when a pass filter is off.
    int EffectiveHighPassHz() const;
    int EffectiveLowPassKHz() const;
};

}  // namespace sv
