#pragma once
// Per-bin magnitude sums and peaks over a document's transform hops: what spectrum measurement
// needs. Measurement fills it by reading the document; a filtering walk can fill it while it
// writes the document, from the overlap-added values it is about to store, which spares the
// measurement a pass over the store.
#include <array>
#include <cstdint>
#include <memory>

#include "base/CoreTypes.h"
#include "dsp/Complex.h"
#include "dsp/FFT.h"

namespace sv {

class SpectrumTally {
  public:
    static constexpr int Channels = 2;  // further channels are not measured

    SpectrumTally();

    // Every sum and peak 0.
    void Reset();
    // Adds the magnitudes of one hop's spectrum of channel c to its sums and peaks. They are a
    // real block's, so m[SpectrumBins - k] is m[k]: only m[0 .. SpectrumBins / 2] is read, and
    // the sums and peaks above the middle, the same bits, are mirrored when read.
    void AddMagnitudes(int c, const float* m);
    // Channel c's sums and peaks as a measurement of the same document found them.
    void Assign(int c, const BinSpectrum& sums, const BinSpectrum& peaks);

    // For a walk that writes a document by overlap-adding blocks into an empty store, hop h
    // (h = 0, 1, ...) at store frame h x hop: block holds the inside values it adds for channel
    // c. Once a measuring hop's values are all added, its spectrum is taken (with fourier) and
    // tallied, up to and including measuring hop lastHop.
    void AddWrittenHop(FFT& fourier, int c, std::int64_t h, const std::int32_t* block,
                       std::int64_t inside, std::int64_t lastHop);

    const BinSpectrum& Sums(int c) const { return Mirrored(data_->sums[c]); }
    const BinSpectrum& Peaks(int c) const { return Mirrored(data_->peaks[c]); }

  private:
    static const BinSpectrum& Mirrored(BinSpectrum& bins);

    static constexpr int Size = SpectrumBins;
    static constexpr int Half = SpectrumBins / 2;

    struct Data {
        std::array<BinSpectrum, Channels> sums;
        std::array<BinSpectrum, Channels> peaks;
        // The second half of the last hop added, which the next hop completes, and the values
        // of the last two half-blocks already complete.
        std::array<std::array<std::int32_t, Half>, Channels> pending;
        std::array<std::array<std::int32_t, Size>, Channels> complete;
        std::array<std::array<float, Size>, Channels> magnitudes;  // scratch
    };
    std::unique_ptr<Data> data_;
};

}  // namespace sv
