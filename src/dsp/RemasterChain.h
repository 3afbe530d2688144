#pragma once
// The processing commands as sequences of engine operations, and the one chain of stages that
// serves Remaster It, the command line's remaster and every batch.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "dsp/ChainContext.h"
#include "dsp/Engine.h"
#include "dsp/KnownSpectrum.h"
#include "dsp/RemasterSettings.h"
#include "loudness/LoudnessMeter.h"

namespace sv {

// The spectra the commands share with the timbre controls.
struct SharedSpectra {
    BinSpectrum Target{};
    BinSpectrum Example{};
    std::array<BinSpectrum, 2> Measured{};
    std::array<BinSpectrum, 2> NoiseProfile{};
    bool ExampleReady = false;
    // Long-term spectra a spectrum view would otherwise read the store for: of the document the
    // last chain started from (measured by its levelling, or put here by a caller, which spares
    // levelling its reading pass) and of the one it made (gathered while the last stage wrote
    // it, when GatherOutput asks for it and that stage filters hops). Input names no document
    // once a stage changed the one it describes in place.
    KnownSpectrum Input, Output;
    bool GatherOutput = false;
};

// Remove noise: detection, then (unless cancelled) scaling and removal. Completed when the
// document was replaced.
WalkResult RunRemoveNoise(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                          SharedSpectra& spectra, ChainContext& context);
WalkResult RunRemoveNoise(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                          SharedSpectra& spectra);

// Frequency and dynamic levelling: measurement, then (unless cancelled) gains and filtering.
WalkResult RunLevelling(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                        SharedSpectra& spectra, ChainContext& context);
WalkResult RunLevelling(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                        SharedSpectra& spectra);

// The stages of a chain, in the order they run.
enum class ChainStage { RemoveNoise, Levelling, FitPeaks, Normalize, NormalizeLoudness };

// What differs between the callers of the chain.
struct ChainPolicy {
    // For a caller that saves right after the chain: peak normalizing, when it is the last
    // stage, leaves its gains in the outcome for the save to apply instead of rewriting the
    // document (see Engine::NormalizeWhileSaving).
    bool NormalizeWhileSaving = false;
};

struct ChainOutcome {
    // Cancelled: a stage was cancelled and the later ones did not run; the document is the
    // one the stages completed before it made.
    WalkResult Result = WalkResult::Completed;
    bool Replaced = false;              // a completed stage changed the document
    std::vector<ChainStage> Completed;  // the stages that ran to their end, in order
    std::optional<ChainStage> CancelledIn;
    std::vector<float> SaveGains;          // with NormalizeWhileSaving, once normalizing completed
    std::optional<LoudnessGain> Loudness;  // once loudness normalizing completed
};

// The stages the settings switch on, in their fixed order; a cancel ends the chain. Callers
// refuse a document too short for a stage first (see StageLength.h). What one
// stage gathers while it writes spares the next its measuring pass, and each stage's output
// takes the swap file of the document the stage before replaced.
ChainOutcome RunChain(Engine& engine, std::unique_ptr<Wave>& wave, const RemasterSettings& s,
                      SharedSpectra& spectra, const ChainPolicy& policy = {});

// Whether the settings switch on any stage of the chain.
bool AnyStage(const RemasterSettings& s);

// Detect: measures the document and makes the channel mean the example timbre. Returns
// ExampleReady; the target is not touched here.
bool RunDetect(Engine& engine, Wave& wave, BandLevelMode bandLevelMode, SharedSpectra& spectra);

}  // namespace sv
