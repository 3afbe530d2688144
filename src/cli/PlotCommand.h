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

// For remaster --plot, around the chain: the spectrum before is the one levelling measures when
// it comes first, else measured here and handed to the chain; the one after is gathered while
// the last stage writes, where it can be, else measured. Nothing is drawn for a recording too
// short to measure.
void PrepareChainForPlot(Engine& engine, Wave& wave, const RemasterSettings& settings,
                         SharedSpectra& spectra);
void SaveChainPlot(const std::string& file, Engine& engine, Wave& wave, const Options& options,
                   const SharedSpectra& spectra, bool levelled);

// The gain curve of a levelling run in bands, for the machine-readable record.
GainBands GainCurveOf(const SharedSpectra& spectra, const Wave& wave, const Options& options);

}  // namespace sv::cli
