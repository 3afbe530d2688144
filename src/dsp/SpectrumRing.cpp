#include "dsp/SpectrumRing.h"

#include <algorithm>
#include <stdexcept>

namespace sv {

SpectrumRing::SpectrumRing(std::uint16_t count)
    : slotCount_(count),
      values_(static_cast<std::size_t>(count) * SlotValues, 0.0f),
      sumBefore_(static_cast<std::size_t>(count) + 1, 0.0f) {
    if (count == 0) throw std::invalid_argument("SpectrumRing needs at least one slot");
}

void SpectrumRing::AddSpectrum(const Complex* x) {
    float* slot = Slot(writePos_);
    for (int k = 0; k < SpectrumBins; ++k) slot[k] = ComplexMath::Abs(x[k]);
    validSums_ = std::min<int>(validSums_, writePos_);
    writePos_ = static_cast<std::uint16_t>(writePos_ + 1 == slotCount_ ? 0 : writePos_ + 1);
}

float SpectrumRing::MeanLevel() {
    // One single-precision accumulator in a fixed order: the level decides which window wins, so
    // the rounding must not depend on how the sum is split. Resuming from a kept running sum
    // repeats exactly the additions a full pass would make.
    float sum = sumBefore_[static_cast<std::size_t>(validSums_)];
    for (int s = validSums_; s < slotCount_; ++s) {
        const float* slot = Slot(s);
        for (int k = 0; k < SpectrumBins; ++k) sum += slot[k];
        sumBefore_[static_cast<std::size_t>(s) + 1] = sum;
    }
    validSums_ = slotCount_;
    return sum / static_cast<float>(slotCount_) / static_cast<float>(SpectrumBins);
}

void SpectrumRing::MaxSpectrum(BinSpectrum& out) const {
    out.fill(0.0f);
    for (int s = 0; s < slotCount_; ++s) {
        const float* slot = Slot(s);
        for (int k = 0; k < SpectrumBins; ++k)
            if (slot[k] > out[k]) out[k] = slot[k];
    }
}

}  // namespace sv
