#pragma once
// Peak and RMS level of every channel, in dB relative to the document's full scale.
#include <cstdint>
#include <vector>

#include "audio/Wave.h"
#include "dsp/Engine.h"

namespace sv::cli {

struct SignalLevels {
    std::vector<double> PeakDbfs;  // -inf for a silent channel
    std::vector<double> RmsDbfs;
};

// dB relative to full scale; -inf for 0.
double Dbfs(double level, double fullScale);

// Peak and sum of squares of every channel, gathered from interleaved values in the order a
// pass over a document sees them: one pass for all channels, or a pass that already runs (a
// save tells the values it writes).
class LevelsGatherer {
  public:
    // values[i] is interleaved sample first + i of a document of this many channels.
    void Add(int channels, const std::int32_t* values, std::int64_t first, std::int64_t count);
    std::int64_t Samples() const { return samples_; }
    SignalLevels Levels(double fullScale) const;

  private:
    std::vector<std::int64_t> peaks_;
    // Squares of 32-bit values summed exactly, in integers (long double additions cost a pass).
    std::vector<unsigned __int128> sums_;
    std::int64_t samples_ = 0;
};

std::vector<double> PeakDbfs(Engine& engine, Wave& wave);
// One pass over the document.
SignalLevels MeasureLevels(Wave& wave);
inline SignalLevels MeasureLevels(Engine&, Wave& wave) { return MeasureLevels(wave); }

}  // namespace sv::cli
