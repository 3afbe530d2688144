#include "dsp/BinLoops.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "dsp/FFTRadix4.h"

// AVX2 without FMA: a fused a * b + c rounds once and would change results.
#define SV_BINS_WIDE [[gnu::target("avx2")]]

namespace sv::binloops {
namespace {

// Plain loops, compiled once for each width; the compiler vectorises them.
[[gnu::always_inline]] inline void AddMagnitudesLoop(float* __restrict sums,
                                                     float* __restrict peaks,
                                                     const float* __restrict m, int count) {
    for (int k = 0; k < count; ++k) {
        sums[k] += m[k];
        peaks[k] = peaks[k] >= m[k] ? peaks[k] : m[k];  // NaN in m is taken
    }
}

// The subtraction itself, written once for both vector widths: bins of magnitude m keep
// (1 - r^2 + c - r c) of themselves, r = t / m, or become 0 unless m exceeds t (NaN included),
// as in ComplexMath::SubtractNoise. Vectors by reference: the eight-wide caller is compiled for
// AVX2 and this is not, so by value they would cross a calling convention.
template <class V>
[[gnu::always_inline]] inline void SubtractNoiseBins(V& re, V& im, const V& t, const V& c,
                                                     const V& m) {
    const V r = t / m;
    const V g = ((1.0f - r * r) + c) - r * c;
    using Mask = decltype(m > t);
    const Mask keep = m > t;
    re = reinterpret_cast<V>(reinterpret_cast<Mask>(re * g) & keep);
    im = reinterpret_cast<V>(reinterpret_cast<Mask>(im * g) & keep);
}

void SubtractNoiseNarrow(Complex* x, const float* threshold, const float* floor, int count) {
    int k = 0;
#if defined(__SSE2__)
    for (; k + 4 <= count; k += 4) {
        float* z = &x[k].Re;
        const __m128 lo = _mm_loadu_ps(z), hi = _mm_loadu_ps(z + 4);
        __m128 re = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 im = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
        SubtractNoiseBins(re, im, _mm_loadu_ps(threshold + k), _mm_loadu_ps(floor + k),
                          _mm_sqrt_ps(re * re + im * im));
        _mm_storeu_ps(z, _mm_unpacklo_ps(re, im));
        _mm_storeu_ps(z + 4, _mm_unpackhi_ps(re, im));
    }
#endif
    for (; k < count; ++k) x[k] = ComplexMath::SubtractNoise(x[k], threshold[k]);
}

void ScaleNarrow(Complex* x, const float* gain, int count) {
    int k = 0;
#if defined(__SSE2__)
    for (; k + 4 <= count; k += 4) {
        float* z = &x[k].Re;
        const __m128 g = _mm_loadu_ps(gain + k);
        _mm_storeu_ps(z, _mm_mul_ps(_mm_loadu_ps(z), _mm_unpacklo_ps(g, g)));
        _mm_storeu_ps(z + 4, _mm_mul_ps(_mm_loadu_ps(z + 4), _mm_unpackhi_ps(g, g)));
    }
#endif
    for (; k < count; ++k) x[k] = ComplexMath::Scale(x[k], gain[k]);
}

void MirrorConjugatesNarrow(Complex* x, int n, int k) {
    for (; k < n / 2; ++k) x[n - k] = {x[k].Re, -x[k].Im};
}

void AddMagnitudesNarrow(float* sums, float* peaks, const float* m, int count) {
    AddMagnitudesLoop(sums, peaks, m, count);
}

#if defined(__x86_64__)
// Bins k .. k + 7 as they lie in two 256-bit loads of x: the in-lane split below gives the
// order 0 1 4 5 2 3 6 7, which per-bin values must follow.
SV_BINS_WIDE inline __m256 LoadSplitOrder(const float* p) {
    return _mm256_castpd_ps(
        _mm256_permute4x64_pd(_mm256_castps_pd(_mm256_loadu_ps(p)), _MM_SHUFFLE(3, 1, 2, 0)));
}

SV_BINS_WIDE void SubtractNoiseWide(Complex* x, const float* threshold, const float* floor,
                                    int count) {
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        float* z = &x[k].Re;
        const __m256 lo = _mm256_loadu_ps(z), hi = _mm256_loadu_ps(z + 8);
        __m256 re = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        __m256 im = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
        SubtractNoiseBins(re, im, LoadSplitOrder(threshold + k), LoadSplitOrder(floor + k),
                          _mm256_sqrt_ps(re * re + im * im));
        _mm256_storeu_ps(z, _mm256_unpacklo_ps(re, im));
        _mm256_storeu_ps(z + 8, _mm256_unpackhi_ps(re, im));
    }
    SubtractNoiseNarrow(x + k, threshold + k, floor + k, count - k);
}

SV_BINS_WIDE void ScaleWide(Complex* x, const float* gain, int count) {
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        float* z = &x[k].Re;
        const __m256 g = _mm256_loadu_ps(gain + k);
        const __m256 pairsLo = _mm256_unpacklo_ps(g, g);  // gains 0 0 1 1 | 4 4 5 5
        const __m256 pairsHi = _mm256_unpackhi_ps(g, g);  // gains 2 2 3 3 | 6 6 7 7
        const __m256 first = _mm256_permute2f128_ps(pairsLo, pairsHi, 0x20);
        const __m256 second = _mm256_permute2f128_ps(pairsLo, pairsHi, 0x31);
        _mm256_storeu_ps(z, _mm256_mul_ps(_mm256_loadu_ps(z), first));
        _mm256_storeu_ps(z + 8, _mm256_mul_ps(_mm256_loadu_ps(z + 8), second));
    }
    ScaleNarrow(x + k, gain + k, count - k);
}

