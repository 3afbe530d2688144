#pragma once
// The FFT's vector layer sixteen floats wide, for a translation unit compiled for AVX-512F; such
// code runs only where CpuHasWidestVectors(). The interface and its promises are those of
// FFTVector4.h. Two-source permutes (one instruction each at this width) keep every layout
// natural. Clang's AVX-512F brings FMA along: nothing here names a fused operation, and the
// library is compiled with -ffp-contract=off, so no a * b + c is rounded once.
#if !defined(__AVX512F__)
#error "FFTVector16.h needs AVX-512F: compile with -mavx512f"
#endif

#include <immintrin.h>

#include <cstdint>

#include "dsp/Complex.h"
#include "dsp/FFTRadix4.h"

namespace sv::fftkernel {

struct Vector16 {
    using V = V16;
    static constexpr int Lanes = 16;

    static V Load(const float* p) { return _mm512_loadu_ps(p); }
    static void Store(float* p, V v) { _mm512_storeu_ps(p, v); }
    static V Splat(float x) { return _mm512_set1_ps(x); }
    static V SplatGroups(const float* p) {
        const __m512i groups = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
        return _mm512_permutexvar_ps(groups, _mm512_castps128_ps512(_mm_loadu_ps(p)));
    }

    static void TransposeGroups(V& a, V& b, V& c, V& d) {
        const V t0 =
            __builtin_shufflevector(a, b, 0, 16, 1, 17, 4, 20, 5, 21, 8, 24, 9, 25, 12, 28, 13, 29);
        const V t1 = __builtin_shufflevector(a, b, 2, 18, 3, 19, 6, 22, 7, 23, 10, 26, 11, 27, 14,
                                             30, 15, 31);
        const V t2 =
            __builtin_shufflevector(c, d, 0, 16, 1, 17, 4, 20, 5, 21, 8, 24, 9, 25, 12, 28, 13, 29);
        const V t3 = __builtin_shufflevector(c, d, 2, 18, 3, 19, 6, 22, 7, 23, 10, 26, 11, 27, 14,
                                             30, 15, 31);
        a = __builtin_shufflevector(t0, t2, 0, 1, 16, 17, 4, 5, 20, 21, 8, 9, 24, 25, 12, 13, 28,
                                    29);
        b = __builtin_shufflevector(t0, t2, 2, 3, 18, 19, 6, 7, 22, 23, 10, 11, 26, 27, 14, 15, 30,
                                    31);
        c = __builtin_shufflevector(t1, t3, 0, 1, 16, 17, 4, 5, 20, 21, 8, 9, 24, 25, 12, 13, 28,
                                    29);
        d = __builtin_shufflevector(t1, t3, 2, 3, 18, 19, 6, 7, 22, 23, 10, 11, 26, 27, 14, 15, 30,
                                    31);
    }
    // A 4x4 transpose of the groups: a0 b0 c0 d0 | a1 b1 c1 d1 | a2 b2 c2 d2 | a3 b3 c3 d3.
    static void InterleaveGroups(V& a, V& b, V& c, V& d) {
        const V abLow =
            __builtin_shufflevector(a, b, 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
        const V abHigh = __builtin_shufflevector(a, b, 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15,
                                                 28, 29, 30, 31);
        const V cdLow =
            __builtin_shufflevector(c, d, 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
        const V cdHigh = __builtin_shufflevector(c, d, 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15,
                                                 28, 29, 30, 31);
        a = __builtin_shufflevector(abLow, cdLow, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21,
                                    22, 23);
        b = __builtin_shufflevector(abLow, cdLow, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28,
                                    29, 30, 31);
        c = __builtin_shufflevector(abHigh, cdHigh, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21,
                                    22, 23);
        d = __builtin_shufflevector(abHigh, cdHigh, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27,
                                    28, 29, 30, 31);
    }
    static V FirstGroupFrom(V a, V b) {
        return __builtin_shufflevector(a, b, 0, 1, 2, 3, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                                       31);
    }

    static V Reverse(V v) {
        return __builtin_shufflevector(v, v, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    }
    static V Mirror(V lo, V hi) {
        return __builtin_shufflevector(lo, hi, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
                                       1);
    }
    static V Sqrt(V v) { return _mm512_sqrt_ps(v); }

    static void LoadSplit(const Complex* p, V& re, V& im) {
        const V a = Load(&p[0].Re), b = Load(&p[8].Re);
        re = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28,
                                     30);
        im = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29,
                                     31);
    }
    static void LoadSplitBackwards(const Complex* p, V& re, V& im) {
        const V a = Load(&p[0].Re), b = Load(&p[8].Re);
        re = __builtin_shufflevector(a, b, 30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2,
                                     0);
        im = __builtin_shufflevector(a, b, 31, 29, 27, 25, 23, 21, 19, 17, 15, 13, 11, 9, 7, 5, 3,
                                     1);
    }
    static void StoreInterleaved(Complex* p, V re, V im) {
        Store(&p[0].Re, __builtin_shufflevector(re, im, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6,
                                                22, 7, 23));
        Store(&p[8].Re, __builtin_shufflevector(re, im, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13,
                                                29, 14, 30, 15, 31));
    }
    static void StoreInterleavedBackwards(Complex* p, V re, V im) {
        Store(&p[0].Re, __builtin_shufflevector(re, im, 15, 31, 14, 30, 13, 29, 12, 28, 11, 27, 10,
                                                26, 9, 25, 8, 24));
        Store(&p[8].Re, __builtin_shufflevector(re, im, 7, 23, 6, 22, 5, 21, 4, 20, 3, 19, 2, 18, 1,
                                                17, 0, 16));
    }

    static void WindowSamples(const std::int32_t* s, const double* w, V& even, V& odd) {
        const V a = Join(WindowEight(s, w), WindowEight(s + 8, w + 8));
        const V b = Join(WindowEight(s + 16, w + 16), WindowEight(s + 24, w + 24));
        even = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28,
                                       30);
        odd = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29,
                                      31);
    }

    static void StoreRoundedScaled(std::int32_t* s, V even, V odd, const double* w) {
        const V a = __builtin_shufflevector(even, odd, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6,
                                            22, 7, 23);
        const V b = __builtin_shufflevector(even, odd, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29,
                                            14, 30, 15, 31);
        StoreRoundedEight(s, LowHalf(a), w);
        StoreRoundedEight(s + 8, HighHalf(a), w + 8);
        StoreRoundedEight(s + 16, LowHalf(b), w + 16);
        StoreRoundedEight(s + 24, HighHalf(b), w + 24);
    }

  private:
    static __m256 LowHalf(V v) { return _mm512_castps512_ps256(v); }
    static __m256 HighHalf(V v) {
        return _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1));
    }
    static V Join(__m256 low, __m256 high) {
        return _mm512_castpd_ps(_mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(low)),
                                                   _mm256_castps_pd(high), 1));
    }
    static __m256 WindowEight(const std::int32_t* s, const double* w) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
        return _mm512_cvtpd_ps(_mm512_mul_pd(_mm512_cvtepi32_pd(v), _mm512_loadu_pd(w)));
    }
    // As Vector4's rounding: below the int32 range and NaN convert to INT32_MIN by themselves.
    static void StoreRoundedEight(std::int32_t* s, __m256 v, const double* w) {
        const __m512d highest = _mm512_set1_pd(2147483647.0);
        const __m512d d = _mm512_mul_pd(_mm512_cvtps_pd(v), _mm512_loadu_pd(w));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s),
                            _mm512_cvtpd_epi32(_mm512_min_pd(highest, d)));
    }
};

}  // namespace sv::fftkernel
