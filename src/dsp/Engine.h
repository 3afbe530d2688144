#pragma once
// The processing engine. Every operation walks the document in blocks or transform hops through
// one shared frame (busy cursor, progress window, cancel, replace-or-discard); each supplies only
// its per-block or per-hop work.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/Wave.h"
#include "base/CoreTypes.h"
#include "base/ProcessingStep.h"
#include "base/Progress.h"
#include "dsp/ChainContext.h"
#include "dsp/HopWalker.h"
#include "dsp/RemasterSettings.h"

namespace sv {

struct LongTermSpectrum;

// How a cancellable operation ended. A completed operation that produces a new document has
// replaced the caller's; a cancelled one has left it as it was.
enum class WalkResult { Completed, Cancelled };

// How an engine works, fixed when it is made. The results are the same whatever is chosen.
struct EngineOptions {
    // Off: one thread, and every stage measures by reading the document itself; tests compare.
    bool FastPaths = true;
    // Off: a hop's channels are transformed one after the other on the calling thread, for
    // callers that keep every core busy with documents of their own.
    bool ChannelThreads = true;
    // With channel threads off, a walk still takes a second thread while this holds more than
    // 0: cores that callers sharing the machine have left idle (the end of a batch).
    const std::atomic<int>* IdleCores = nullptr;
    // On: peak fitting rewrites only the blocks its dips reach, in the document itself. A
    // cancelled fitting then leaves the document partly fitted, so this is for callers that
    // discard the document after a cancel. Needs fast paths.
    bool FitInPlace = false;
    // On: levelling writes over a document an earlier stage of the chain wrote, instead of into
    // a second store. A cancelled levelling then leaves it partly levelled, so this too is for
    // callers that discard the document after a cancel. Needs fast paths.
    bool LevelInPlace = false;
    // On: either channel thread may run a few hops ahead of the other, so the one with less
    // work takes over the stores' window moves. A cancelled walk may then have gone a few hops
    // further in the second channel, so this too is for callers that discard after a cancel.
    // Noise detection gives the same profiles either way: channel 1 follows channel 0's
    // judgements only as far as channel 0 got.
    bool EitherThreadLeads = false;
    // The captions of the progress windows.
    StepWording Caption;
};

class Engine {
  public:
    static constexpr int BlockSize = HopWalker::BlockSize;
    static constexpr int Hop = BlockSize / 2;

