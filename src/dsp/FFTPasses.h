#pragma once
// The passes of Radix4Plan's transform, written once over a vector layer (FFTVector4.h,
// FFTVector8.h): Stockham radix-4 passes on split real/imaginary blocks of Vec::Lanes values,
// with one radix-2 pass for odd powers of two. Each translation unit that instantiates them is
// compiled for its layer's instruction set. Every value goes through the same operations in the
// same order at every width, so all widths give the same bits.
#include <type_traits>
#include <utility>

#include "dsp/FFTButterfly.h"
#include "dsp/FFTRadix4.h"

namespace sv::fftkernel {

template <class Vec>
using BlockOf = SplitComplex<typename Vec::V>;

// Stride 1, n >= 4 * Lanes: Lanes butterflies side by side, their four outputs then put next to
// each other.
template <class Vec>
inline void FirstPass(const BlockOf<Vec>* in, BlockOf<Vec>* out, int n, const float* tw) {
    constexpr int lanes = Vec::Lanes;
    const int m = n / 4;
    const int q = m / lanes;
    for (int j = 0; j < q; ++j) {
        const int p = lanes * j;
        const Twiddles<typename Vec::V> w{Vec::Load(tw + p),         Vec::Load(tw + m + p),
                                          Vec::Load(tw + 2 * m + p), Vec::Load(tw + 3 * m + p),
                                          Vec::Load(tw + 4 * m + p), Vec::Load(tw + 5 * m + p)};
        BlockOf<Vec> y[4];
        Butterfly<true>(in[j], in[j + q], in[j + 2 * q], in[j + 3 * q], w, y[0], y[1], y[2], y[3]);
        Vec::TransposeGroups(y[0].Re, y[1].Re, y[2].Re, y[3].Re);
        Vec::TransposeGroups(y[0].Im, y[1].Im, y[2].Im, y[3].Im);
        Vec::InterleaveGroups(y[0].Re, y[1].Re, y[2].Re, y[3].Re);
        Vec::InterleaveGroups(y[0].Im, y[1].Im, y[2].Im, y[3].Im);
        for (int k = 0; k < 4; ++k) out[4 * j + k] = y[k];
    }
}

// Stride 1 for sizes below 4 * Lanes, one value at a time (only four lanes run these).
template <class Vec>
inline void SmallPass(const BlockOf<Vec>* in, BlockOf<Vec>* out, int n, const float* tw) {
    constexpr int lanes = Vec::Lanes;
    const int m = n / 4;
    auto get = [in](int i) {
        return BlockOf<Vec>{Vec::Splat(in[i / lanes].Re[i % lanes]),
                            Vec::Splat(in[i / lanes].Im[i % lanes])};
    };
    auto put = [out](int i, const BlockOf<Vec>& v) {
        out[i / lanes].Re[i % lanes] = v.Re[0];
        out[i / lanes].Im[i % lanes] = v.Im[0];
    };
    for (int p = 0; p < m; ++p) {
        BlockOf<Vec> y0, y1, y2, y3;
        Butterfly<true>(get(p), get(p + m), get(p + 2 * m), get(p + 3 * m),
                        SplatTwiddles<Vec>(tw, m, p), y0, y1, y2, y3);
        put(4 * p, y0);
        put(4 * p + 1, y1);
        put(4 * p + 2, y2);
        put(4 * p + 3, y3);
    }
}

// Stride 4 with more than four lanes: each group of four lanes holds another butterfly.
template <class Vec>
inline void GroupPass(const BlockOf<Vec>* in, BlockOf<Vec>* out, int n, const float* tw) {
    constexpr int groups = Vec::Lanes / 4;
    const int m = n / 4;
    const int quarter = m / groups;
    for (int b = 0; b < quarter; ++b) {
        const int p = groups * b;
        const Twiddles<typename Vec::V> w{
            Vec::SplatGroups(tw + p),         Vec::SplatGroups(tw + m + p),
            Vec::SplatGroups(tw + 2 * m + p), Vec::SplatGroups(tw + 3 * m + p),
            Vec::SplatGroups(tw + 4 * m + p), Vec::SplatGroups(tw + 5 * m + p)};
        BlockOf<Vec> y[4];
        Butterfly<true>(in[b], in[b + quarter], in[b + 2 * quarter], in[b + 3 * quarter], w, y[0],
                        y[1], y[2], y[3]);
        if (b == 0) {
            // Butterfly 0 is not rotated at stride 4 of four lanes either: a rotation by 1 + 0i
            // can change the sign of a zero and turn an infinity into NaN.
            BlockOf<Vec> u[4];
            Butterfly<false>(in[0], in[quarter], in[2 * quarter], in[3 * quarter], w, u[0], u[1],
                             u[2], u[3]);
            for (int k = 1; k < 4; ++k)
                y[k] = {Vec::FirstGroupFrom(u[k].Re, y[k].Re),
                        Vec::FirstGroupFrom(u[k].Im, y[k].Im)};
        }
        Vec::InterleaveGroups(y[0].Re, y[1].Re, y[2].Re, y[3].Re);
        Vec::InterleaveGroups(y[0].Im, y[1].Im, y[2].Im, y[3].Im);
        for (int k = 0; k < 4; ++k) out[4 * b + k] = y[k];
    }
}

// Stride s >= Lanes: each butterfly is s / Lanes whole blocks wide and all its lanes share one
// twiddle.
template <class Vec>
SV_FFT_INLINE void StridePass(const BlockOf<Vec>* in, BlockOf<Vec>* out, int n, int s,
                              const float* tw) {
    const int m = n / 4;
    const int S = s / Vec::Lanes;
    const int quarter = S * m;
    for (int p = 0; p < m; ++p) {
        const BlockOf<Vec>* x = in + S * p;
        BlockOf<Vec>* y = out + 4 * S * p;
        if (p == 0) {
            // All twiddles are 1: nothing to rotate.
            const Twiddles<typename Vec::V> none{};
            for (int k = 0; k < S; ++k)
                Butterfly<false>(x[k], x[k + quarter], x[k + 2 * quarter], x[k + 3 * quarter], none,
                                 y[k], y[k + S], y[k + 2 * S], y[k + 3 * S]);
            continue;
        }
        const auto w = SplatTwiddles<Vec>(tw, m, p);
        for (int k = 0; k < S; ++k) {
            BlockOf<Vec> y0, y1, y2, y3;
            Butterfly<true>(x[k], x[k + quarter], x[k + 2 * quarter], x[k + 3 * quarter], w, y0, y1,
                            y2, y3);
            y[k] = y0;
            y[k + S] = y1;
            y[k + 2 * S] = y2;
            y[k + 3 * S] = y3;
        }
    }
}

// The last radix-4 pass, of sub-length 8 at stride s >= Lanes, with the closing radix-2 pass:
// that one only adds and subtracts the outputs of butterflies 0 and 1 of each column, so it runs
// while they are still in registers instead of on another trip through memory. Output block i
// goes to out(i, block).
template <class Vec, class Sink>
inline void LastTwoPasses(const BlockOf<Vec>* in, const Sink& out, int s, const float* tw) {
    const int S = s / Vec::Lanes;
    const Twiddles<typename Vec::V> none{};
    const auto w = SplatTwiddles<Vec>(tw, 2, 1);
    for (int k = 0; k < S; ++k) {
        const BlockOf<Vec>* x = in + k;
        BlockOf<Vec> u[4], v[4];
        Butterfly<false>(x[0], x[2 * S], x[4 * S], x[6 * S], none, u[0], u[1], u[2], u[3]);
        Butterfly<true>(x[S], x[3 * S], x[5 * S], x[7 * S], w, v[0], v[1], v[2], v[3]);
        for (int j = 0; j < 4; ++j) {
            out(k + j * S, BlockOf<Vec>{u[j].Re + v[j].Re, u[j].Im + v[j].Im});
            out(k + (j + 4) * S, BlockOf<Vec>{u[j].Re - v[j].Re, u[j].Im - v[j].Im});
        }
    }
}

// Closing radix-2 pass of odd powers of two at stride s >= Lanes; its twiddle is 1.
template <class Vec>
SV_FFT_INLINE void Radix2Pass(const BlockOf<Vec>* in, BlockOf<Vec>* out, int s) {
    const int S = s / Vec::Lanes;
    for (int k = 0; k < S; ++k) {
        const BlockOf<Vec> a = in[k], b = in[k + S];
        out[k] = {a.Re + b.Re, a.Im + b.Im};
        out[k + S] = {a.Re - b.Re, a.Im - b.Im};
    }
}

// As sink: the result stays in the kernel's buffers, and Run returns where.
struct IntoBuffer {};

template <class Vec>
struct BlockWriter {
    BlockOf<Vec>* blocks;
    void operator()(int i, const BlockOf<Vec>& b) const { blocks[i] = b; }
};

// Forward DFT (sign -1, no scaling) of `size` values (a power of two from 4, and from
// 4 * Lanes when Lanes > 4, up to plan.MaxSize()) held in size / Lanes blocks of `data`; `work`
// is scratch of the same length, and both are overwritten. Output block i, in natural order, goes
// to sink(i, block); with IntoBuffer it stays in data or work, the one returned.
template <class Vec, class Sink>
inline BlockOf<Vec>* Run(const Radix4Plan& plan, BlockOf<Vec>* data, BlockOf<Vec>* work, int size,
                         const Sink& sink) {
    constexpr int lanes = Vec::Lanes;
    BlockOf<Vec>* in = data;
    BlockOf<Vec>* out = work;
    int n = size;
    int s = 1;
    for (; n >= 4; n /= 4, s *= 4) {
        const float* tw = plan.TwiddleTable(n);
        if (s == 1) {
            if (n >= 4 * lanes)
                FirstPass<Vec>(in, out, n, tw);
            else
                SmallPass<Vec>(in, out, n, tw);
        } else if (s < lanes) {
            GroupPass<Vec>(in, out, n, tw);
        } else if (n == 8) {
            if constexpr (std::is_same_v<Sink, IntoBuffer>) {
                LastTwoPasses<Vec>(in, BlockWriter<Vec>{out}, s, tw);
                return out;
            } else {
                LastTwoPasses<Vec>(in, sink, s, tw);
                return nullptr;
            }
        } else {
            StridePass<Vec>(in, out, n, s, tw);
        }
        std::swap(in, out);
    }
    if (n == 2) {
        Radix2Pass<Vec>(in, out, s);
        std::swap(in, out);
    }
    if constexpr (std::is_same_v<Sink, IntoBuffer>) {
        return in;
    } else {
        for (int i = 0; i < size / lanes; ++i) sink(i, in[i]);
        return nullptr;
    }
}

}  // namespace sv::fftkernel
