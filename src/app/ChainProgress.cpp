#include "app/ChainProgress.h"

#include <QString>
#include <algorithm>
#include <utility>

#include "app/QtText.h"
#include "text/Language.h"
#include "text/StepCaptions.h"

namespace sv {

namespace {

// The stages a run of the chain takes, in its fixed order.
std::vector<ChainStage> StagesOf(const RemasterSettings& s) {
    std::vector<ChainStage> stages;
    const std::pair<bool, ChainStage> all[] = {
        {s.RemoveNoise, ChainStage::RemoveNoise},
        {s.Levelling, ChainStage::Levelling},
        {s.FitPeaks, ChainStage::FitPeaks},
        {s.Normalize, ChainStage::Normalize},
        {s.Loudness.has_value(), ChainStage::NormalizeLoudness}};
    for (const auto& [on, stage] : all)
        if (on) stages.push_back(stage);
    return stages;
}

// The stage each engine step belongs to.
constexpr std::pair<ProcessingStep, ChainStage> StepStages[] = {
    {ProcessingStep::DetectingNoise, ChainStage::RemoveNoise},
    {ProcessingStep::RemovingNoise, ChainStage::RemoveNoise},
    {ProcessingStep::MeasuringSpectrum, ChainStage::Levelling},
    {ProcessingStep::Levelling, ChainStage::Levelling},
    {ProcessingStep::MeasuringBlockPeaks, ChainStage::FitPeaks},
    {ProcessingStep::FittingPeaks, ChainStage::FitPeaks},
    {ProcessingStep::FindingPeaks, ChainStage::Normalize},
    {ProcessingStep::Normalizing, ChainStage::Normalize},
    {ProcessingStep::MeasuringLoudness, ChainStage::NormalizeLoudness},
    {ProcessingStep::NormalizingLoudness, ChainStage::NormalizeLoudness},
};

std::string StageName(ChainStage stage) {
    const auto& t = Texts();
    switch (stage) {
        case ChainStage::RemoveNoise:
            return t.RemoveNoiseCaption;
        case ChainStage::Levelling:
            return t.LevellingCaption;
        case ChainStage::FitPeaks:
            return t.FitPeaksCaption;
        case ChainStage::Normalize:
        case ChainStage::NormalizeLoudness:
            return t.NormalizeCaption;
    }
    return {};
}

}  // namespace

std::function<std::string(const std::string&)> ChainProgressTitle(const RemasterSettings& s) {
    return [stages = StagesOf(s)](const std::string& caption) {
        if (stages.size() < 2) return caption;
        for (const auto& [step, stage] : StepStages) {
            if (StepCaption(step) != caption) continue;
            const auto found = std::find(stages.begin(), stages.end(), stage);
            if (found == stages.end()) continue;
            return caption + " \u2014 " +
                   Q(Texts().StageOfTitle)
                       .arg(found - stages.begin() + 1)
                       .arg(stages.size())
                       .toStdString();
        }
        return caption;
    };
}

std::string StageNames(const std::vector<ChainStage>& stages) {
    std::string names;
    for (const ChainStage stage : stages) names += (names.empty() ? "" : ", ") + StageName(stage);
    return names;
}

std::string NoStageTickedMessage() {
    const auto& t = Texts();
    return t.NoStageMessage + " " + t.AdditionalSettingsCaption + ": " + t.NoStageTickMessage +
           " " +
           StageNames({ChainStage::RemoveNoise, ChainStage::Levelling, ChainStage::FitPeaks,
                       ChainStage::Normalize}) +
           ".";
}

}  // namespace sv