    explicit Engine(FrontEndPorts ports, EngineOptions options = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // A step in the words of the front end; empty without captions.
    std::string Worded(ProcessingStep step) const {
        return options_.Caption ? options_.Caption(step) : std::string{};
    }

    // Every operation that takes a context takes from it what the stage before gathered of
    // this very document, and leaves there what the stages to come want of its output. The
    // forms without one are single commands.

    // Normalizing.
    std::int64_t FindChannelPeak(Wave& wave, int channel);
    // The gain normalizing gives each channel (0 for a silent one), with the peak windows.
    std::vector<float> NormalizingGains(Wave& wave, int levelDb, bool perChannel,
                                        const ChainContext& context);
    WalkResult Normalize(std::unique_ptr<Wave>& wave, int levelDb, bool perChannel,
                         ChainContext& context);
    WalkResult Normalize(std::unique_ptr<Wave>& wave, int levelDb, bool perChannel);
    // Normalizing for a caller that saves next and applies gains while encoding: the document
    // is not rewritten and its normalizing window shows complete. Cancelled, with no gains,
    // where Normalize would have been.
    WalkResult NormalizeWhileSaving(Wave& wave, int levelDb, bool perChannel,
                                    const ChainContext& context, std::vector<float>& gains);

    // Spectrum measurement and levelling.
    WalkResult MeasureSpectrum(Wave& wave, BinSpectrum& out0, BinSpectrum& out1,
                               BandLevelMode bandLevelMode, const ChainContext& context);
    WalkResult MeasureSpectrum(Wave& wave, BinSpectrum& out0, BinSpectrum& out1,
                               BandLevelMode bandLevelMode);
    // The sums and peaks measurement mixes, for a caller that mixes them in any mode later.
    WalkResult MeasureLongTermSpectrum(Wave& wave, LongTermSpectrum& out,
                                       const ChainContext& context = ChainContext{});
    WalkResult ApplyGainCurves(std::unique_ptr<Wave>& wave, const BinSpectrum& curve0,
                               const BinSpectrum& curve1, ChainContext& context);
    WalkResult ApplyGainCurves(std::unique_ptr<Wave>& wave, const BinSpectrum& curve0,
                               const BinSpectrum& curve1);

    // Noise removal.
    WalkResult DetectNoise(Wave& wave, BinSpectrum& profile0, BinSpectrum& profile1, int parts,
                           int seconds);
    WalkResult RemoveNoise(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                           const BinSpectrum& profile1, ChainContext& context);
    WalkResult RemoveNoise(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                           const BinSpectrum& profile1);
    // The same walk, with gains smoothed over hops and bins above a floor (SmoothedNoiseGain).
    WalkResult RemoveNoiseSmoothly(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                                   const BinSpectrum& profile1, ChainContext& context);

    // Peak fitting.
    WalkResult FitPeaks(std::unique_ptr<Wave>& wave, int peakCount, int neighbourhood,
                        ChainContext& context);
    WalkResult FitPeaks(std::unique_ptr<Wave>& wave, int peakCount, int neighbourhood);

  private:
    // One progress window for one walk.
    class BlockWalk {
      public:
        BlockWalk(Engine& engine, ProcessingStep step, std::int64_t units, bool pollsCancel = true);
        // Reports unit i and answers whether the walk goes on.
        bool Step(std::int64_t unit);
        bool CancelRequested() const { return progress_->CancelRequested(); }
        // SetDone(units); Cancelled when a walk that polls the cancel request saw one.
        WalkResult Finish();

      private:
        std::unique_ptr<Progress> progress_;
        std::int64_t units_;
        bool pollsCancel_;
    };

    // The context an operation may take figures from: none on the straightforward path.
    const ChainContext& Usable(const ChainContext& context) const;
    // Whether an operation gathers what the context wants.
    bool Gathers(bool wanted) const { return options_.FastPaths && wanted; }

    // The peak of every channel: from the context when it has them of wave, else by scanning;
    // the progress windows are those of FindChannelPeak for each channel.
    std::vector<std::int64_t> AllChannelPeaks(Wave& wave, const ChainContext& context);

    // Output document of the same format and length as wave, on the context's spare store.
    std::unique_ptr<Wave> CreateOutput(const Wave& wave, ChainContext& context);
    // Output replaces the document unless the walk was cancelled. Returns result.
    static WalkResult Replace(std::unique_ptr<Wave>& wave, std::unique_ptr<Wave>& output,
                              WalkResult result, ChainContext& context);
    // Noise removal's walk, each hop's spectrum of channels 0 and 1 changed by perBin. With
    // lowerHalf, perBin gets bins 0 .. 8192 only and fills in the rest (FilterHops).
    WalkResult RemoveNoiseWith(std::unique_ptr<Wave>& wave,
                               const std::function<void(int, Complex*)>& perBin,
                               ChainContext& context, bool lowerHalf = false);

    // Filters every hop h = 0 .. F / 8192 + 1 of every channel of wave into output: perBin
    // (channel, spectrum) changes the forward transform of each hop's 16384 values, which is
    // transformed back and added into output. Two channels may be filtered at once, so perBin
    // touches only its channel's data. While it writes, the walk gathers into the context what
    // the stages to come want of the output. The extra hop gives the last F % 8192 frames the
    // rising half of a window too, so a filtered recording does not fade out; it reads zeros
    // past the store's end and drops what it would add there. Output may be wave itself: the
    // values are then written over it, the same as into a new output. With lowerHalf the
    // spectrum perBin gets holds bins 0 .. 8192 only, and perBin fills in the upper bins (from
    // the lower ones: bin 16384 - k is the conjugate of bin k). Returns false when cancelled.
    bool FilterHops(Wave& wave, Wave& output, BlockWalk& walk,
                    const std::function<void(int, Complex*)>& perBin, ChainContext& context,
                    bool lowerHalf = false);
    // Every walk over hops 0 .. WalkUnits of a document's channels.
    bool WalkHops(HopStage& stage, const Wave& wave, std::int64_t first, std::int64_t last,
                  int channels, std::int64_t trail,
                  const std::function<bool(std::int64_t)>& report);
    // Work units of a walk: one per hop.
    static std::int64_t WalkUnits(const Wave& wave, bool coverTail) {
        return wave.FrameCount() / Hop + (coverTail ? 1 : 0);
    }
    // Whether a walk over channels may take the channel thread.
    bool Paired(int channels) const;
    // How many hops one channel thread may run ahead of the other while both stay well inside
    // the stretch a store window holds.
    static std::int64_t PacerLead(int channels);

    // Peak fitting's steps: the threshold found from the input's block peaks, and the walks.
    struct FitPlan {
        std::int64_t b;
        std::int64_t blocks;
        std::int64_t threshold;
        const BlockPeaks& input;
    };
    // Measures the block peaks into measured, or with gathered (they are known already) only
    // shows the step's window.
    WalkResult MeasureBlockPeaks(Wave& wave, BlockPeaks& measured, bool gathered);
    // Fits input into output (the same document in place); channelPeaks, unless empty,
    // gathers the channel peaks of what is written.
    WalkResult FitBlocks(Wave& input, Wave& output, const FitPlan& plan,
                         std::vector<std::int64_t>& channelPeaks);
    WalkResult FitInPlace(Wave& wave, const FitPlan& plan, bool gather, ChainContext& context);

    FrontEndPorts ports_;
    const EngineOptions options_;
    HopWalker walker_;
    Int32Array scratch_;  // one block of one channel
};

}  // namespace sv
