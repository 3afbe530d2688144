#pragma once
// The FFT's vector layer eight floats wide, for a translation unit compiled for AVX2 (and
// without FMA, whose single rounding of a * b + c would change results); such code runs only
// where CpuHasWideVectors(). The interface and its promises are those of FFTVector4.h.
// Shuffles stay within 128-bit halves where they can: those are the cheap ones.
#if !defined(__AVX2__) || defined(__FMA__)
#error "FFTVector8.h needs AVX2 without FMA: compile with -mavx2 -mno-fma"
#endif

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "dsp/Complex.h"
#include "dsp/FFTRadix4.h"

namespace sv::fftkernel {

struct Vector8 {
    using V = V8;
    static constexpr int Lanes = 8;

    static V Load(const float* p) { return _mm256_loadu_ps(p); }
    static void Store(float* p, V v) { _mm256_storeu_ps(p, v); }
    static V Splat(float x) { return V{x, x, x, x, x, x, x, x}; }
    static V SplatGroups(const float* p) {
        const __m256 pairs =
            _mm256_castpd_ps(_mm256_broadcast_sd(reinterpret_cast<const double*>(p)));
        return _mm256_permutevar_ps(pairs, _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
    }

    static void TransposeGroups(V& a, V& b, V& c, V& d) {
        const V t0 = __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
        const V t1 = __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
        const V t2 = __builtin_shufflevector(c, d, 0, 8, 1, 9, 4, 12, 5, 13);
        const V t3 = __builtin_shufflevector(c, d, 2, 10, 3, 11, 6, 14, 7, 15);
        a = __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13);
        b = __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15);
        c = __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13);
        d = __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15);
    }
    static void InterleaveGroups(V& a, V& b, V& c, V& d) {
        const V a0b0 = __builtin_shufflevector(a, b, 0, 1, 2, 3, 8, 9, 10, 11);
        const V c0d0 = __builtin_shufflevector(c, d, 0, 1, 2, 3, 8, 9, 10, 11);
        const V a1b1 = __builtin_shufflevector(a, b, 4, 5, 6, 7, 12, 13, 14, 15);
        const V c1d1 = __builtin_shufflevector(c, d, 4, 5, 6, 7, 12, 13, 14, 15);
        a = a0b0;
        b = c0d0;
        c = a1b1;
        d = c1d1;
    }
    static V FirstGroupFrom(V a, V b) {
        return __builtin_shufflevector(a, b, 0, 1, 2, 3, 12, 13, 14, 15);
    }

    static V Reverse(V v) {
        return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    }
    static V Mirror(V lo, V hi) { return __builtin_shufflevector(lo, hi, 8, 7, 6, 5, 4, 3, 2, 1); }
    static V Sqrt(V v) { return _mm256_sqrt_ps(v); }

    static void LoadSplit(const Complex* p, V& re, V& im) {
        const __m256 a = LoadHalves(p, p + 4), b = LoadHalves(p + 2, p + 6);
        re = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        im = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    static void LoadSplitBackwards(const Complex* p, V& re, V& im) {
        const __m256 a = LoadHalves(p + 6, p + 2), b = LoadHalves(p + 4, p);
        re = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(0, 2, 0, 2));
        im = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(1, 3, 1, 3));
    }
    static void StoreInterleaved(Complex* p, V re, V im) {
        StoreHalves(p, p + 4, _mm256_unpacklo_ps(re, im));
        StoreHalves(p + 2, p + 6, _mm256_unpackhi_ps(re, im));
    }
    static void StoreInterleavedBackwards(Complex* p, V re, V im) {
        const __m256 r = _mm256_permute_ps(re, _MM_SHUFFLE(0, 1, 2, 3));
        const __m256 i = _mm256_permute_ps(im, _MM_SHUFFLE(0, 1, 2, 3));
        StoreHalves(p + 4, p, _mm256_unpacklo_ps(r, i));
        StoreHalves(p + 6, p + 2, _mm256_unpackhi_ps(r, i));
    }

    static void WindowSamples(const std::int32_t* s, const double* w, V& even, V& odd) {
        // Halves ordered so that the split below stays within each half.
        const V a = _mm256_set_m128(WindowFour(s + 8, w + 8), WindowFour(s, w));
        const V b = _mm256_set_m128(WindowFour(s + 12, w + 12), WindowFour(s + 4, w + 4));
        even = __builtin_shufflevector(a, b, 0, 2, 8, 10, 4, 6, 12, 14);
        odd = __builtin_shufflevector(a, b, 1, 3, 9, 11, 5, 7, 13, 15);
    }

    static void StoreRoundedScaled(std::int32_t* s, V even, V odd, const double* w) {
        const __m256 e0 = _mm256_unpacklo_ps(even, odd);  // samples 0-3, 8-11
        const __m256 e1 = _mm256_unpackhi_ps(even, odd);  // samples 4-7, 12-15
        const __m256i lo = _mm256_set_m128i(RoundScaledFour(_mm256_castps256_ps128(e1), w + 4),
                                            RoundScaledFour(_mm256_castps256_ps128(e0), w));
        const __m256i hi = _mm256_set_m128i(RoundScaledFour(_mm256_extractf128_ps(e1, 1), w + 12),
                                            RoundScaledFour(_mm256_extractf128_ps(e0, 1), w + 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s + 8), hi);
    }

  private:
    static __m256 LoadHalves(const Complex* low, const Complex* high) {
        return _mm256_loadu2_m128(&high->Re, &low->Re);
    }
    static void StoreHalves(Complex* low, Complex* high, __m256 v) {
        _mm256_storeu2_m128(&high->Re, &low->Re, v);
    }
    static __m128 WindowFour(const std::int32_t* s, const double* w) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        return _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtepi32_pd(v), _mm256_loadu_pd(w)));
    }
    // As Vector4's rounding: below the int32 range and NaN convert to INT32_MIN by themselves.
    static __m128i RoundScaledFour(__m128 v, const double* w) {
        const __m256d highest = _mm256_set1_pd(2147483647.0);
        const __m256d d = _mm256_mul_pd(_mm256_cvtps_pd(v), _mm256_loadu_pd(w));
        return _mm256_cvtpd_epi32(_mm256_min_pd(highest, d));
    }
};

}  // namespace sv::fftkernel
