#pragma once
// plot IN OUT.png, and remaster's --plot FILE: the spectrum picture as a PNG file.
#include <memory>
#include <string>

#include "cli/FileRecord.h"
#include "cli/Session.h"
#include "dsp/LevellingPreview.h"

namespace sv::cli {

// The picture's size in pixels.
inline constexpr int PlotWidth = 800;
inline constexpr int PlotHeight = 400;

// plot: the recording's spectrum, the target and the gain curve levelling would apply.
int PlotOf(Session& session, const Options& options, FileRecord& record);

// For remaster --plot: the long-term spectrum of wave (null when cancelled or too short), and
// the picture of before, after and the gains of a levelling run (null gains: levelling did not
// run).
std::unique_ptr<LongTermSpectrum> MeasureForPlot(Engine& engine, Wave& wave);
void SaveBeforeAfterPlot(const std::string& file, const LongTermSpectrum* before,
                         const LongTermSpectrum* after, const Options& options,
                         const SharedSpectra& spectra, bool levelled);

// The gain curve of a levelling run in bands, for the machine-readable record.
GainBands GainCurveOf(const SharedSpectra& spectra, const Wave& wave, const Options& options);

}  // namespace sv::cli
