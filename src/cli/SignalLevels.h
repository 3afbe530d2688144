#pragma once
// Peak and RMS level of every channel, in dB relative to the document's full scale.
#include <cstdint>
#include <filesystem>
#include <optional>
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
    std::int64_t Peak(int channel) const { return peaks_.at(static_cast<std::size_t>(channel)); }
    unsigned __int128 SumOfSquares(int channel) const {
        return sums_.at(static_cast<std::size_t>(channel));
    }
    SignalLevels Levels(double fullScale) const;

  private:
    std::vector<std::int64_t> peaks_;
    // Squares of 32-bit values summed exactly, in integers (long double additions cost a pass).
    std::vector<unsigned __int128> sums_;
    std::int64_t samples_ = 0;
};

// The levels of a document as it was loaded, gathered from the reads that loading and the work
// on the document make anyway (WaveEnvironment::SourceValues) rather than by a pass of its own.
class LoadedLevels {
  public:
    // Listens on env until destroyed; off: does nothing. Made before the documents that tell.
    LoadedLevels(WaveEnvironment& env, bool on);
    ~LoadedLevels();
    LoadedLevels(const LoadedLevels&) = delete;
    LoadedLevels& operator=(const LoadedLevels&) = delete;
    // The document loaded; values told of any other are not its.
    void Opened(const Wave& document);
    // Its figures, exact: the samples the reads did not reach are read now, from current while
    // it is the loaded document (unchanged there: its first change reads every sample), else
    // from the file input once more. Nothing when that fails.
    std::optional<SignalLevels> Levels(Wave& current, const std::filesystem::path& input);
    // How many samples from the first the reads have told so far.
    std::int64_t SamplesTold() const { return gatherer_.Samples(); }
    // Whether Levels would read the file input: to be asked before anything replaces it.
    bool NeedsInputFile(const Wave& current) const {
        return gatherer_.Samples() < total_ && current.Identity() != identity_;
    }

  private:
    WaveEnvironment& env_;
    bool on_;
    LevelsGatherer gatherer_;
    std::uint64_t identity_ = 0;
    int channels_ = 0;
    std::int64_t total_ = 0;
    double fullScale_ = 1;
    bool finishing_ = false;  // Levels reads the rest itself
};

// One pass over the document.
SignalLevels MeasureLevels(Wave& wave);
inline SignalLevels MeasureLevels(Engine&, Wave& wave) { return MeasureLevels(wave); }

}  // namespace sv::cli
