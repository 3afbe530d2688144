#include "dsp/RemasterChain.h"

namespace sv {

bool RunRemoveNoise(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                    SharedSpectra& spectra) {
    auto& profile = spectra.NoiseProfile;
    engine.DetectNoise(*wave, profile[0], profile[1], s.NoiseParts, s.NoiseSeconds);
    if (engine.Flags().Cancelled) return false;
    engine.ScaleNoiseProfile(*wave, profile[0], profile[1], s.NoisePercent);
    return engine.RemoveNoise(wave, profile[0], profile[1]);
}

bool RunLevelling(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                  SharedSpectra& spectra) {
    auto& measured = spectra.Measured;
    engine.MeasureSpectrum(*wave, measured[0], measured[1], s.BandLevelModeChoice());
    if (engine.Flags().Cancelled) return false;
    engine.ComputeRemasterGains(*wave, spectra.Target, measured[0], measured[1], s);
    return engine.ApplyGainCurves(wave, measured[0], measured[1]);
}

bool RunRemasterIt(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                   SharedSpectra& spectra) {
    bool done = false;
    if (s.RemoveNoise) done = RunRemoveNoise(engine, wave, s, spectra);
    if (s.Levelling) done = RunLevelling(engine, wave, s, spectra) || done;
    if (s.FitPeaks) done = engine.FitPeaks(wave, s.PeakCount, s.PeakBlockSize) || done;
    if (s.Normalize) done = engine.Normalize(wave, s.NormalizeDb, s.PerChannel) || done;
    return done;
}

bool RunBatchStages(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                    SharedSpectra& spectra) {
    auto cancelled = [&] { return engine.Flags().Cancelled; };
    if (s.RemoveNoise) RunRemoveNoise(engine, wave, s, spectra);
    if (!cancelled() && s.Levelling) RunLevelling(engine, wave, s, spectra);
    if (!cancelled() && s.FitPeaks) engine.FitPeaks(wave, s.PeakCount, s.PeakBlockSize);
    if (!cancelled() && s.Normalize) engine.Normalize(wave, s.NormalizeDb, s.PerChannel);
    return !cancelled();
}

bool RunDetect(Engine& engine, Wave& wave, BandLevelMode bandLevelMode, SharedSpectra& spectra) {
    auto& measured = spectra.Measured;
    engine.MeasureSpectrum(wave, measured[0], measured[1], bandLevelMode);
    for (int k = 0; k < SpectrumBins; ++k)
        spectra.Example[k] = (measured[0][k] + measured[1][k]) / 2;
    spectra.ExampleReady = !engine.Flags().Cancelled;
    return spectra.ExampleReady;
}

}  // namespace sv
