#pragma once
// The processing commands as sequences of engine operations, shared by the desktop program, the
// batch and the command line.
#include <array>
#include <memory>

#include "dsp/RemasterSettings.h"
#include "dsp/filters.h"

namespace sv {

// The spectra the commands share with the timbre controls.
struct TSpectra {
    TBinSpectrum Target{};
    TBinSpectrum Example{};
    std::array<TBinSpectrum, 2> Measured{};
    std::array<TBinSpectrum, 2> NoiseProfile{};
    bool ExampleReady = false;
};

// Remove noise: detection, then (unless cancelled) scaling and removal. True when the document
// was replaced.
bool RunRemoveNoise(TFiltr& engine, std::unique_ptr<TWave>& wave, const TRemasterSettings& s,
                    TSpectra& spectra);

// Frequency and dynamic levelling: measurement, then (unless cancelled) gains and filtering.
bool RunLevelling(TFiltr& engine, std::unique_ptr<TWave>& wave, const TRemasterSettings& s,
                  TSpectra& spectra);

// Remaster It: the checked stages in their fixed order. A cancelled stage does not stop the
// later ones. Returns whether any stage replaced the document.
bool RunRemasterIt(TFiltr& engine, std::unique_ptr<TWave>& wave, const TRemasterSettings& s,
                   TSpectra& spectra);

// The batch's per-file chain: like Remaster It, but every stage after a cancel is skipped.
// Returns false when cancelled (StornoFlag set).
bool RunBatchStages(TFiltr& engine, std::unique_ptr<TWave>& wave, const TRemasterSettings& s,
                    TSpectra& spectra);

// Detect: measures the document and makes the channel mean the example timbre. Returns
// ExampleReady; the target is not touched here.
bool RunDetect(TFiltr& engine, TWave& wave, int bandLevelMode, TSpectra& spectra);

}  // namespace sv
