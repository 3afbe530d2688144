#include "dsp/SpectrumRing.h"

#include <stdexcept>

namespace sv {

SpectrumRing::SpectrumRing(std::uint16_t count)
    : slotCount_(count), values_(static_cast<std::size_t>(count) * SlotValues, 0.0f) {
    if (count == 0) throw std::invalid_argument("SpectrumRing needs at least one slot");
}

void SpectrumRing::AddSpectrum(const Complex* x) {
    float* slot = Slot(writePos_);
    for (int k = 0; k < SpectrumBins; ++k) slot[k] = ComplexMath::Abs(x[k]);
    writePos_ = static_cast<std::uint16_t>(writePos_ + 1 == slotCount_ ? 0 : writePos_ + 1);
}

float SpectrumRing::MeanLevel() const {
    // One single-precision accumulator in a fixed order: the level decides which window wins, so
    // the rounding must not depend on how the sum is split.
    float sum = 0.0f;
    for (int s = 0; s < slotCount_; ++s) {
        const float* slot = Slot(s);
        for (int k = 0; k < SpectrumBins; ++k) sum += slot[k];
    }
    return sum / static_cast<float>(slotCount_) / static_cast<float>(SpectrumBins);
}

float SpectrumRing::MaxAt(int k) const {
    float best = 0.0f;
    for (int s = 0; s < slotCount_; ++s)
        if (Slot(s)[k] > best) best = Slot(s)[k];
    return best;
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
