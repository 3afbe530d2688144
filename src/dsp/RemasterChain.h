#pragma once
// The processing commands as sequences of engine operations, shared by the desktop program, the
// batch and the command line.
#include <array>
#include <memory>
#include <vector>

#include "dsp/Engine.h"
#include "dsp/RemasterSettings.h"

namespace sv {

// The spectra the commands share with the timbre controls.
struct SharedSpectra {
    BinSpectrum Target{};
    BinSpectrum Example{};
    std::array<BinSpectrum, 2> Measured{};
    std::array<BinSpectrum, 2> NoiseProfile{};
    bool ExampleReady = false;
};

// Remove noise: detection, then (unless cancelled) scaling and removal. Completed when the
// document was replaced; written then holds the tally of the new document.
WalkResult RunRemoveNoise(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                          SharedSpectra& spectra, SpectrumTally* written = nullptr);

// Frequency and dynamic levelling: measurement, then (unless cancelled) gains and filtering.
// A tally gathered while the document was written spares the measurement its walk. With
// written, a completed levelling leaves there the block peaks of the document it made.
WalkResult RunLevelling(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                        SharedSpectra& spectra, const SpectrumTally* known = nullptr,
                        BlockPeaks* written = nullptr);

// How the last stage of a chain ended, and whether any stage replaced the document.
struct StagesOutcome {
    WalkResult Result = WalkResult::Completed;
    bool Replaced = false;
};

// Remaster It: the checked stages in their fixed order. A cancelled stage does not stop the
// later ones; the outcome's result is the last stage's.
StagesOutcome RunRemasterIt(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                            SharedSpectra& spectra);

// The batch's per-file chain: like Remaster It, but every stage after a cancel is skipped.
// With saveGains, for a caller that saves right after the chain, normalizing leaves its gains
// there for the save to apply instead of rewriting the document (see
// Engine::NormalizeWhileSaving); they stay empty when normalizing does not complete.
StagesOutcome RunBatchStages(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                             SharedSpectra& spectra, std::vector<float>* saveGains = nullptr);

// Detect: measures the document and makes the channel mean the example timbre. Returns
// ExampleReady; the target is not touched here.
bool RunDetect(Engine& engine, Wave& wave, BandLevelMode bandLevelMode, SharedSpectra& spectra);

}  // namespace sv
