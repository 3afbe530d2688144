#pragma once
// The captions of the engine's steps in the user's language, for the front ends' progress
// windows.
#include <string>

#include "base/ProcessingStep.h"
#include "text/Language.h"

namespace sv {

inline std::string StepCaption(ProcessingStep step) {
    const auto& t = Texts();
    switch (step) {
        case ProcessingStep::FindingPeaks:
            return t.NormalizeDetectionTitle;
        case ProcessingStep::Normalizing:
            return t.NormalizingTitle;
        case ProcessingStep::MeasuringSpectrum:
            return t.LevellingDetectionTitle;
        case ProcessingStep::Levelling:
            return t.LevellingTitle;
        case ProcessingStep::DetectingNoise:
            return t.NoiseDetectionTitle;
        case ProcessingStep::RemovingNoise:
            return t.NoiseRemovalTitle;
        case ProcessingStep::MeasuringBlockPeaks:
            return t.PeakDetectionTitle;
        case ProcessingStep::FittingPeaks:
            return t.PeakFittingTitle;
        case ProcessingStep::MeasuringLoudness:
            return t.MeasuringLoudnessTitle;
        case ProcessingStep::NormalizingLoudness:
            return t.NormalizingLoudnessTitle;
    }
    return {};
}

}  // namespace sv
