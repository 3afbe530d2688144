#include "dsp/FFT.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Real-input packing: Forward runs one n/2-point complex DFT on z[m] = x[2m] + i x[2m+1] and
// unpacks it; Inverse needs only the real part of its result, which is the inverse of the
// Hermitian part of the spectrum, so it too runs one n/2-point DFT. Both are exact for any
// spectrum, also one the engine has made non-symmetric.

namespace sv {
namespace {

using fftkernel::Block;
using fftkernel::Splat;
using fftkernel::V4;

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int CheckedSize(int n) {
    if (!IsPowerOfTwo(n) || n < 16)
        throw std::invalid_argument("TFFT size must be a power of two of at least 16");
    return n;
}

inline V4 LoadFloats(const float* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Two consecutive Complex values as (Re, Im, Re, Im).
inline V4 LoadPairs(const Complex* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void StorePairs(Complex* p, V4 v) { std::memcpy(p, &v, sizeof v); }

inline V4 SquareRoots(V4 v) {
#if defined(__SSE2__)
    return _mm_sqrt_ps(v);
#else
    return V4{std::sqrt(v[0]), std::sqrt(v[1]), std::sqrt(v[2]), std::sqrt(v[3])};
#endif
}

// Eight samples times the window (products in double, rounded to float), split into the even
// samples (real parts) and odd samples (imaginary parts) of four packed values.
inline Block WindowEightSamples(const std::int32_t* s, const double* w) {
#if defined(__SSE2__)
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4));
    auto half = [](__m128i v, const double* wp) {
        const __m128d d0 = _mm_mul_pd(_mm_cvtepi32_pd(v), _mm_loadu_pd(wp));
        const __m128d d1 =
            _mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(v, v)), _mm_loadu_pd(wp + 2));
        return _mm_movelh_ps(_mm_cvtpd_ps(d0), _mm_cvtpd_ps(d1));
    };
    const V4 a = half(lo, w);
    const V4 b = half(hi, w + 4);
#else
    V4 a, b;
    for (int l = 0; l < 4; ++l) {
        a[l] = static_cast<float>(s[l] * w[l]);
        b[l] = static_cast<float>(s[l + 4] * w[l + 4]);
    }
#endif
    return {__builtin_shufflevector(a, b, 0, 2, 4, 6), __builtin_shufflevector(a, b, 1, 3, 5, 7)};
}

// w * v rounded half to even, saturating at the int32 range (the engine keeps values far inside
// it). The product is formed in double: in single precision values near full scale would lose
// their last integer bits before rounding.
inline void StoreRoundedScaled(std::int32_t* dst, V4 v, const double* w) {
#if defined(__SSE2__)
    // Values too low for int32, -infinity and NaN convert to INT32_MIN by themselves; only
    // the top needs a clamp, which keeps NaN as it has NaN as its second operand.
    const __m128 f = v;
    const __m128d highest = _mm_set1_pd(2147483647.0);
    __m128d lo = _mm_mul_pd(_mm_cvtps_pd(f), _mm_loadu_pd(w));
    __m128d hi = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), _mm_loadu_pd(w + 2));
    lo = _mm_min_pd(highest, lo);
    hi = _mm_min_pd(highest, hi);
    const __m128i r = _mm_unpacklo_epi64(_mm_cvtpd_epi32(lo), _mm_cvtpd_epi32(hi));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r);
#else
    for (int l = 0; l < 4; ++l) {
        const double x = std::nearbyint(static_cast<double>(v[l]) * w[l]);
        // NaN lands on INT32_MIN, as with the SSE2 conversion.
        dst[l] = x >= 2147483647.0   ? INT32_MAX
                 : x > -2147483648.0 ? static_cast<std::int32_t>(x)
                                     : INT32_MIN;
    }
#endif
}

}  // namespace

