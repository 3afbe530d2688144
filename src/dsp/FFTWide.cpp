// FFT's loops around the kernel, eight values at a time; those after it are handed to the kernel
// as its sink, to run inside its last pass where it can. Each value goes through the same
// operations as in FFT.cpp, in the same order (products in double where they are in double there),
// so both give the same bits. Compiled for AVX2 without FMA; runs only where the CPU has it.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "dsp/FFT.h"
#include "dsp/FFTRadix4Wide.h"

namespace sv {
namespace {

using fftkernel::Block8;
using fftkernel::V8;
using fftkernel::wide::Load8;

// Shuffles stay within 128-bit halves where they can: those are the cheap ones.

SV_WIDE inline __m256 LoadHalves(const Complex* low, const Complex* high) {
    return _mm256_loadu2_m128(&high->Re, &low->Re);
}

// p[0 .. 7], split.
SV_WIDE inline void LoadSplit(const Complex* p, V8& re, V8& im) {
    const __m256 a = LoadHalves(p, p + 4), b = LoadHalves(p + 2, p + 6);
    re = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    im = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

// p[7], p[6], .., p[0], split.
SV_WIDE inline void LoadSplitBackwards(const Complex* p, V8& re, V8& im) {
    const __m256 a = LoadHalves(p + 6, p + 2), b = LoadHalves(p + 4, p);
    re = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(0, 2, 0, 2));
    im = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(1, 3, 1, 3));
}

SV_WIDE inline void StoreHalves(Complex* low, Complex* high, __m256 v) {
    _mm256_storeu2_m128(&high->Re, &low->Re, v);
}

// p[0 .. 7] from re, im.
SV_WIDE inline void StoreInterleaved(Complex* p, const V8& re, const V8& im) {
    StoreHalves(p, p + 4, _mm256_unpacklo_ps(re, im));
    StoreHalves(p + 2, p + 6, _mm256_unpackhi_ps(re, im));
}

// p[7], p[6], .., p[0] from re, im.
SV_WIDE inline void StoreInterleavedBackwards(Complex* p, const V8& re, const V8& im) {
    const __m256 r = _mm256_permute_ps(re, _MM_SHUFFLE(0, 1, 2, 3));
    const __m256 i = _mm256_permute_ps(im, _MM_SHUFFLE(0, 1, 2, 3));
    StoreHalves(p + 4, p, _mm256_unpacklo_ps(r, i));
    StoreHalves(p + 6, p + 2, _mm256_unpackhi_ps(r, i));
}

// Four samples times the window, the products in double rounded to float.
SV_WIDE inline __m128 WindowFour(const std::int32_t* s, const double* w) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    return _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtepi32_pd(v), _mm256_loadu_pd(w)));
}

// Windowed samples split into the even samples (real parts) and odd samples (imaginary parts)
// of packed values, sixteen per block.
SV_WIDE void WindowSamples(const std::int32_t* s, const double* w, Block8* out, int blocks) {
    for (int j = 0; j < blocks; ++j, s += 16, w += 16) {
        // Halves ordered so that the split below stays within each half.
        const V8 a = _mm256_set_m128(WindowFour(s + 8, w + 8), WindowFour(s, w));
        const V8 b = _mm256_set_m128(WindowFour(s + 12, w + 12), WindowFour(s + 4, w + 4));
        out[j] = {__builtin_shufflevector(a, b, 0, 2, 8, 10, 4, 6, 12, 14),
                  __builtin_shufflevector(a, b, 1, 3, 9, 11, 5, 7, 13, 15)};
    }
}

