#pragma once
// The processing engine. Every operation walks the document in blocks through one shared frame
// (busy cursor, progress window, cancel, replace-or-discard); each supplies only its per-block
// work.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/wav.h"
#include "base/DefType.h"
#include "base/Progress.h"
#include "dsp/FFT.h"
#include "dsp/complex.h"

namespace sv {

// Program-wide flags the engine writes.
struct TEngineFlags {
    bool StornoFlag = false;  // the last cancellable operation was cancelled
    bool DataSaved = true;    // cleared when an operation replaces the document
};

class TFiltr {
  public:
    static constexpr int BlockSize = 16384;
    static constexpr int Hop = BlockSize / 2;

    TFiltr(TEngineFlags& flags, TPorts ports);
    TFiltr(const TFiltr&) = delete;
    TFiltr& operator=(const TFiltr&) = delete;

    TFFT& Fourier() { return fourier_; }
    TEngineFlags& Flags() { return flags_; }
    const TPorts& Ports() const { return ports_; }

    // Normalizing.
    std::int64_t FindChannelPeak(TWave& wave, int channel);
    bool Normalize(std::unique_ptr<TWave>& wave, int levelDb, bool perChannel);

    // Spectrum measurement and levelling.
    void MeasureSpectrum(TWave& wave, TBinSpectrum& out0, TBinSpectrum& out1, int bandLevelMode);
    void ComputeRemasterGains(TWave& wave, const TBinSpectrum& target, TBinSpectrum& curve0,
                              TBinSpectrum& curve1, int channelMode, int bands, int highPassHz,
                              int lowPassKHz, int limit, int highPassSlope, int lowPassSlope);
    void SmoothGainsByBands(TWave& wave, TBinSpectrum& curve, int bands, int limit);
    void ApplyPassSlopes(TWave& wave, TBinSpectrum& curve, int highPassHz, int lowPassKHz,
                         int highPassSlope, int lowPassSlope);
    bool ApplyGainCurves(std::unique_ptr<TWave>& wave, const TBinSpectrum& curve0,
                         const TBinSpectrum& curve1);

    // Noise removal.
    void DetectNoise(TWave& wave, TBinSpectrum& profile0, TBinSpectrum& profile1, int parts,
                     int seconds);
    void ScaleNoiseProfile(TWave& wave, TBinSpectrum& profile0, TBinSpectrum& profile1,
                           int percent);
    bool RemoveNoise(std::unique_ptr<TWave>& wave, const TBinSpectrum& profile0,
                     const TBinSpectrum& profile1);

    // Peak fitting.
    bool FitPeaks(std::unique_ptr<TWave>& wave, int peakCount, int neighbourhood);

    // ---- the shared frame -----------------------------------------------------------------
    // One progress window for one walk. Finish() copies Cancel into StornoFlag when polled.
    class TWalk {
      public:
        TWalk(TFiltr& engine, const std::string& title, std::int64_t units,
              bool pollsStorno = true);
        // Reports unit i and answers whether the walk goes on.
        bool Step(std::int64_t unit);
        bool Storno() const { return progress_->Storno(); }
        void ProcessEvents() { progress_->ProcessEvents(); }
        // SGauPro(units); StornoFlag := Cancel (for walks that poll it). True when not cancelled.
        bool Finish();

      private:
        TFiltr& engine_;
        std::unique_ptr<TProgress> progress_;
        std::int64_t units_;
        bool pollsStorno_;
    };

    // Output document of the same format and length as wave.
    std::unique_ptr<TWave> CreateOutput(const TWave& wave);
    // Output replaces the document unless the walk was cancelled. Returns !StornoFlag.
    bool Replace(std::unique_ptr<TWave>& wave, std::unique_ptr<TWave>& output);

    // Visits every transform hop h = 0 .. F div 8192 (+ 1 with coverTail) and every channel, in
    // that order: perBin(channel, spectrum) gets the forward transform of the hop's 16384 values.
    // With an output document the modified spectrum is transformed back and added into it.
    // The extra hop gives the last F mod 8192 frames the rising half of a window too, so a
    // filtered recording does not fade out; it reads zeros past the store's end and drops what
    // it would add there. Returns false when cancelled.
    template <typename PerBin>
    bool WalkHops(TWave& wave, TWave* output, TWalk& walk, bool coverTail, PerBin&& perBin);
    // Work units of a walk: one per hop.
    static std::int64_t WalkUnits(const TWave& wave, bool coverTail) {
        return wave.SampleCount() / Hop + (coverTail ? 1 : 0);
    }

  private:
    TEngineFlags& flags_;
    TPorts ports_;
    TFFT fourier_;
    TArrayOfLongint block_;
    TArrayOfComplex spectrum_;
};

template <typename PerBin>
bool TFiltr::WalkHops(TWave& wave, TWave* output, TWalk& walk, bool coverTail, PerBin&& perBin) {
    const std::int64_t lastHop = WalkUnits(wave, coverTail);
    const std::int64_t storeFrames = wave.SampleCount() + 2 * MarginFrames;
    const int channels = wave.Channels();
    for (std::int64_t h = 0; h <= lastHop; ++h) {
        const std::int64_t storeFrame = h * Hop;
        const std::int64_t inside =
            std::clamp<std::int64_t>(storeFrames - storeFrame, 0, BlockSize);
        for (int c = 0; c < channels; ++c) {
            wave.ReadChannel(block_.data(), storeFrame, c, inside);
            std::fill(block_.begin() + inside, block_.end(), 0);
            fourier_.Forward(block_.data(), spectrum_.data());
            perBin(c, spectrum_.data());
            if (output) {
                fourier_.Inverse(spectrum_.data(), block_.data());
                output->AddChannel(block_.data(), storeFrame, c, inside);
            }
        }
        if (!walk.Step(h)) return false;
    }
    return true;
}

}  // namespace sv