FFT::Tables::Tables(int n) : plan(n) {
    synthesis.resize(n);
    analysis.resize(n);
    synthesisOverN.resize(n);
    const long double d = n - 1;
    const long double twoPi = 2 * std::numbers::pi_v<long double>;
    for (int i = 0; i < n; ++i) {
        const long double x = (2 * i - d) / d;
        synthesis[i] = static_cast<double>((1 - std::cos(twoPi * i / d)) / 2);
        analysis[i] = static_cast<double>(std::sqrt(1 - x * x));
    }
    for (int i = 0; i < n; ++i) {
        synthesis[i] =
            analysis[i] != 0.0
                ? static_cast<double>(static_cast<long double>(synthesis[i]) / analysis[i])
                : 0.0;
        synthesisOverN[i] = synthesis[i] / n;
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
    // The eight-wide kernel needs at least 32 values per run, so n / 2 >= 32 for Forward.
    wide_ = fftkernel::WideVectorsEnabled() && n >= 64;
    if (wide_) {
        wideA_.resize(n / 8);
        wideB_.resize(n / 8);
    } else {
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
    if (wide_) return TransformWide(x);
    Block* a = bufA_.data();
    const int blocks = n_ / 4;
    for (int j = 0; j < blocks; ++j) {
        const V4 v0 = LoadPairs(x + 4 * j), v1 = LoadPairs(x + 4 * j + 2);
        a[j] = {__builtin_shufflevector(v0, v1, 0, 2, 4, 6),
                __builtin_shufflevector(v0, v1, 1, 3, 5, 7)};
    }
    const Block* z = plan_.Run(a, bufB_.data(), n_);
    for (int j = 0; j < blocks; ++j) {
        StorePairs(x + 4 * j, __builtin_shufflevector(z[j].Re, z[j].Im, 0, 4, 1, 5));
        StorePairs(x + 4 * j + 2, __builtin_shufflevector(z[j].Re, z[j].Im, 2, 6, 3, 7));
    }
}

const Block* FFT::WindowAndTransform(const std::int32_t* samples) {
    const int half = n_ / 2;
    const int blocks = half / 4;
    Block* a = bufA_.data();
    for (int j = 0; j < blocks; ++j)
        a[j] = WindowEightSamples(samples + 8 * j, analysis_.data() + 8 * j);
    return plan_.Run(a, bufB_.data(), half);
}

namespace {

// Bins 0 .. n/2 - 1 of a real input's transform from its packed half-length transform z, four
// at a time: put(k, xr, xi) takes bins k .. k + 3 and their mirror images, then put.Ends(re0,
// im0) bins 0 and n/2, which come from z[0] alone.
// X[k] = (A + B)/2 + u_k (A - B), A = Z[k], B = conj Z[half - k], u_k = -i/2 exp(-2 pi i k/n).
template <typename Put>
inline void UnpackBins(const Block* z, const float* unpackRe, const float* unpackIm, int n,
                       const Put& put) {
    const int blocks = n / 8;
    const V4 oneHalf = Splat(0.5f);
    for (int j = 0; j < blocks; ++j) {
        const int k = 4 * j;
        const Block& lo = z[blocks - 1 - j];
        const Block& hi = z[j == 0 ? 0 : blocks - j];
        const V4 br = __builtin_shufflevector(lo.Re, hi.Re, 4, 3, 2, 1);
        const V4 bi = -__builtin_shufflevector(lo.Im, hi.Im, 4, 3, 2, 1);
        const V4 ar = z[j].Re, ai = z[j].Im;
        const V4 ur = LoadFloats(unpackRe + k), ui = LoadFloats(unpackIm + k);
        const V4 dr = ar - br, di = ai - bi;
        const V4 xr = oneHalf * (ar + br) + (ur * dr - ui * di);
        const V4 xi = oneHalf * (ai + bi) + (ur * di + ui * dr);
        put(k, xr, xi);
    }
    put.Ends(z[0].Re[0], z[0].Im[0]);
}

// The bins as complex values: the mirrored ones are the conjugates.
struct ComplexBins {
    Complex* x;
    int n;
    void operator()(int k, V4 xr, V4 xi) const {
        StorePairs(x + k, __builtin_shufflevector(xr, xi, 0, 4, 1, 5));
        StorePairs(x + k + 2, __builtin_shufflevector(xr, xi, 2, 6, 3, 7));
        if (k > 0) {
            // x[n-k-3 .. n-k] = conj of x[k+3 .. k], written backwards
            const V4 ni = -xi;
            StorePairs(x + n - k - 3, __builtin_shufflevector(xr, ni, 3, 7, 2, 6));
            StorePairs(x + n - k - 1, __builtin_shufflevector(xr, ni, 1, 5, 0, 4));
        } else {
            for (int l = 1; l < 4; ++l) x[n - l] = {xr[l], -xi[l]};
        }
    }
    // DC and the middle bin are real.
    void Ends(float re0, float im0) const {
        x[0] = {re0 + im0, 0.0f};
        x[n / 2] = {re0 - im0, 0.0f};
    }
};

// The bins' magnitudes; a mirrored bin's is its partner's, as (-y)(-y) = y y.
struct MagnitudeBins {
    float* m;
    int n;
    void operator()(int k, V4 xr, V4 xi) const {
        const V4 mag = SquareRoots(xr * xr + xi * xi);
        std::memcpy(m + k, &mag, sizeof mag);
        if (k > 0) {
            const V4 backwards = __builtin_shufflevector(mag, mag, 3, 2, 1, 0);
            std::memcpy(m + n - k - 3, &backwards, sizeof backwards);
        } else {
            for (int l = 1; l < 4; ++l) m[n - l] = mag[l];
        }
    }
    void Ends(float re0, float im0) const {
        m[0] = ComplexMath::Abs({re0 + im0, 0.0f});
        m[n / 2] = ComplexMath::Abs({re0 - im0, 0.0f});
    }
};

}  // namespace

void FFT::Forward(const std::int32_t* samples, Complex* x) {
    if (wide_) return ForwardWide(samples, x);
    UnpackBins(WindowAndTransform(samples), unpackRe_.data(), unpackIm_.data(), n_,
               ComplexBins{x, n_});
}

void FFT::ForwardMagnitudes(const std::int32_t* samples, float* magnitudes) {
    if (wide_) return ForwardMagnitudesWide(samples, magnitudes);
    UnpackBins(WindowAndTransform(samples), unpackRe_.data(), unpackIm_.data(), n_,
               MagnitudeBins{magnitudes, n_});
}

void FFT::Inverse(const Complex* x, std::int32_t* samples) {
    if (wide_) return InverseWide(x, samples);
    const int half = n_ / 2;
    const int blocks = half / 4;
    Block* a = bufA_.data();
    // Y[k] = (P + Q)/2 + t_k (P - Q), P = X[k] + conj X[n-k], Q = conj X[half-k] + X[half+k],
    // t_k = conj u_k; the inverse of Y gives z[m] = x[2m] + i x[2m+1] of the real part.
    const V4 oneHalf = Splat(0.5f);
    for (int j = 0; j < blocks; ++j) {
        const int k = 4 * j;
        auto split = [](V4 v0, V4 v1, V4& re, V4& im) {
            re = __builtin_shufflevector(v0, v1, 0, 2, 4, 6);
            im = __builtin_shufflevector(v0, v1, 1, 3, 5, 7);
        };
        auto splitBackwards = [](V4 v0, V4 v1, V4& re, V4& im) {
            re = __builtin_shufflevector(v0, v1, 6, 4, 2, 0);
            im = __builtin_shufflevector(v0, v1, 7, 5, 3, 1);
        };
        V4 xr, xi, hr, hi, nr, ni, mr, mi;
        split(LoadPairs(x + k), LoadPairs(x + k + 2), xr, xi);
        split(LoadPairs(x + half + k), LoadPairs(x + half + k + 2), hr, hi);
        splitBackwards(LoadPairs(x + half - k - 3), LoadPairs(x + half - k - 1), mr, mi);
        if (j > 0) {
            splitBackwards(LoadPairs(x + n_ - k - 3), LoadPairs(x + n_ - k - 1), nr, ni);
        } else {
            nr = V4{x[0].Re, x[n_ - 1].Re, x[n_ - 2].Re, x[n_ - 3].Re};
            ni = V4{x[0].Im, x[n_ - 1].Im, x[n_ - 2].Im, x[n_ - 3].Im};
        }
        const V4 pr = xr + nr, pi = xi - ni;
        const V4 qr = mr + hr, qi = hi - mi;
        const V4 dr = pr - qr, di = pi - qi;
        const V4 ur = LoadFloats(&unpackRe_[k]), ui = LoadFloats(&unpackIm_[k]);
        const V4 yr = oneHalf * (pr + qr) + (ur * dr + ui * di);
        const V4 yi = oneHalf * (pi + qi) + (ur * di - ui * dr);
        // Real and imaginary parts swapped: the forward kernel then computes the inverse DFT,
        // with the parts of its result swapped back below.
        a[j] = {yi, yr};
    }
    const Block* z = plan_.Run(a, bufB_.data(), half);
    const double* w = synthesisOverN_.data();
    for (int j = 0; j < blocks; ++j) {
        const V4 e0 = __builtin_shufflevector(z[j].Im, z[j].Re, 0, 4, 1, 5);
        const V4 e1 = __builtin_shufflevector(z[j].Im, z[j].Re, 2, 6, 3, 7);
        StoreRoundedScaled(samples + 8 * j, e0, w + 8 * j);
        StoreRoundedScaled(samples + 8 * j + 4, e1, w + 8 * j + 4);
    }
}

}  // namespace sv