// The half-length spectrum whose inverse DFT gives the real part; see FFT::Inverse for the
// formula.
SV_WIDE void PackSpectrum(const Complex* x, const float* unpackRe, const float* unpackIm, int n,
                          Block8* out) {
    const int half = n / 2;
    const int blocks = half / 8;
    const V8 oneHalf = V8{} + 0.5f;
    for (int j = 0; j < blocks; ++j) {
        const int k = 8 * j;
        V8 xr, xi, hr, hi, nr, ni, mr, mi;
        LoadSplit(x + k, xr, xi);
        LoadSplit(x + half + k, hr, hi);
        LoadSplitBackwards(x + half - k - 7, mr, mi);
        if (j > 0) {
            LoadSplitBackwards(x + n - k - 7, nr, ni);
        } else {
            nr = V8{x[0].Re,     x[n - 1].Re, x[n - 2].Re, x[n - 3].Re,
                    x[n - 4].Re, x[n - 5].Re, x[n - 6].Re, x[n - 7].Re};
            ni = V8{x[0].Im,     x[n - 1].Im, x[n - 2].Im, x[n - 3].Im,
                    x[n - 4].Im, x[n - 5].Im, x[n - 6].Im, x[n - 7].Im};
        }
        const V8 pr = xr + nr, pi = xi - ni;
        const V8 qr = mr + hr, qi = hi - mi;
        const V8 dr = pr - qr, di = pi - qi;
        const V8 ur = Load8(unpackRe + k), ui = Load8(unpackIm + k);
        const V8 yr = oneHalf * (pr + qr) + (ur * dr + ui * di);
        const V8 yi = oneHalf * (pi + qi) + (ur * di - ui * dr);
        out[j] = {yi, yr};
    }
}

// Four values times w in double, rounded half to even, saturated (as StoreRoundedScaled).
SV_WIDE inline __m128i RoundScaledFour(__m128 v, const double* w) {
    const __m256d highest = _mm256_set1_pd(2147483647.0);
    const __m256d d = _mm256_mul_pd(_mm256_cvtps_pd(v), _mm256_loadu_pd(w));
    return _mm256_cvtpd_epi32(_mm256_min_pd(highest, d));
}

// Sixteen samples from the inverse kernel's output, whose real and imaginary parts are swapped.
struct RoundedSamples {
    const double* window;
    std::int32_t* samples;

    SV_WIDE void operator()(int j, const Block8& z) const {
        const double* w = window + 16 * j;
        std::int32_t* dst = samples + 16 * j;
        const __m256 e0 = _mm256_unpacklo_ps(z.Im, z.Re);  // samples 0-3, 8-11
        const __m256 e1 = _mm256_unpackhi_ps(z.Im, z.Re);  // samples 4-7, 12-15
        const __m256i lo = _mm256_set_m128i(RoundScaledFour(_mm256_castps256_ps128(e1), w + 4),
                                            RoundScaledFour(_mm256_castps256_ps128(e0), w));
        const __m256i hi = _mm256_set_m128i(RoundScaledFour(_mm256_extractf128_ps(e1, 1), w + 12),
                                            RoundScaledFour(_mm256_extractf128_ps(e0, 1), w + 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 8), hi);
    }
};

SV_WIDE void Deinterleave(const Complex* x, Block8* out, int blocks) {
    for (int j = 0; j < blocks; ++j) LoadSplit(x + 8 * j, out[j].Re, out[j].Im);
}

struct InterleavedValues {
    Complex* x;
    SV_WIDE void operator()(int j, const Block8& b) const {
        StoreInterleaved(x + 8 * j, b.Re, b.Im);
    }
};

// Bins 0 .. n/2 - 1 of a real input's transform from its packed half-length transform z (see
// FFT::Forward for the formula), eight at a time: put(k, xr, xi) takes bins k .. k + 7 and their
// mirror images. Bins 0 and n/2 come from z[0] alone; put.Ends(re0, im0) sets them.
template <typename Put>
SV_WIDE inline void UnpackBins(const Block8* z, const float* unpackRe, const float* unpackIm, int n,
                               const Put& put) {
    const int half = n / 2;
    const int blocks = half / 8;
    const V8 oneHalf = V8{} + 0.5f;
    for (int j = 0; j < blocks; ++j) {
        const int k = 8 * j;
        const Block8& lo = z[blocks - 1 - j];
        const Block8& hi = z[j == 0 ? 0 : blocks - j];
        const V8 br = __builtin_shufflevector(lo.Re, hi.Re, 8, 7, 6, 5, 4, 3, 2, 1);
        const V8 bi = -__builtin_shufflevector(lo.Im, hi.Im, 8, 7, 6, 5, 4, 3, 2, 1);
        const V8 ar = z[j].Re, ai = z[j].Im;
        const V8 ur = Load8(unpackRe + k), ui = Load8(unpackIm + k);
        const V8 dr = ar - br, di = ai - bi;
        const V8 xr = oneHalf * (ar + br) + (ur * dr - ui * di);
        const V8 xi = oneHalf * (ai + bi) + (ur * di + ui * dr);
        put(k, xr, xi);
    }
    put.Ends(z[0].Re[0], z[0].Im[0]);
}

