#pragma once
// Windowed transforms of integer sample blocks: forward to a full spectrum, inverse back to
// windowed integers for overlap-add, and the bin-to-frequency mapping.
#include <cstdint>
#include <future>
#include <memory>
#include <vector>

#include "base/CoreTypes.h"
#include "dsp/Complex.h"
#include "dsp/FFTRadix4.h"

namespace sv {

class FFT {
  public:
    // n: transform size, a power of two of at least 16 (the engine uses 16384).
    explicit FFT(int n);

    int Size() const { return n_; }
    // Hann over n - 1 points divided by the analysis window; 0 where that window is 0.
    const DoubleArray& SynthesisWindow() const;
    // Half-ellipse; analysis x synthesis is the Hann window.
    const DoubleArray& AnalysisWindow() const { return analysis_; }

    // Number of right shifts until n becomes 0.
    static int BitCount(unsigned n);

    // In-place forward DFT (sign -1, no scaling, natural order) of Size() values.
    void Transform(Complex* x);

    // x[0 .. n-1] <- DFT of samples[i] * AnalysisWindow[i]; every bin is filled, the upper half
    // being the exact conjugate mirror of the lower one.
    void Forward(const std::int32_t* samples, Complex* x);
    // x[0 .. n/2] as Forward gives them, the rest left as it was: for callers that work out the
    // upper half from the lower one.
    void ForwardLowerHalf(const std::int32_t* samples, Complex* x);
    // magnitudes[k] <- ComplexMath::Abs(x[k]) for k = 0 .. n-1 of the x that Forward would
    // give, bit for bit, without writing x: all that magnitude readers need, for half the
    // stores.
    void ForwardMagnitudes(const std::int32_t* samples, float* magnitudes);
    // magnitudes[0 .. n/2] as ForwardMagnitudes gives them, the rest left as it was.
    void ForwardMagnitudesLowerHalf(const std::int32_t* samples, float* magnitudes);

    // samples[i] <- round-half-even(SynthesisWindow[i] * Re(inverse DFT of x)[i]) with the 1/n
    // scaling, saturated to the int32 range. x need not be conjugate-symmetric and is left as
    // it was.
    void Inverse(const Complex* x, std::int32_t* samples);

  private:
    // The work at one vector width: Vec is a layer as described in FFTVector4.h, Block its
    // SplitComplex, a and b scratch of n complex values. All widths give the same bits. Defined
    // in FFTLoops.h; four lanes are instantiated in FFT.cpp, eight, compiled for AVX2, in
    // FFTWide.cpp, sixteen, compiled for AVX-512, in FFTWidest.cpp.
    template <class Vec, class Block>
    void TransformOn(Complex* x, Block* a, Block* b);
    void ForwardBins(const std::int32_t* samples, Complex* x, bool upper);
    template <class Vec, class Block>
    void ForwardOn(const std::int32_t* samples, Complex* x, Block* a, Block* b, bool upper);
    void MagnitudesOf(const std::int32_t* samples, float* magnitudes, bool upper);
    template <class Vec, class Block>
    void ForwardMagnitudesOn(const std::int32_t* samples, float* magnitudes, Block* a, Block* b,
                             bool upper);
    template <class Vec, class Block>
    void InverseOn(const Complex* x, std::int32_t* samples, Block* a, Block* b);
    // The half-length transform of the windowed samples, in a or b.
    template <class Vec, class Block>
    const Block* WindowAndTransform(const std::int32_t* samples, Block* a, Block* b);

    // What depends only on the size.
    struct Tables {
        explicit Tables(int n);
        DoubleArray analysis;
        std::vector<float> unpackRe;  // -sin(2 pi k / n) / 2, k < n/2
        std::vector<float> unpackIm;  // -cos(2 pi k / n) / 2
        fftkernel::Radix4Plan plan;
        // Only inverse transforms need these, and their cosines in long double are the slowest
        // part of the tables: they are worked out on a thread of their own meanwhile, ready once
        // synthesisReady is.
        DoubleArray synthesis;
        // SynthesisWindow / n, exact since n is a power of two; the last pass multiplies in
        // double so that large values keep their integer bits before rounding.
        std::vector<double> synthesisOverN;
        std::shared_future<void> synthesisReady;
    };
    static std::shared_ptr<const Tables> TablesFor(int n);

    // The synthesis tables, once this transform has seen them ready.
    void AwaitSynthesis() const;

    int n_;
    std::shared_ptr<const Tables> tables_;
    mutable bool synthesisSeen_ = false;
    const DoubleArray& synthesis_;
    const DoubleArray& analysis_;
    const std::vector<double>& synthesisOverN_;
    const std::vector<float>& unpackRe_;
    const std::vector<float>& unpackIm_;
    const fftkernel::Radix4Plan& plan_;
    int lanes_;  // the kernel's width, 4, 8 or 16; its scratch below, n / lanes_ blocks each
    std::vector<fftkernel::Block> bufA_;
    std::vector<fftkernel::Block> bufB_;
    std::vector<fftkernel::Block8> wideA_;
    std::vector<fftkernel::Block8> wideB_;
    std::vector<fftkernel::Block16> widestA_;
    std::vector<fftkernel::Block16> widestB_;
};

// Frequency in Hz of bin k of the SpectrumBins-point transform; bins above the middle mirror the
// lower half.
inline float BinFrequency(int k, double rate) {
    if (k > SpectrumBins / 2) k = SpectrumBins - k;
    return static_cast<float>(static_cast<double>(k) / SpectrumBins * rate);
}

}  // namespace sv
