#include "dsp/FFT.h"

#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <system_error>

#include "dsp/FFTLoops.h"
#include "dsp/FFTVector4.h"

namespace sv {

using fftkernel::Block16;
using fftkernel::Block8;
using fftkernel::Vector16;
using fftkernel::Vector4;
using fftkernel::Vector8;

// The eight-wide work, compiled for AVX2 in FFTWide.cpp.
extern template void FFT::TransformOn<Vector8>(Complex*, Block8*, Block8*);
extern template void FFT::ForwardOn<Vector8>(const std::int32_t*, Complex*, Block8*, Block8*, bool);
extern template void FFT::ForwardMagnitudesOn<Vector8>(const std::int32_t*, float*, Block8*,
                                                       Block8*, bool);
extern template void FFT::InverseOn<Vector8>(const Complex*, std::int32_t*, Block8*, Block8*);
// The sixteen-wide work, compiled for AVX-512 in FFTWidest.cpp.
extern template void FFT::TransformOn<Vector16>(Complex*, Block16*, Block16*);
extern template void FFT::ForwardOn<Vector16>(const std::int32_t*, Complex*, Block16*, Block16*,
                                              bool);
extern template void FFT::ForwardMagnitudesOn<Vector16>(const std::int32_t*, float*, Block16*,
                                                        Block16*, bool);
extern template void FFT::InverseOn<Vector16>(const Complex*, std::int32_t*, Block16*, Block16*);

namespace {

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int CheckedSize(int n) {
    if (!IsPowerOfTwo(n) || n < 16)
        throw std::invalid_argument("TFFT size must be a power of two of at least 16");
    return n;
}

}  // namespace

FFT::Tables::Tables(int n) : plan(n) {
    analysis.resize(n);
    const long double d = n - 1;
    for (int i = 0; i < n; ++i) {
        const long double x = (2 * i - d) / d;
        analysis[i] = static_cast<double>(std::sqrt(1 - x * x));
    }
    // Made here: placed by the other thread's allocator, these tables made every inverse
    // transform a tenth slower.
    synthesis.resize(n);
    synthesisOverN.resize(n);
    auto workOutSynthesis = [this, n, d] {
        const long double twoPi = 2 * std::numbers::pi_v<long double>;
        for (int i = 0; i < n; ++i) {
            const auto hann = static_cast<double>((1 - std::cos(twoPi * i / d)) / 2);
            synthesis[i] = analysis[i] != 0.0
                               ? static_cast<double>(static_cast<long double>(hann) / analysis[i])
                               : 0.0;
            synthesisOverN[i] = synthesis[i] / n;
        }
    };
    try {
        synthesisReady = std::async(std::launch::async, workOutSynthesis).share();
    } catch (const std::system_error&) {
        workOutSynthesis();  // no thread to spare
        std::promise<void> done;
        done.set_value();
        synthesisReady = done.get_future().share();
    }

    const int half = n / 2;
    unpackRe.resize(half);
    unpackIm.resize(half);
    for (int k = 0; k < half; ++k) {
        const double angle = 2.0 * std::numbers::pi * k / n;
        unpackRe[k] = static_cast<float>(-0.5 * std::sin(angle));
        unpackIm[k] = static_cast<float>(-0.5 * std::cos(angle));
    }
}

// Every FFT of one size shares its tables: working them out (in long double) takes longer than
// many transforms, and each engine makes its own FFTs.
std::shared_ptr<const FFT::Tables> FFT::TablesFor(int n) {
    static std::mutex mutex;
    static std::map<int, std::shared_ptr<const Tables>> made;
    std::lock_guard lock(mutex);
    auto& tables = made[n];
    if (!tables) tables = std::make_shared<const Tables>(n);
    return tables;
}

FFT::FFT(int n)
    : n_(CheckedSize(n)),
      tables_(TablesFor(n_)),
      synthesis_(tables_->synthesis),
      analysis_(tables_->analysis),
      synthesisOverN_(tables_->synthesisOverN),
      unpackRe_(tables_->unpackRe),
      unpackIm_(tables_->unpackIm),
      plan_(tables_->plan) {
    // A kernel of L lanes needs at least 4 L values per run, so n / 2 >= 4 L for Forward.
    if (fftkernel::WidestVectorsEnabled() && n >= 128) {
        lanes_ = 16;
        widestA_.resize(n / 16);
        widestB_.resize(n / 16);
    } else if (fftkernel::WideVectorsEnabled() && n >= 64) {
        lanes_ = 8;
        wideA_.resize(n / 8);
        wideB_.resize(n / 8);
    } else {
        lanes_ = 4;
        bufA_.resize(n / 4);
        bufB_.resize(n / 4);
    }
}

int FFT::BitCount(unsigned n) {
    int count = 0;
    for (; n != 0; n >>= 1) ++count;
    return count;
}

void FFT::Transform(Complex* x) {
    if (lanes_ == 16) return TransformOn<Vector16>(x, widestA_.data(), widestB_.data());
    if (lanes_ == 8) return TransformOn<Vector8>(x, wideA_.data(), wideB_.data());
    TransformOn<Vector4>(x, bufA_.data(), bufB_.data());
}

void FFT::Forward(const std::int32_t* samples, Complex* x) { ForwardBins(samples, x, true); }

void FFT::ForwardLowerHalf(const std::int32_t* samples, Complex* x) {
    ForwardBins(samples, x, false);
}

void FFT::ForwardBins(const std::int32_t* samples, Complex* x, bool upper) {
    if (lanes_ == 16)
        return ForwardOn<Vector16>(samples, x, widestA_.data(), widestB_.data(), upper);
    if (lanes_ == 8) return ForwardOn<Vector8>(samples, x, wideA_.data(), wideB_.data(), upper);
    ForwardOn<Vector4>(samples, x, bufA_.data(), bufB_.data(), upper);
}

void FFT::ForwardMagnitudes(const std::int32_t* samples, float* magnitudes) {
    MagnitudesOf(samples, magnitudes, true);
}

void FFT::ForwardMagnitudesLowerHalf(const std::int32_t* samples, float* magnitudes) {
    MagnitudesOf(samples, magnitudes, false);
}

void FFT::MagnitudesOf(const std::int32_t* samples, float* magnitudes, bool upper) {
    if (lanes_ == 16)
        return ForwardMagnitudesOn<Vector16>(samples, magnitudes, widestA_.data(), widestB_.data(),
                                             upper);
    if (lanes_ == 8)
        return ForwardMagnitudesOn<Vector8>(samples, magnitudes, wideA_.data(), wideB_.data(),
                                            upper);
    ForwardMagnitudesOn<Vector4>(samples, magnitudes, bufA_.data(), bufB_.data(), upper);
}

void FFT::AwaitSynthesis() const {
    if (synthesisSeen_) return;
    tables_->synthesisReady.wait();
    synthesisSeen_ = true;
}

const DoubleArray& FFT::SynthesisWindow() const {
    AwaitSynthesis();
    return synthesis_;
}

void FFT::Inverse(const Complex* x, std::int32_t* samples) {
    AwaitSynthesis();
    if (lanes_ == 16) return InverseOn<Vector16>(x, samples, widestA_.data(), widestB_.data());
    if (lanes_ == 8) return InverseOn<Vector8>(x, samples, wideA_.data(), wideB_.data());
    InverseOn<Vector4>(x, samples, bufA_.data(), bufB_.data());
}

}  // namespace sv
