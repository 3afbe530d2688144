#pragma once
// The processing engine. Every operation walks the document in blocks through one shared frame
// (busy cursor, progress window, cancel, replace-or-discard); each supplies only its per-block
// work.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "audio/Wave.h"
#include "base/CoreTypes.h"
#include "base/Progress.h"
#include "dsp/BlockPeaks.h"
#include "dsp/ChannelWorker.h"
#include "dsp/Complex.h"
#include "dsp/FFT.h"
#include "dsp/HopPacer.h"
#include "dsp/RemasterSettings.h"
#include "dsp/SpectrumTally.h"

namespace sv {

// The largest |value| of each channel of one document, gathered by the stage that wrote it.
struct ChannelPeaks {
    const Wave* Of = nullptr;
    std::vector<std::int64_t> Peaks;
};

// How a cancellable operation ended. A completed operation that produces a new document has
// replaced the caller's; a cancelled one has left it as it was.
enum class WalkResult { Completed, Cancelled };

class Engine {
  public:
    static constexpr int BlockSize = 16384;
    static constexpr int Hop = BlockSize / 2;

    explicit Engine(FrontEndPorts ports);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Off: one thread, and every stage measures by reading the document itself. The results are
    // the same either way; tests compare both.
    void UseFastPaths(bool on) { fastPaths_ = on; }
    // Off: a hop's channels are transformed one after the other on the calling thread, for
    // callers that keep every core busy with documents of their own. Results are the same.
    void UseChannelThreads(bool on) { channelThreads_ = on; }
    // With channel threads off, a walk still takes a second thread while idleCores holds more
    // than 0: cores that callers sharing the machine have left idle (the end of a batch).
    void LendIdleCores(const std::atomic<int>* idleCores) { idleCores_ = idleCores; }
    // On: the swap file of a document an operation replaces serves the next operation's output
    // instead of being deleted, sparing the system freeing its pages and finding new ones. Off
    // (the default) deletes the one kept.
    void ReuseSwapFiles(bool on);
    // On: peak fitting rewrites only the blocks its dips reach, in the document itself, instead
    // of writing every value into a new one. A cancelled fitting then leaves the document partly
    // fitted, so this is for callers that discard the document after a cancel. Needs fast paths.
    void FitInPlace(bool on) { fitInPlace_ = on; }

    // Normalizing. Peaks a stage gathered while writing the document spare normalizing its own
    // scan when they are of that very document.
    std::int64_t FindChannelPeak(Wave& wave, int channel);
    // The gain normalizing gives each channel (0 for a silent one), with the peak windows.
    std::vector<float> NormalizingGains(Wave& wave, int levelDb, bool perChannel,
                                        const ChannelPeaks* known = nullptr);
    WalkResult Normalize(std::unique_ptr<Wave>& wave, int levelDb, bool perChannel,
                         const ChannelPeaks* known = nullptr);
    // Normalizing for a caller that saves next and applies gains while encoding: the document
    // is not rewritten and its normalizing window shows complete. Cancelled, with no gains,
    // where Normalize would have been.
    WalkResult NormalizeWhileSaving(Wave& wave, int levelDb, bool perChannel,
                                    const ChannelPeaks* known, std::vector<float>& gains);

    // Spectrum measurement and levelling.
    // A tally that a stage gathered while writing wave spares the measurement its walk.
    WalkResult MeasureSpectrum(Wave& wave, BinSpectrum& out0, BinSpectrum& out1,
                               BandLevelMode bandLevelMode, const SpectrumTally* known = nullptr);
    // Gain curves target / measured for both channels, mixed by the channel mode, smoothed by
    // bands and shaped by the pass filters of settings.
    void ComputeRemasterGains(Wave& wave, const BinSpectrum& target, BinSpectrum& curve0,
                              BinSpectrum& curve1, const RemasterSettings& settings);
    void SmoothGainsByBands(const Wave& wave, BinSpectrum& curve, int bands, int limit);
    void ApplyPassSlopes(Wave& wave, BinSpectrum& curve, int highPassHz, int lowPassKHz,
                         int highPassSlope, int lowPassSlope);
    // With written (kept per channel), a completed levelling also leaves there the block peaks
    // of the document it made.
    WalkResult ApplyGainCurves(std::unique_ptr<Wave>& wave, const BinSpectrum& curve0,
                               const BinSpectrum& curve1, BlockPeaks* written = nullptr);