// The bins as complex values: the mirrored ones are the conjugates.
struct ComplexBins {
    Complex* x;
    int n;
    SV_WIDE void operator()(int k, const V8& xr, const V8& xi) const {
        StoreInterleaved(x + k, xr, xi);
        if (k > 0) {
            // x[n-k-7 .. n-k] = conj of x[k+7 .. k], written backwards
            StoreInterleavedBackwards(x + n - k - 7, xr, -xi);
        } else {
            for (int l = 1; l < 8; ++l) x[n - l] = {xr[l], -xi[l]};
        }
    }
    void Ends(float re0, float im0) const {
        x[0] = {re0 + im0, 0.0f};
        x[n / 2] = {re0 - im0, 0.0f};
    }
};

// The bins' magnitudes; a mirrored bin's is its partner's, as (-y)(-y) = y y.
struct MagnitudeBins {
    float* m;
    int n;
    SV_WIDE void operator()(int k, const V8& xr, const V8& xi) const {
        const __m256 mag = _mm256_sqrt_ps(xr * xr + xi * xi);
        _mm256_storeu_ps(m + k, mag);
        if (k > 0) {
            const __m256i backwards = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
            _mm256_storeu_ps(m + n - k - 7, _mm256_permutevar8x32_ps(mag, backwards));
        } else {
            const V8 lanes = mag;
            for (int l = 1; l < 8; ++l) m[n - l] = lanes[l];
        }
    }
    void Ends(float re0, float im0) const {
        m[0] = ComplexMath::Abs({re0 + im0, 0.0f});
        m[n / 2] = ComplexMath::Abs({re0 - im0, 0.0f});
    }
};

}  // namespace

void FFT::ForwardMagnitudesWide(const std::int32_t* samples, float* magnitudes) {
    WindowSamples(samples, analysis_.data(), wideA_.data(), n_ / 16);
    const Block8* z = fftkernel::wide::Run(plan_, wideA_.data(), wideB_.data(), n_ / 2,
                                           fftkernel::wide::IntoBuffer{});
    UnpackBins(z, unpackRe_.data(), unpackIm_.data(), n_, MagnitudeBins{magnitudes, n_});
}

void FFT::TransformWide(Complex* x) {
    Deinterleave(x, wideA_.data(), n_ / 8);
    fftkernel::wide::Run(plan_, wideA_.data(), wideB_.data(), n_, InterleavedValues{x});
}

void FFT::ForwardWide(const std::int32_t* samples, Complex* x) {
    WindowSamples(samples, analysis_.data(), wideA_.data(), n_ / 16);
    const Block8* z = fftkernel::wide::Run(plan_, wideA_.data(), wideB_.data(), n_ / 2,
                                           fftkernel::wide::IntoBuffer{});
    UnpackBins(z, unpackRe_.data(), unpackIm_.data(), n_, ComplexBins{x, n_});
}

void FFT::InverseWide(const Complex* x, std::int32_t* samples) {
    PackSpectrum(x, unpackRe_.data(), unpackIm_.data(), n_, wideA_.data());
    fftkernel::wide::Run(plan_, wideA_.data(), wideB_.data(), n_ / 2,
                         RoundedSamples{synthesisOverN_.data(), samples});
}

}  // namespace sv
