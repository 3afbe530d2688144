#pragma once
// FFT's loops around the kernel, written once over a vector layer (FFTVector4.h, FFTVector8.h);
// those after the kernel are handed to it as its sink, to run inside its last pass where they
// can. Included by the translation unit of each width, which is compiled for that width's
// instruction set.
//
// Real-input packing: Forward runs one n/2-point complex DFT on z[m] = x[2m] + i x[2m+1] and
// unpacks it; Inverse needs only the real part of its result, which is the inverse of the
// Hermitian part of the spectrum, so it too runs one n/2-point DFT. Both are exact for any
// spectrum, also one the engine has made non-symmetric.
#include <cmath>
#include <cstdint>

#include "dsp/Complex.h"
#include "dsp/FFT.h"
#include "dsp/FFTPasses.h"

namespace sv {
namespace fftkernel {

// Bins 0 .. n/2 - 1 of a real input's transform from its packed half-length transform z, Lanes
// at a time: put(k, xr, xi) takes bins k .. k + Lanes - 1 and their mirror images, then
// put.Ends(re0, im0) bins 0 and n/2, which come from z[0] alone.
// X[k] = (A + B)/2 + u_k (A - B), A = Z[k], B = conj Z[half - k], u_k = -i/2 exp(-2 pi i k/n).
template <class Vec, class Put>
inline void UnpackBins(const BlockOf<Vec>* z, const float* unpackRe, const float* unpackIm, int n,
                       const Put& put) {
    using V = typename Vec::V;
    const int blocks = n / (2 * Vec::Lanes);
    const V oneHalf = Vec::Splat(0.5f);
    for (int j = 0; j < blocks; ++j) {
        const int k = Vec::Lanes * j;
        const BlockOf<Vec>& lo = z[blocks - 1 - j];
        const BlockOf<Vec>& hi = z[j == 0 ? 0 : blocks - j];
        const V br = Vec::Mirror(lo.Re, hi.Re);
        const V bi = -Vec::Mirror(lo.Im, hi.Im);
        const V ar = z[j].Re, ai = z[j].Im;
        const V ur = Vec::Load(unpackRe + k), ui = Vec::Load(unpackIm + k);
        const V dr = ar - br, di = ai - bi;
        const V xr = oneHalf * (ar + br) + (ur * dr - ui * di);
        const V xi = oneHalf * (ai + bi) + (ur * di + ui * dr);
        put(k, xr, xi);
    }
    put.Ends(z[0].Re[0], z[0].Im[0]);
}

// The bins as complex values: the mirrored ones (with upper) are the conjugates.
template <class Vec>
struct ComplexBins {
    Complex* x;
    int n;
    bool upper;
    void operator()(int k, typename Vec::V xr, typename Vec::V xi) const {
        Vec::StoreInterleaved(x + k, xr, xi);
        if (!upper) return;
        if (k > 0) {
            // x[n-k-(Lanes-1) .. n-k] = conj of x[k+Lanes-1 .. k], written backwards
            Vec::StoreInterleavedBackwards(x + n - k - (Vec::Lanes - 1), xr, -xi);
        } else {
            for (int l = 1; l < Vec::Lanes; ++l) x[n - l] = {xr[l], -xi[l]};
        }
    }
    // DC and the middle bin are real.
    void Ends(float re0, float im0) const {
        x[0] = {re0 + im0, 0.0f};
        x[n / 2] = {re0 - im0, 0.0f};
    }
};

// The bins' magnitudes; a mirrored bin's (with upper) is its partner's, as (-y)(-y) = y y.
template <class Vec>
struct MagnitudeBins {
    float* m;
    int n;
    bool upper;
    void operator()(int k, typename Vec::V xr, typename Vec::V xi) const {
        const typename Vec::V mag = Vec::Sqrt(xr * xr + xi * xi);
        Vec::Store(m + k, mag);
        if (!upper) return;
        if (k > 0) {
            Vec::Store(m + n - k - (Vec::Lanes - 1), Vec::Reverse(mag));
        } else {
            for (int l = 1; l < Vec::Lanes; ++l) m[n - l] = mag[l];
        }
    }
    // ComplexMath::Abs of the real DC and middle bins, spelt out: an inline function shared
    // with code for other CPUs must not be compiled here.
    void Ends(float re0, float im0) const {
        const float dc = re0 + im0, middle = re0 - im0;
        m[0] = std::sqrt(dc * dc + 0.0f);
        m[n / 2] = std::sqrt(middle * middle + 0.0f);
    }
};

// The spectrum x's samples from the inverse kernel's output, whose real and imaginary parts are
// swapped (see FFT::InverseOn), times the synthesis window over n.
template <class Vec>
struct RoundedSamples {
    const double* window;
    std::int32_t* samples;
    void operator()(int j, const BlockOf<Vec>& z) const {
        const int i = 2 * Vec::Lanes * j;
        Vec::StoreRoundedScaled(samples + i, z.Im, z.Re, window + i);
    }
};

template <class Vec>
struct InterleavedValues {
    Complex* x;
    void operator()(int j, const BlockOf<Vec>& b) const {
        Vec::StoreInterleaved(x + Vec::Lanes * j, b.Re, b.Im);
    }
};

}  // namespace fftkernel

template <class Vec, class Block>
void FFT::TransformOn(Complex* x, Block* a, Block* b) {
    for (int j = 0; j < n_ / Vec::Lanes; ++j) Vec::LoadSplit(x + Vec::Lanes * j, a[j].Re, a[j].Im);
    fftkernel::Run<Vec>(plan_, a, b, n_, fftkernel::InterleavedValues<Vec>{x});
}

template <class Vec, class Block>
const Block* FFT::WindowAndTransform(const std::int32_t* samples, Block* a, Block* b) {
    const int step = 2 * Vec::Lanes;
    for (int j = 0; j < n_ / step; ++j)
        Vec::WindowSamples(samples + step * j, analysis_.data() + step * j, a[j].Re, a[j].Im);
    return fftkernel::Run<Vec>(plan_, a, b, n_ / 2, fftkernel::IntoBuffer{});
}

template <class Vec, class Block>
void FFT::ForwardOn(const std::int32_t* samples, Complex* x, Block* a, Block* b, bool upper) {
    fftkernel::UnpackBins<Vec>(WindowAndTransform<Vec>(samples, a, b), unpackRe_.data(),
                               unpackIm_.data(), n_, fftkernel::ComplexBins<Vec>{x, n_, upper});
}

template <class Vec, class Block>
void FFT::ForwardMagnitudesOn(const std::int32_t* samples, float* magnitudes, Block* a, Block* b,
                              bool upper) {
    fftkernel::UnpackBins<Vec>(WindowAndTransform<Vec>(samples, a, b), unpackRe_.data(),
                               unpackIm_.data(), n_,
                               fftkernel::MagnitudeBins<Vec>{magnitudes, n_, upper});
}

template <class Vec, class Block>
void FFT::InverseOn(const Complex* x, std::int32_t* samples, Block* a, Block* b) {
    using V = typename Vec::V;
    constexpr int lanes = Vec::Lanes;
    const int n = n_;
    const int half = n / 2;
    // Y[k] = (P + Q)/2 + t_k (P - Q), P = X[k] + conj X[n-k], Q = conj X[half-k] + X[half+k],
    // t_k = conj u_k; the inverse of Y gives z[m] = x[2m] + i x[2m+1] of the real part.
    const V oneHalf = Vec::Splat(0.5f);
    for (int j = 0; j < half / lanes; ++j) {
        const int k = lanes * j;
        V xr, xi, hr, hi, nr, ni, mr, mi;
        Vec::LoadSplit(x + k, xr, xi);
        Vec::LoadSplit(x + half + k, hr, hi);
        Vec::LoadSplitBackwards(x + half - k - (lanes - 1), mr, mi);
        if (j > 0) {
            Vec::LoadSplitBackwards(x + n - k - (lanes - 1), nr, ni);
        } else {
            // x[0], x[n-1], .., x[n-lanes+1]
            float re[lanes], im[lanes];
            for (int l = 0; l < lanes; ++l) {
                re[l] = x[l == 0 ? 0 : n - l].Re;
                im[l] = x[l == 0 ? 0 : n - l].Im;
            }
            nr = Vec::Load(re);
            ni = Vec::Load(im);
        }
        const V pr = xr + nr, pi = xi - ni;
        const V qr = mr + hr, qi = hi - mi;
        const V dr = pr - qr, di = pi - qi;
        const V ur = Vec::Load(&unpackRe_[k]), ui = Vec::Load(&unpackIm_[k]);
        const V yr = oneHalf * (pr + qr) + (ur * dr + ui * di);
        const V yi = oneHalf * (pi + qi) + (ur * di - ui * dr);
        // Real and imaginary parts swapped: the forward kernel then computes the inverse DFT,
        // with the parts of its result swapped back by the sink.
        a[j] = {yi, yr};
    }
    fftkernel::Run<Vec>(plan_, a, b, half,
                        fftkernel::RoundedSamples<Vec>{synthesisOverN_.data(), samples});
}

}  // namespace sv
