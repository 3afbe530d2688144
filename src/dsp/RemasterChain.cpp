#include "dsp/RemasterChain.h"

#include <algorithm>

#include "dsp/GainCurves.h"
#include "loudness/LimitedLoudness.h"

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
    if (s.SmoothNoise) return engine.RemoveNoiseSmoothly(wave, profile[0], profile[1], context);
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
    auto spectrum = std::make_shared<LongTermSpectrum>();
    const WalkResult measuring = engine.MeasureLongTermSpectrum(*wave, *spectrum, context);
    MixLongTermSpectrum(*spectrum, s.BandLevelMode, measured[0], measured[1]);
    if (measuring == WalkResult::Cancelled) return WalkResult::Cancelled;
    spectra.Input = KnownSpectrumOf(*wave, std::move(spectrum));
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
        const std::uint64_t start = wave_->Identity();
        const std::int64_t frames = wave_->FrameCount();
        const KnownSpectrum known = KnownOfStart();
        if (known.Spectrum) context_.KeepSpectrum(*wave_, *known.Spectrum);
        RunStages();
        if (!spectra_.Input.Describes(start, frames)) spectra_.Input = known;
        // A stage that changed the document in place left it with the same identity.
        if (outcome_.Replaced && wave_->Identity() == start) spectra_.Input.Document = 0;
        spectra_.Output = {};
        if (auto gathered = context_.SpectrumOf(*wave_))
            spectra_.Output = KnownSpectrumOf(*wave_, std::move(gathered));
        return std::move(outcome_);
    }

  private:
    // A spectrum of the document the chain starts from, measured before.
    KnownSpectrum KnownOfStart() const {
        for (const KnownSpectrum* known : {&spectra_.Input, &spectra_.Output})
            if (known->Describes(*wave_)) return *known;
        return {};
    }

    void RunStages() {
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
    }

    // What the stage at index next wants of the document the stage before writes.
    ChainContext::Wants WantsBefore(std::size_t next) const {
        ChainContext::Wants wants;
        wants.SpareStores = true;
        if (next >= stages_.size()) {
            wants.Tally = spectra_.GatherOutput;
            return wants;
        }
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
        const LoudnessCaptions captions{engine_.Worded(ProcessingStep::MeasuringLoudness),
                                        engine_.Worded(ProcessingStep::NormalizingLoudness)};
        auto normalized = (s_.Limiter ? NormalizeLoudnessLimited : NormalizeLoudness)(
            *wave_, s_.Loudness->Lufs, s_.Loudness->TruePeakMaxDbtp, &gain, captions);
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
