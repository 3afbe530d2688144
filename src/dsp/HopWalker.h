#pragma once
// Walks a document's transform hops for one stage: channel by channel on the calling thread, or
// with every second channel on a channel thread, both threads kept close by a pacer. Every
// hop-walking operation (measuring, levelling, noise detection and removal) goes through it.
#include <cstdint>
#include <functional>
#include <memory>

#include "base/CoreTypes.h"
#include "dsp/ChannelWorker.h"
#include "dsp/Complex.h"
#include "dsp/FFT.h"

namespace sv {

class Wave;

// One channel's transform buffers; two of them let a hop's channels be transformed at once.
struct HopLane {
    explicit HopLane(int n)
        : fourier(n), block(n), sums(n), spectrum(n), magnitudes(n), input_(n) {}
    FFT fourier;
    Int32Array block;
    Int32Array sums;  // the output's values after the hop's addition
    ComplexArray spectrum;
    std::vector<float> magnitudes;

    // Channel c's values of hop h (store frames h * n / 2 on, the first inside of them; zeros
    // after). A hop's second half is the next hop's first: when the lane read the hop before of
    // the same channel and document in this walk, only the new half is read, so a walk must not
    // change what a later hop of the channel reads before reading it.
    const std::int32_t* ReadHop(Wave& wave, int c, std::int64_t h, std::int64_t inside);
    // A new walk: what the lane read before counts no longer.
    void ForgetInput() { inputWave_ = nullptr; }

  private:
    Int32Array input_;
    const Wave* inputWave_ = nullptr;
    int inputChannel_ = -1;
    std::int64_t inputHop_ = -1;
    std::int64_t inputInside_ = 0;
};

// The work of one walk, in the one lifecycle every hop-walking effect shares. Hop is called once
// per hop and channel; two channels may be in Hop at once, each with its own lane, so it
// touches only its channel's data. A channel's hops come in order; with a trail of 1 channel 1
// takes hop h only after channel 0 has finished it.
class HopStage {
  public:
    virtual ~HopStage() = default;
    virtual void Start() {}
    virtual void Hop(HopLane& lane, int channel, std::int64_t hop) = 0;
    // After the last hop; completed is false when the walk was ended by a cancel.
    virtual void Finish(bool completed) { (void)completed; }
};

// How a walk is run: its hops, its channels and whether a second thread may take part.
struct HopRange {
    std::int64_t First = 0;
    std::int64_t Last = 0;  // included
    int Channels = 1;
    bool Paired = false;     // every second channel on the channel thread
    std::int64_t Lead = 1;   // hops thread 0 may run ahead of thread 1
    std::int64_t Trail = 0;  // hops thread 1 stays behind thread 0 at least
    // With Trail 0: thread 1 may lead too (HopPacer), so a cancel may find it past the hop
    // thread 0 ended after. For callers that discard what a cancelled walk wrote, or whose
    // thread 1 takes from thread 0 only what thread 0 has finished.
    bool EitherLeads = false;
    // For a walk that starts unpaired: asked after each hop whether a core has come free, and
    // when it answers true the rest of the walk is paired.
    std::function<bool()> PairFromNowOn;
};

class HopWalker {
  public:
    static constexpr int BlockSize = 16384;

    HopWalker();
    ~HopWalker();
    HopWalker(const HopWalker&) = delete;
    HopWalker& operator=(const HopWalker&) = delete;

    // Runs stage over the hops of range, calling report(h) once every channel of hop h is done
    // (thread 0's channels, when paired); a report that answers false ends the walk after that
    // hop on both threads. Returns whether the walk completed.
    bool Walk(HopStage& stage, const HopRange& range,
              const std::function<bool(std::int64_t)>& report);

  private:
    bool WalkPaired(HopStage& stage, const HopRange& range,
                    const std::function<bool(std::int64_t)>& report);

    HopLane lanes_[2];
    std::unique_ptr<ChannelWorker> worker_;
};

}  // namespace sv
