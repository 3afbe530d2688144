#pragma once
// The FFT's vector layer four floats wide: plain SSE2, which every x86-64 CPU has, with portable
// fallbacks. FFTPasses.h and FFTLoops.h are written once against this interface; FFTVector8.h
// implements it eight wide. Every operation either moves values without changing them or does
// one IEEE single- or double-precision operation per value, so results are the same bits at
// every width.
//
// A layer is a struct of static functions:
//   V, Lanes          the vector type and its number of floats.
//   Load, Store       Lanes floats, unaligned.
//   Splat(x)          x in every lane.
//   SplatGroups(p)    p[g] in the g-th group of four lanes (p[0] everywhere at four lanes).
//   TransposeGroups   a 4x4 transpose of (a, b, c, d) within each group of four lanes.
//   InterleaveGroups  the groups of four lanes taken in the order a0 b0 c0 d0 a1 b1 c1 d1 ..
//                     and written back into a, b, c, d in that order (nothing moves at four
//                     lanes).
//   FirstGroupFrom    lanes 0-3 from a, the rest from b.
//   Reverse           lane l from lane Lanes - 1 - l.
//   Mirror(lo, hi)    hi[0] in lane 0, lo[Lanes - l] in lane l > 0: z[h - l] for l = 0 ..
//                     Lanes - 1, where hi starts at z[h] and lo ends at z[h - 1].
//   Sqrt              rounded square roots, as std::sqrt.
//   LoadSplit(p, re, im)            p[0 .. Lanes - 1] as real and imaginary parts;
//   LoadSplitBackwards(p, re, im)   lane l from p[Lanes - 1 - l].
//   StoreInterleaved(p, re, im)     their inverses.
//   StoreInterleavedBackwards(p, re, im)
//   WindowSamples(s, w, even, odd)  s[2l] * w[2l] into even[l], s[2l + 1] * w[2l + 1] into
//                                   odd[l], each product in double rounded to float.
//   StoreRoundedScaled(s, even, odd, w)  their counterpart: s[2l] <- even[l] * w[2l] and
//                                   s[2l + 1] <- odd[l] * w[2l + 1], the products in double
//                                   rounded half to even, at least 2^31 - 1 giving INT32_MAX and
//                                   below the int32 range (and NaN) INT32_MIN.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "dsp/Complex.h"
#include "dsp/FFTRadix4.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sv::fftkernel {

struct Vector4 {
    using V = V4;
    static constexpr int Lanes = 4;

    static V Load(const float* p) {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void Store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
    static V Splat(float x) { return V{x, x, x, x}; }
    static V SplatGroups(const float* p) { return Splat(p[0]); }

    static void TransposeGroups(V& a, V& b, V& c, V& d) {
        const V t0 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
        const V t1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
        const V t2 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
        const V t3 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
        a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
        b = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
        c = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
        d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
    }
    static void InterleaveGroups(V&, V&, V&, V&) {}
    static V FirstGroupFrom(V a, V) { return a; }

    static V Reverse(V v) { return __builtin_shufflevector(v, v, 3, 2, 1, 0); }
    static V Mirror(V lo, V hi) { return __builtin_shufflevector(lo, hi, 4, 3, 2, 1); }

    static V Sqrt(V v) {
#if defined(__SSE2__)
        return _mm_sqrt_ps(v);
#else
        return V{std::sqrt(v[0]), std::sqrt(v[1]), std::sqrt(v[2]), std::sqrt(v[3])};
#endif
    }

    static void LoadSplit(const Complex* p, V& re, V& im) {
        const V v0 = Load(&p[0].Re), v1 = Load(&p[2].Re);
        re = __builtin_shufflevector(v0, v1, 0, 2, 4, 6);
        im = __builtin_shufflevector(v0, v1, 1, 3, 5, 7);
    }
    static void LoadSplitBackwards(const Complex* p, V& re, V& im) {
        const V v0 = Load(&p[0].Re), v1 = Load(&p[2].Re);
        re = __builtin_shufflevector(v0, v1, 6, 4, 2, 0);
        im = __builtin_shufflevector(v0, v1, 7, 5, 3, 1);
    }
    static void StoreInterleaved(Complex* p, V re, V im) {
        Store(&p[0].Re, __builtin_shufflevector(re, im, 0, 4, 1, 5));
        Store(&p[2].Re, __builtin_shufflevector(re, im, 2, 6, 3, 7));
    }
    static void StoreInterleavedBackwards(Complex* p, V re, V im) {
        Store(&p[0].Re, __builtin_shufflevector(re, im, 3, 7, 2, 6));
        Store(&p[2].Re, __builtin_shufflevector(re, im, 1, 5, 0, 4));
    }

    static void WindowSamples(const std::int32_t* s, const double* w, V& even, V& odd) {
#if defined(__SSE2__)
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4));
        auto four = [](__m128i v, const double* wp) {
            const __m128d d0 = _mm_mul_pd(_mm_cvtepi32_pd(v), _mm_loadu_pd(wp));
            const __m128d d1 =
                _mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(v, v)), _mm_loadu_pd(wp + 2));
            return _mm_movelh_ps(_mm_cvtpd_ps(d0), _mm_cvtpd_ps(d1));
        };
        const V a = four(lo, w);
        const V b = four(hi, w + 4);
#else
        V a, b;
        for (int l = 0; l < 4; ++l) {
            a[l] = static_cast<float>(s[l] * w[l]);
            b[l] = static_cast<float>(s[l + 4] * w[l + 4]);
        }
#endif
        even = __builtin_shufflevector(a, b, 0, 2, 4, 6);
        odd = __builtin_shufflevector(a, b, 1, 3, 5, 7);
    }

    static void StoreRoundedScaled(std::int32_t* s, V even, V odd, const double* w) {
        StoreRoundedFour(s, __builtin_shufflevector(even, odd, 0, 4, 1, 5), w);
        StoreRoundedFour(s + 4, __builtin_shufflevector(even, odd, 2, 6, 3, 7), w + 4);
    }

  private:
    static void StoreRoundedFour(std::int32_t* dst, V v, const double* w) {
#if defined(__SSE2__)
        // Values too low for int32, -infinity and NaN convert to INT32_MIN by themselves; only
        // the top needs a clamp, which keeps NaN as it has NaN as its second operand.
        const __m128d highest = _mm_set1_pd(2147483647.0);
        __m128d lo = _mm_mul_pd(_mm_cvtps_pd(v), _mm_loadu_pd(w));
        __m128d hi = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(v, v)), _mm_loadu_pd(w + 2));
        lo = _mm_min_pd(highest, lo);
        hi = _mm_min_pd(highest, hi);
        const __m128i r = _mm_unpacklo_epi64(_mm_cvtpd_epi32(lo), _mm_cvtpd_epi32(hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r);
#else
        for (int l = 0; l < 4; ++l) {
            const double x = std::nearbyint(static_cast<double>(v[l]) * w[l]);
            dst[l] = x >= 2147483647.0   ? INT32_MAX
                     : x > -2147483648.0 ? static_cast<std::int32_t>(x)
                                         : INT32_MIN;
        }
#endif
    }
};

}  // namespace sv::fftkernel
