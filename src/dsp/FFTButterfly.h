#pragma once
// Arithmetic shared by the four- and eight-wide kernels, written once over the vector type so
// that both widths do the same operations in the same order on every value. Always inlined: the
// eight-wide callers are compiled for AVX2 and these must be compiled along with them.
#include "dsp/FFTRadix4.h"

namespace sv::fftkernel {

#define SV_FFT_INLINE [[gnu::always_inline]] inline

template <class V>
struct Twiddles {
    V r1, i1, r2, i2, r3, i3;
};

// The twiddles of butterfly p of sub-length n = 4m from its table, the same in every lane.
template <class V>
SV_FFT_INLINE Twiddles<V> SplatTwiddles(const float* tw, int m, int p) {
    Twiddles<V> w;
    V* rows[] = {&w.r1, &w.i1, &w.r2, &w.i2, &w.r3, &w.i3};
    for (int row = 0; row < 6; ++row) {
        const float x = tw[row * m + p];
        if constexpr (sizeof(V) == sizeof(V4))
            *rows[row] = V{x, x, x, x};
        else
            *rows[row] = V{x, x, x, x, x, x, x, x};
    }
    return w;
}

template <class V>
SV_FFT_INLINE SplitComplex<V> Rotate(const V& xr, const V& xi, const V& wr, const V& wi) {
    return {xr * wr - xi * wi, xr * wi + xi * wr};
}

// Radix-4 decimation-in-frequency butterfly, forward sign: outputs k = 1..3 are rotated by wk.
template <bool Rotated, class V>
SV_FFT_INLINE void Butterfly(const SplitComplex<V>& a, const SplitComplex<V>& b,
                             const SplitComplex<V>& c, const SplitComplex<V>& d,
                             const Twiddles<V>& w, SplitComplex<V>& y0, SplitComplex<V>& y1,
                             SplitComplex<V>& y2, SplitComplex<V>& y3) {
    const V apcR = a.Re + c.Re, apcI = a.Im + c.Im;
    const V amcR = a.Re - c.Re, amcI = a.Im - c.Im;
    const V bpdR = b.Re + d.Re, bpdI = b.Im + d.Im;
    const V bmdR = b.Re - d.Re, bmdI = b.Im - d.Im;
    y0 = {apcR + bpdR, apcI + bpdI};
    if constexpr (Rotated) {
        y1 = Rotate<V>(amcR + bmdI, amcI - bmdR, w.r1, w.i1);
        y2 = Rotate<V>(apcR - bpdR, apcI - bpdI, w.r2, w.i2);
        y3 = Rotate<V>(amcR - bmdI, amcI + bmdR, w.r3, w.i3);
    } else {
        y1 = {amcR + bmdI, amcI - bmdR};
        y2 = {apcR - bpdR, apcI - bpdI};
        y3 = {amcR - bmdI, amcI + bmdR};
    }
}

// Passes of stride s >= lanes: each butterfly is s / lanes whole blocks wide and all its lanes
// share one twiddle. `tw` is the table of sub-length n.
template <class V>
SV_FFT_INLINE void StridePass(const SplitComplex<V>* in, SplitComplex<V>* out, int n, int s,
                              const float* tw) {
    const int m = n / 4;
    const int S = s / static_cast<int>(sizeof(V) / sizeof(float));
    const int quarter = S * m;
    for (int p = 0; p < m; ++p) {
        const SplitComplex<V>* x = in + S * p;
        SplitComplex<V>* y = out + 4 * S * p;
        if (p == 0) {
            // All twiddles are 1: nothing to rotate.
            const Twiddles<V> none{};
            for (int k = 0; k < S; ++k)
                Butterfly<false>(x[k], x[k + quarter], x[k + 2 * quarter], x[k + 3 * quarter], none,
                                 y[k], y[k + S], y[k + 2 * S], y[k + 3 * S]);
            continue;
        }
        const Twiddles<V> w = SplatTwiddles<V>(tw, m, p);
        for (int k = 0; k < S; ++k) {
            SplitComplex<V> y0, y1, y2, y3;
            Butterfly<true>(x[k], x[k + quarter], x[k + 2 * quarter], x[k + 3 * quarter], w, y0, y1,
                            y2, y3);
            y[k] = y0;
            y[k + S] = y1;
            y[k + 2 * S] = y2;
            y[k + 3 * S] = y3;
        }
    }
}

// Closing radix-2 pass of odd powers of two at stride s >= lanes; its twiddle is 1.
template <class V>
SV_FFT_INLINE void Radix2Pass(const SplitComplex<V>* in, SplitComplex<V>* out, int s) {
    const int S = s / static_cast<int>(sizeof(V) / sizeof(float));
    for (int k = 0; k < S; ++k) {
        const SplitComplex<V> a = in[k], b = in[k + S];
        out[k] = {a.Re + b.Re, a.Im + b.Im};
        out[k + S] = {a.Re - b.Re, a.Im - b.Im};
    }
}

inline int Log2(int n) {
    int b = 0;
    while ((1 << b) < n) ++b;
    return b;
}

}  // namespace sv::fftkernel
