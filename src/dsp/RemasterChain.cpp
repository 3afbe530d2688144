#include "dsp/RemasterChain.h"

#include <algorithm>

#include "dsp/GainCurves.h"

namespace sv {

WalkResult RunRemoveNoise(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                          SharedSpectra& spectra) {
    ChainContext none;
    return RunRemoveNoise(engine, wave, s, spectra, none);
}

WalkResult RunRemoveNoise(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                          SharedSpectra& spectra, ChainContext& context) {
    auto& profile = spectra.NoiseProfile;
    if (engine.DetectNoise(*wave, profile[0], profile[1], s.NoiseParts, s.NoiseSeconds) ==
        WalkResult::Cancelled)
        return WalkResult::Cancelled;
    ScaleNoiseProfile(profile[0], profile[1], s.NoisePercent, wave->Channels());
    return engine.RemoveNoise(wave, profile[0], profile[1], context);
}

WalkResult RunLevelling(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                        SharedSpectra& spectra) {
    ChainContext none;
    return RunLevelling(engine, wave, s, spectra, none);
}

WalkResult RunLevelling(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                        SharedSpectra& spectra, ChainContext& context) {
    auto& measured = spectra.Measured;
    if (engine.MeasureSpectrum(*wave, measured[0], measured[1], s.BandLevelMode, context) ==
        WalkResult::Cancelled)
        return WalkResult::Cancelled;
    ComputeRemasterGains(spectra.Target, measured[0], measured[1], s, wave->SampleRate(),
                         wave->Channels());
    return engine.ApplyGainCurves(wave, measured[0], measured[1], context);
}

bool AnyStage(const RemasterSettings& s) {
    return s.RemoveNoise || s.Levelling || s.FitPeaks || s.Normalize || s.Loudness.has_value();
}

namespace {

// One run of the chain: the stages switched on, and what each hands the next.
class ChainRun {
  public:
    ChainRun(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
             SharedSpectra& spectra, const ChainPolicy& policy)
        : engine_(engine), wave_(wave), s_(s), spectra_(spectra), policy_(policy) {
        if (s.RemoveNoise) stages_.push_back(ChainStage::RemoveNoise);
        if (s.Levelling) stages_.push_back(ChainStage::Levelling);
        if (s.FitPeaks) stages_.push_back(ChainStage::FitPeaks);
        if (s.Normalize) stages_.push_back(ChainStage::Normalize);
        if (s.Loudness) stages_.push_back(ChainStage::NormalizeLoudness);
    }

    ChainOutcome Run() {
        for (std::size_t i = 0; i < stages_.size(); ++i) {
            const ChainStage stage = stages_[i];
            context_.Want(WantsBefore(i + 1));
            if (RunStage(stage, i + 1 == stages_.size()) == WalkResult::Cancelled) {
                outcome_.Result = WalkResult::Cancelled;
                outcome_.CancelledIn = stage;
                break;
            }
            outcome_.Completed.push_back(stage);
            outcome_.Replaced = true;
        }
        return std::move(outcome_);
    }

  private:
    // What the stage at index next wants of the document the stage before writes.
    ChainContext::Wants WantsBefore(std::size_t next) const {
        ChainContext::Wants wants;
        wants.SpareStores = true;
        if (next >= stages_.size()) return wants;
        wants.Tally = stages_[next] == ChainStage::Levelling;
        wants.PeakBlockSize =
            stages_[next] == ChainStage::FitPeaks ? std::max(s_.PeakBlockSize, 1) : 0;
        wants.ChannelPeaks = stages_[next] == ChainStage::Normalize;
        return wants;
    }

    WalkResult RunStage(ChainStage stage, bool last) {
        switch (stage) {
            case ChainStage::RemoveNoise:
                return RunRemoveNoise(engine_, wave_, s_, spectra_, context_);
            case ChainStage::Levelling:
                return RunLevelling(engine_, wave_, s_, spectra_, context_);
            case ChainStage::FitPeaks:
                return engine_.FitPeaks(wave_, s_.PeakCount, s_.PeakBlockSize, context_);
            case ChainStage::Normalize:
                if (last && policy_.NormalizeWhileSaving)
                    return engine_.NormalizeWhileSaving(*wave_, s_.NormalizeDb, s_.PerChannel,
                                                        context_, outcome_.SaveGains);
                return engine_.Normalize(wave_, s_.NormalizeDb, s_.PerChannel, context_);
            case ChainStage::NormalizeLoudness:
                return NormalizeToLoudness();
        }
        return WalkResult::Completed;
    }

    WalkResult NormalizeToLoudness() {
        LoudnessGain gain;
        auto normalized =
            NormalizeLoudness(*wave_, s_.Loudness->Lufs, s_.Loudness->TruePeakMaxDbtp, &gain,
                              {engine_.Worded(ProcessingStep::MeasuringLoudness),
                               engine_.Worded(ProcessingStep::NormalizingLoudness)});
        if (!normalized) return WalkResult::Cancelled;
        wave_ = std::move(normalized);
        outcome_.Loudness = gain;
        return WalkResult::Completed;
    }

    Engine& engine_;
    std::unique_ptr<Wave>& wave_;
    const RemasterSettings& s_;
    SharedSpectra& spectra_;
    const ChainPolicy& policy_;
    std::vector<ChainStage> stages_;
    ChainContext context_;
    ChainOutcome outcome_;
};

}  // namespace

ChainOutcome RunChain(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                      SharedSpectra& spectra, const ChainPolicy& policy) {
    return ChainRun(engine, wave, s, spectra, policy).Run();
}

bool RunDetect(Engine& engine, Wave& wave, BandLevelMode bandLevelMode, SharedSpectra& spectra) {
    auto& measured = spectra.Measured;
    const WalkResult result = engine.MeasureSpectrum(wave, measured[0], measured[1], bandLevelMode);
    for (int k = 0; k < SpectrumBins; ++k)
        spectra.Example[k] = (measured[0][k] + measured[1][k]) / 2;
    spectra.ExampleReady = result == WalkResult::Completed;
    return spectra.ExampleReady;
}

}  // namespace sv