// Four bins at a time as four 64-bit lanes, each an imaginary part's sign bit over its real
// part: reversed, with those signs flipped.
SV_BINS_WIDE void MirrorConjugatesWide(Complex* x, int n) {
    const __m256d imaginarySigns = _mm256_castsi256_pd(_mm256_set1_epi64x(INT64_MIN));
    int k = 1;
    for (; k + 4 <= n / 2; k += 4) {
        const __m256d bins = _mm256_loadu_pd(reinterpret_cast<const double*>(x + k));
        const __m256d mirrored =
            _mm256_xor_pd(_mm256_permute4x64_pd(bins, _MM_SHUFFLE(0, 1, 2, 3)), imaginarySigns);
        _mm256_storeu_pd(reinterpret_cast<double*>(x + n - k - 3), mirrored);
    }
    MirrorConjugatesNarrow(x, n, k);
}

SV_BINS_WIDE void AddMagnitudesWide(float* sums, float* peaks, const float* m, int count) {
    AddMagnitudesLoop(sums, peaks, m, count);
}
#endif

bool Wide() {
#if defined(__x86_64__)
    return fftkernel::WideVectorsEnabled();
#else
    return false;
#endif
}

}  // namespace

void SubtractNoise(Complex* x, const float* threshold, const float* floor, int count) {
#if defined(__x86_64__)
    if (Wide()) return SubtractNoiseWide(x, threshold, floor, count);
#endif
    SubtractNoiseNarrow(x, threshold, floor, count);
}

void MirrorConjugates(Complex* x, int n) {
#if defined(__x86_64__)
    if (Wide()) return MirrorConjugatesWide(x, n);
#endif
    MirrorConjugatesNarrow(x, n, 1);
}

void Scale(Complex* x, const float* gain, int count) {
#if defined(__x86_64__)
    if (Wide()) return ScaleWide(x, gain, count);
#endif
    ScaleNarrow(x, gain, count);
}

void AddMagnitudes(float* sums, float* peaks, const float* m, int count) {
#if defined(__x86_64__)
    if (Wide()) return AddMagnitudesWide(sums, peaks, m, count);
#endif
    AddMagnitudesNarrow(sums, peaks, m, count);
}

}  // namespace sv::binloops