    // Noise removal.
    WalkResult DetectNoise(Wave& wave, BinSpectrum& profile0, BinSpectrum& profile1, int parts,
                           int seconds);
    void ScaleNoiseProfile(Wave& wave, BinSpectrum& profile0, BinSpectrum& profile1, int percent);
    // With written, a completed removal also leaves there the measurement tally of the
    // document it made.
    WalkResult RemoveNoise(std::unique_ptr<Wave>& wave, const BinSpectrum& profile0,
                           const BinSpectrum& profile1, SpectrumTally* written = nullptr);

    // Peak fitting. With peaksOut, a completed fitting also leaves there the channel peaks of
    // the document it made. Block peaks a stage gathered while writing wave spare the fitting
    // its measuring pass when they are of that very document and block size.
    WalkResult FitPeaks(std::unique_ptr<Wave>& wave, int peakCount, int neighbourhood,
                        ChannelPeaks* peaksOut = nullptr, const BlockPeaks* known = nullptr);

  private:
    // ---- the shared frame -----------------------------------------------------------------
    // One progress window for one walk.
    class BlockWalk {
      public:
        BlockWalk(Engine& engine, const std::string& title, std::int64_t units,
                  bool pollsCancel = true);
        // Reports unit i and answers whether the walk goes on.
        bool Step(std::int64_t unit);
        bool CancelRequested() const { return progress_->CancelRequested(); }
        // SetDone(units); Cancelled when a walk that polls the cancel request saw one.
        WalkResult Finish();

      private:
        Engine& engine_;
        std::unique_ptr<Progress> progress_;
        std::int64_t units_;
        bool pollsCancel_;
    };

    // The peak of every channel: from known when it is of wave, else by scanning; the progress
    // windows are those of FindChannelPeak for each channel.
    std::vector<std::int64_t> AllChannelPeaks(Wave& wave, const ChannelPeaks* known);

    // Output document of the same format and length as wave.
    std::unique_ptr<Wave> CreateOutput(const Wave& wave);
    // Output replaces the document unless the walk was cancelled. Returns result.
    WalkResult Replace(std::unique_ptr<Wave>& wave, std::unique_ptr<Wave>& output,
                       WalkResult result);

    // Visits every transform hop h = 0 .. F / 8192 (+ 1 with coverTail) of every channel, each
    // channel's hops in order: perBin(channel, spectrum) gets the forward transform of the hop's
    // 16384 values, or, where it takes magnitudes (int, const float*) and there is no output, their
    // magnitudes only. Two channels may be visited at once, so perBin touches only its channel's
    // data. With an output document the modified spectrum is transformed back and added into it;
    // written then tallies the output's measuring hops as they become complete.
    // The extra hop gives the last F % 8192 frames the rising half of a window too, so a
    // filtered recording does not fade out; it reads zeros past the store's end and drops what
    // it would add there. Returns false when cancelled.
    template <typename PerBin>
    bool WalkHops(Wave& wave, Wave* output, BlockWalk& walk, bool coverTail, PerBin&& perBin,
                  SpectrumTally* written = nullptr, BlockPeaks* peaksWritten = nullptr);
    // Work units of a walk: one per hop.
    static std::int64_t WalkUnits(const Wave& wave, bool coverTail) {
        return wave.FrameCount() / Hop + (coverTail ? 1 : 0);
    }

    // One channel's transform buffers; two of them let a hop's channels be transformed at once.
    struct HopLane {
        explicit HopLane(int n) : fourier(n), block(n), sums(n), spectrum(n), magnitudes(n) {}
        FFT fourier;
        Int32Array block;
        Int32Array sums;  // the output's values after the hop's addition
        ComplexArray spectrum;
        std::vector<float> magnitudes;
    };
    // The thread for every second channel, or null when channels are transformed one by one.
    ChannelWorker* PairWorker(int channels);
    // How many hops one channel thread may run ahead of the other while both stay well inside
    // the stretch a store window holds.
    static std::int64_t PacerLead(int channels);

