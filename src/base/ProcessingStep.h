#pragma once
// What a long engine operation is doing, as it reports it to its progress window. The core only
// names the step; each front end words it (see text/StepCaptions.h).
#include <functional>
#include <string>

namespace sv {

enum class ProcessingStep {
    FindingPeaks,  // the peak scan before normalizing
    Normalizing,
    MeasuringSpectrum,  // before levelling, and Detect
    Levelling,
    DetectingNoise,
    RemovingNoise,
    MeasuringBlockPeaks,  // before peak fitting
    FittingPeaks,
    MeasuringLoudness,
    NormalizingLoudness,
};

// Words a step for a progress window; empty: the windows have no caption.
using StepWording = std::function<std::string(ProcessingStep)>;

}  // namespace sv
