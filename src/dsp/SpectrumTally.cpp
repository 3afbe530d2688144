#include "dsp/SpectrumTally.h"

#include <algorithm>

#include "dsp/BinLoops.h"

namespace sv {

SpectrumTally::SpectrumTally() : data_(std::make_unique<Data>()) { Reset(); }

void SpectrumTally::Reset() {
    for (int c = 0; c < Channels; ++c) {
        data_->sums[c].fill(0.0f);
        data_->peaks[c].fill(0.0f);
        data_->pending[c].fill(0);
        data_->complete[c].fill(0);
    }
}

void SpectrumTally::AddMagnitudes(int c, const float* m) {
    binloops::AddMagnitudes(data_->sums[c].data(), data_->peaks[c].data(), m, Half + 1);
}

const BinSpectrum& SpectrumTally::Mirrored(BinSpectrum& bins) {
    for (int k = Half + 1; k < Size; ++k) bins[k] = bins[Size - k];
    return bins;
}

void SpectrumTally::Assign(int c, const BinSpectrum& sums, const BinSpectrum& peaks) {
    data_->sums[c] = sums;
    data_->peaks[c] = peaks;
}

void SpectrumTally::AddWrittenHop(FFT& fourier, int c, std::int64_t h, const std::int32_t* block,
                                  std::int64_t inside, std::int64_t lastHop) {
    auto& pending = data_->pending[c];
    auto& complete = data_->complete[c];
    // Frames of the first half of hop h get their last addition from hop h; values past inside
    // are dropped.
    std::copy(complete.begin() + Half, complete.end(), complete.begin());
    const std::int64_t first = std::min<std::int64_t>(inside, Half);
    std::int32_t* completed = complete.data() + Half;
    for (std::int64_t i = 0; i < first; ++i)
        completed[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(pending[i]) +
                                                 static_cast<std::uint32_t>(block[i]));
    std::copy(pending.begin() + first, pending.end(), completed + first);
    const std::int64_t second = std::clamp<std::int64_t>(inside - Half, 0, Half);
    std::copy(block + Half, block + Half + second, pending.begin());
    std::fill(pending.begin() + second, pending.end(), 0);
    // Measuring hop h - 1 spans the two complete halves.
    if (h < 1 || h - 1 > lastHop) return;
    float* magnitudes = data_->magnitudes[c].data();
    fourier.ForwardMagnitudesLowerHalf(complete.data(), magnitudes);
    AddMagnitudes(c, magnitudes);
}

}  // namespace sv
