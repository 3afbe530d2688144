#include "dsp/RemasterChain.h"

namespace sv {

WalkResult RunRemoveNoise(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                          SharedSpectra& spectra, SpectrumTally* written) {
    auto& profile = spectra.NoiseProfile;
    if (engine.DetectNoise(*wave, profile[0], profile[1], s.NoiseParts, s.NoiseSeconds) ==
        WalkResult::Cancelled)
        return WalkResult::Cancelled;
    engine.ScaleNoiseProfile(*wave, profile[0], profile[1], s.NoisePercent);
    return engine.RemoveNoise(wave, profile[0], profile[1], written);
}

WalkResult RunLevelling(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                        SharedSpectra& spectra, const SpectrumTally* known, BlockPeaks* written) {
    auto& measured = spectra.Measured;
    if (engine.MeasureSpectrum(*wave, measured[0], measured[1], s.BandLevelMode, known) ==
        WalkResult::Cancelled)
        return WalkResult::Cancelled;
    engine.ComputeRemasterGains(*wave, spectra.Target, measured[0], measured[1], s);
    return engine.ApplyGainCurves(wave, measured[0], measured[1], written);
}

namespace {

// While it lives, each stage's output takes the swap file of the document the stage before
// replaced.
class SwapFileReuse {
  public:
    explicit SwapFileReuse(Engine& engine) : engine_(engine) { engine_.ReuseSwapFiles(true); }
    ~SwapFileReuse() { engine_.ReuseSwapFiles(false); }
    SwapFileReuse(const SwapFileReuse&) = delete;
    SwapFileReuse& operator=(const SwapFileReuse&) = delete;

  private:
    Engine& engine_;
};

// Records one stage's end in the outcome of the chain.
void Record(StagesOutcome& outcome, WalkResult result) {
    outcome.Result = result;
    outcome.Replaced = result == WalkResult::Completed || outcome.Replaced;
}

// Room for the noise removal to tally its output, when levelling measures it next.
std::unique_ptr<SpectrumTally> DenoisedTally(const RemasterSettings& s) {
    return s.RemoveNoise && s.Levelling ? std::make_unique<SpectrumTally>() : nullptr;
}

// Where levelling leaves the block peaks of its output, when peak fitting measures it next.
std::unique_ptr<BlockPeaks> LevelledPeaks(const RemasterSettings& s, const Wave& wave) {
    if (!s.Levelling || !s.FitPeaks) return nullptr;
    return std::make_unique<BlockPeaks>(wave.FrameCount() * wave.Channels(),
                                        std::max(s.PeakBlockSize, 1), wave.Channels());
}

// Where peak fitting leaves the channel peaks of its output, when normalizing scans it next.
ChannelPeaks* FittedPeaks(const RemasterSettings& s, ChannelPeaks& fitted) {
    return s.Normalize ? &fitted : nullptr;
}

}  // namespace

StagesOutcome RunRemasterIt(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                            SharedSpectra& spectra) {
    StagesOutcome outcome;
    SwapFileReuse reuse(engine);
    // What a stage gathers while writing spares the next one its measuring pass.
    const auto denoised = DenoisedTally(s);
    const auto levelled = LevelledPeaks(s, *wave);
    ChannelPeaks fitted;
    if (s.RemoveNoise) Record(outcome, RunRemoveNoise(engine, wave, s, spectra, denoised.get()));
    if (s.Levelling)
        Record(outcome, RunLevelling(engine, wave, s, spectra, denoised.get(), levelled.get()));
    if (s.FitPeaks)
        Record(outcome, engine.FitPeaks(wave, s.PeakCount, s.PeakBlockSize, FittedPeaks(s, fitted),
                                        levelled.get()));
    if (s.Normalize) Record(outcome, engine.Normalize(wave, s.NormalizeDb, s.PerChannel, &fitted));
    return outcome;
}

StagesOutcome RunBatchStages(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                             SharedSpectra& spectra, std::vector<float>* saveGains) {
    StagesOutcome outcome;
    SwapFileReuse reuse(engine);
    auto run = [&](WalkResult result) { Record(outcome, result); };
    auto goesOn = [&] { return outcome.Result == WalkResult::Completed; };
    const auto denoised = DenoisedTally(s);
    const auto levelled = LevelledPeaks(s, *wave);
    if (s.RemoveNoise) run(RunRemoveNoise(engine, wave, s, spectra, denoised.get()));
    if (goesOn() && s.Levelling)
        run(RunLevelling(engine, wave, s, spectra, denoised.get(), levelled.get()));
    ChannelPeaks fitted;
    if (goesOn() && s.FitPeaks)
        run(engine.FitPeaks(wave, s.PeakCount, s.PeakBlockSize, FittedPeaks(s, fitted),
                            levelled.get()));
    if (saveGains) saveGains->clear();
    if (goesOn() && s.Normalize && saveGains)
        run(engine.NormalizeWhileSaving(*wave, s.NormalizeDb, s.PerChannel, &fitted, *saveGains));
    else if (goesOn() && s.Normalize)
        run(engine.Normalize(wave, s.NormalizeDb, s.PerChannel, &fitted));
    return outcome;
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