    FrontEndPorts ports_;
    bool fastPaths_ = true;
    bool channelThreads_ = true;
    const std::atomic<int>* idleCores_ = nullptr;
    HopLane lanes_[2];
    std::unique_ptr<ChannelWorker> worker_;
    bool reuseSwapFiles_ = false;
    bool fitInPlace_ = false;
    std::unique_ptr<FileMemory> spareStore_;  // of the last document replaced
};

template <typename PerBin>
bool Engine::WalkHops(Wave& wave, Wave* output, BlockWalk& walk, bool coverTail, PerBin&& perBin,
                      SpectrumTally* written, BlockPeaks* peaksWritten) {
    const std::int64_t lastHop = WalkUnits(wave, coverTail);
    const std::int64_t lastMeasured = WalkUnits(wave, false);
    const std::int64_t storeFrames = wave.FrameCount() + 2 * MarginFrames;
    const int channels = wave.Channels();
    ChannelWorker* worker = PairWorker(channels);
    if (!output) {
        written = nullptr;
        peaksWritten = nullptr;
    }
    const std::int64_t documentEnd = MarginFrames + wave.FrameCount();
    // Hop h of channel c through lane: read, transform, perBin, transform back, add.
    auto hop = [&](HopLane& lane, int c, std::int64_t h) {
        const std::int64_t storeFrame = h * Hop;
        const std::int64_t inside =
            std::clamp<std::int64_t>(storeFrames - storeFrame, 0, BlockSize);
        wave.ReadChannel(lane.block.data(), storeFrame, c, inside);
        std::fill(lane.block.begin() + inside, lane.block.end(), 0);
        if constexpr (std::is_invocable_v<PerBin&, int, const float*>) {
            lane.fourier.ForwardMagnitudes(lane.block.data(), lane.magnitudes.data());
            perBin(c, lane.magnitudes.data());
        } else {
            lane.fourier.Forward(lane.block.data(), lane.spectrum.data());
            perBin(c, lane.spectrum.data());
            if (!output) return;
            lane.fourier.Inverse(lane.spectrum.data(), lane.block.data());
            if (written && c < SpectrumTally::Channels)
                written->AddWrittenHop(lane.fourier, c, h, lane.block.data(), inside, lastMeasured);
            if (!peaksWritten) {
                output->AddChannel(lane.block.data(), storeFrame, c, inside);
                return;
            }
            output->AddChannel(lane.block.data(), storeFrame, c, inside, lane.sums.data());
            // The frames of the hop's first half got their last addition from it.
            const std::int64_t from = std::max(storeFrame, MarginFrames);
            const std::int64_t to =
                std::min(storeFrame + std::min<std::int64_t>(inside, Hop), documentEnd);
            if (to > from)
                peaksWritten->TakeChannel(c, lane.sums.data() + (from - storeFrame),
                                          from - MarginFrames, to - from);
        }
    };
    if (!worker) {
        for (std::int64_t h = 0; h <= lastHop; ++h) {
            for (int c = 0; c < channels; ++c) hop(lanes_[0], c, h);
            if (!walk.Step(h)) return false;
        }
        return true;
    }
    // Two threads walk all hops, each for every second channel and through its own lane, store
    // traffic included. A channel's values see the same reads and additions in the same order
    // as on one thread, and 32-bit sums do not depend on how the channels interleave.
    HopPacer pacer(PacerLead(channels));
    bool goesOn = true;
    auto walkLane = [&](int self) {
        try {
            for (std::int64_t h = 0; h <= lastHop; ++h) {
                if (!pacer.MayStart(self, h)) return;
                for (int c = self; c < channels; c += 2) hop(lanes_[self], c, h);
                // Thread 0 reports before it lets thread 1 past, so a cancel ends both channels
                // after the same hop.
                if (self == 0 && !walk.Step(h)) {
                    goesOn = false;
                    pacer.EndAfter(h);
                    return;
                }
                pacer.Finished(self, h);
            }
        } catch (...) {
            pacer.Abandon();  // the other thread must not wait for this one
            throw;
        }
    };
    worker->RunBoth([&] { walkLane(0); }, [&] { walkLane(1); });
    return goesOn;
}

}  // namespace sv
