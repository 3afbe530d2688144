#pragma once
// The radix-4 butterfly, written once over the vector type so that every width does the same
// operations in the same order on every value.
#include "dsp/FFTRadix4.h"

namespace sv::fftkernel {

#define SV_FFT_INLINE [[gnu::always_inline]] inline

template <class V>
struct Twiddles {
    V r1, i1, r2, i2, r3, i3;
};

// The twiddles of butterfly p of sub-length n = 4m from its table, the same in every lane of
// Vec's vectors.
template <class Vec>
SV_FFT_INLINE Twiddles<typename Vec::V> SplatTwiddles(const float* tw, int m, int p) {
    return {Vec::Splat(tw[p]),         Vec::Splat(tw[m + p]),     Vec::Splat(tw[2 * m + p]),
            Vec::Splat(tw[3 * m + p]), Vec::Splat(tw[4 * m + p]), Vec::Splat(tw[5 * m + p])};
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

}  // namespace sv::fftkernel
