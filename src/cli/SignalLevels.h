#pragma once
// Peak and RMS level of every channel, in dB relative to the document's full scale.
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

std::vector<double> PeakDbfs(Engine& engine, Wave& wave);
SignalLevels MeasureLevels(Engine& engine, Wave& wave);

}  // namespace sv::cli
