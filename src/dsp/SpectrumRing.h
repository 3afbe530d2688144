#pragma once
// A ring of the most recent magnitude spectra: noise detection keeps the last few hops of each
// channel here to judge how quiet that stretch is and what its loudest bins are.
#include <cstdint>
#include <optional>
#include <vector>

#include "base/CoreTypes.h"
#include "dsp/Complex.h"
#include "dsp/FFT.h"

namespace sv {

class SpectrumRing {
  public:
    // One slot holds this many values; the engine fills the first SpectrumBins of them.
    static constexpr int SlotValues = SpectrumBins + 1;

    // A ring of count zeroed slots (count >= 1); all memory is taken here, once.
    explicit SpectrumRing(std::uint16_t count);

    std::uint16_t SlotCount() const { return slotCount_; }

    // Stores |x[k]| for k = 0 .. SpectrumBins - 1 in the oldest slot, which becomes
    // the newest.
    void AddSpectrum(const Complex* x);
    // The same for x = the forward transform of samples by fourier (of SpectrumBins points),
    // without the spectrum being written anywhere.
    void AddTransform(FFT& fourier, const std::int32_t* samples);
    // Sum of every slot's bins 0 .. SpectrumBins - 1 in single precision (slot by slot, bins
    // ascending), divided by SlotCount and by SpectrumBins. The running sum after each slot is
    // kept, so only the slots from the last one written onwards are added again.
    float MeanLevel();
    // MeanLevel() when it is below bound, nothing when it is not. Where each slot's total
    // (in double) already shows the level cannot be below bound, the single-precision sum is
    // not formed: a loud window costs a few thousand additions instead of a long serial chain.
    std::optional<float> LevelBelow(float bound);
    // Largest value of every bin over all slots, starting from 0; slot by slot so that memory
    // is read in order.
    void MaxSpectrum(BinSpectrum& out) const { MaxSpectrumOfRecent(slotCount_, 0, out); }
    // The same over the `slots` spectra added before the `skipped` most recent ones.
    void MaxSpectrumOfRecent(int slots, int skipped, BinSpectrum& out) const;

  private:
    // The oldest slot becomes the newest.
    void Advance();

    const float* Slot(int slot) const {
        return values_.data() + static_cast<std::size_t>(slot) * SlotValues;
    }
    float* Slot(int slot) { return values_.data() + static_cast<std::size_t>(slot) * SlotValues; }

    std::uint16_t writePos_ = 0;
    std::uint16_t slotCount_;
    std::vector<float> values_;
    // Whether MeanLevel() is certain to be at least bound, judged from the slot totals.
    bool SurelyNotBelow(float bound);

    // sumBefore_[s]: the sum over slots 0 .. s - 1, valid for s <= validSums_.
    std::vector<float> sumBefore_;
    int validSums_ = 0;
    // The sum of each slot's values in double, where totalKnown_ says it is up to date.
    std::vector<double> slotTotals_;
    std::vector<char> totalKnown_;
};

}  // namespace sv
