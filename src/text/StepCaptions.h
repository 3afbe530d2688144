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
            return t.CaNormaDetect;
        case ProcessingStep::Normalizing:
            return t.CaNormalizing;
        case ProcessingStep::MeasuringSpectrum:
            return t.CaDetection;
        case ProcessingStep::Levelling:
            return t.CaRemastering;
        case ProcessingStep::DetectingNoise:
            return t.CaNoiseDetect;
        case ProcessingStep::RemovingNoise:
            return t.CaNoiseRemove;
        case ProcessingStep::MeasuringBlockPeaks:
            return t.CaPeekDetect;
        case ProcessingStep::FittingPeaks:
            return t.CaPeekFit;
    }
    return {};
}

}  // namespace sv
