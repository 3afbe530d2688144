#include "dsp/SpectrumRing.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace sv {
namespace {

// The sum of a slot's values in double, in eight interleaved parts so that it vectorises; the
// order does not matter beyond far less than 1e-9 of the sum.
double SlotTotal(const float* values) {
    static_assert(SpectrumBins % 8 == 0);
    std::array<double, 8> parts{};
    for (int k = 0; k < SpectrumBins; k += 8)
        for (int l = 0; l < 8; ++l) parts[l] += values[k + l];
    double total = 0.0;
    for (const double part : parts) total += part;
    return total;
}

}  // namespace

SpectrumRing::SpectrumRing(std::uint16_t count)
    : slotCount_(count),
      values_(static_cast<std::size_t>(count) * SlotValues, 0.0f),
      sumBefore_(static_cast<std::size_t>(count) + 1, 0.0f),
      slotTotals_(count, 0.0),
      totalKnown_(count, 1) {
    if (count == 0) throw std::invalid_argument("SpectrumRing needs at least one slot");
}

void SpectrumRing::AddSpectrum(const Complex* x) {
    float* slot = Slot(writePos_);
    for (int k = 0; k < SpectrumBins; ++k) slot[k] = ComplexMath::Abs(x[k]);
    Advance();
}

void SpectrumRing::AddTransform(FFT& fourier, const std::int32_t* samples) {
    if (fourier.Size() != SpectrumBins)
        throw std::invalid_argument("SpectrumRing needs transforms of SpectrumBins points");
    fourier.ForwardMagnitudes(samples, Slot(writePos_));
    Advance();
}

void SpectrumRing::Advance() {
    totalKnown_[writePos_] = 0;
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

std::optional<float> SpectrumRing::LevelBelow(float bound) {
    if (SurelyNotBelow(bound)) return std::nullopt;
    const float level = MeanLevel();
    if (bound > level) return level;
    return std::nullopt;
}

bool SpectrumRing::SurelyNotBelow(float bound) {
    double total = 0.0;
    for (int s = 0; s < slotCount_; ++s) {
        if (!totalKnown_[s]) {
            slotTotals_[s] = SlotTotal(Slot(s));
            totalKnown_[s] = 1;
        }
        total += slotTotals_[s];
    }
    // The serial single-precision sum S' of n values that are not negative lies within
    // gamma = (n - 1) u / (1 - (n - 1) u) x S of their true sum S (u = 2^-24), and dividing it by
    // the slot count loses at most u more (by SpectrumBins: nothing), so the level is at least
    // S (1 - gamma - u) / (slots x bins). The totals in double are within far less than 1e-9 x S
    // of S. Tiny sums, whose quotients could lose more bits, are left to the exact sum.
    const double n = static_cast<double>(slotCount_) * SpectrumBins;
    const double u = 0x1p-24;
    const double gamma = (n - 1.0) * u / (1.0 - (n - 1.0) * u);
    const double factor = 1.0 - gamma - u - 1e-9;
    if (!(total >= 1e-20 && total <= 1e300) || !(factor > 0.0)) return false;
    return total * factor / n > static_cast<double>(bound);
}

void SpectrumRing::MaxSpectrumOfRecent(int slots, int skipped, BinSpectrum& out) const {
    out.fill(0.0f);
    for (int s = 0; s < slotCount_; ++s) {
        const int age = (writePos_ - 1 - s + 2 * slotCount_) % slotCount_;  // 0: the newest
        if (age < skipped || age >= skipped + slots) continue;
        const float* slot = Slot(s);
        for (int k = 0; k < SpectrumBins; ++k)
            if (slot[k] > out[k]) out[k] = slot[k];
    }
}

}  // namespace sv
