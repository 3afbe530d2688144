#pragma once
// The eight-wide kernel, for code compiled with SV_WIDE: AVX2 without FMA, whose single rounding
// of a * b + c would change results. It runs only where CpuHasWideVectors().
#include <immintrin.h>

#include <cstring>
#include <type_traits>
#include <utility>

#include "dsp/FFTButterfly.h"
#include "dsp/FFTRadix4.h"

#define SV_WIDE [[gnu::target("avx2")]]

namespace sv::fftkernel {
namespace wide {

SV_WIDE inline V8 Load8(const float* p) {
    V8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Lanes 0-3 hold p[0], lanes 4-7 hold p[1].
SV_WIDE inline V8 SplatHalves(const float* p) {
    const __m256 pairs = _mm256_castpd_ps(_mm256_broadcast_sd(reinterpret_cast<const double*>(p)));
    return _mm256_permutevar_ps(pairs, _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
}

// A 4x4 transpose in each 128-bit half.
SV_WIDE inline void TransposeHalves(V8& a, V8& b, V8& c, V8& d) {
    const V8 t0 = __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
    const V8 t1 = __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
    const V8 t2 = __builtin_shufflevector(c, d, 0, 8, 1, 9, 4, 12, 5, 13);
    const V8 t3 = __builtin_shufflevector(c, d, 2, 10, 3, 11, 6, 14, 7, 15);
    a = __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13);
    b = __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15);
    c = __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13);
    d = __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15);
}

SV_WIDE inline V8 LowHalves(const V8& a, const V8& b) {
    return __builtin_shufflevector(a, b, 0, 1, 2, 3, 8, 9, 10, 11);
}

SV_WIDE inline V8 HighHalves(const V8& a, const V8& b) {
    return __builtin_shufflevector(a, b, 4, 5, 6, 7, 12, 13, 14, 15);
}

// Lanes 0-3 from a, 4-7 from b.
SV_WIDE inline Block8 LowHalfFromFirst(const Block8& a, const Block8& b) {
    return {__builtin_shufflevector(a.Re, b.Re, 0, 1, 2, 3, 12, 13, 14, 15),
            __builtin_shufflevector(a.Im, b.Im, 0, 1, 2, 3, 12, 13, 14, 15)};
}

// Stride 1, n >= 32: eight butterflies side by side. After a transpose in each half, the outputs
// of butterfly p are in half p / 4 of register p % 4.
SV_WIDE inline void FirstPass(const Block8* in, Block8* out, int n, const float* tw) {
    const int m = n / 4;
    const int q = m / 8;
    for (int j = 0; j < q; ++j) {
        const int p = 8 * j;
        const Twiddles<V8> w{Load8(tw + p),         Load8(tw + m + p),     Load8(tw + 2 * m + p),
                             Load8(tw + 3 * m + p), Load8(tw + 4 * m + p), Load8(tw + 5 * m + p)};
        Block8 y0, y1, y2, y3;
        Butterfly<true>(in[j], in[j + q], in[j + 2 * q], in[j + 3 * q], w, y0, y1, y2, y3);
        TransposeHalves(y0.Re, y1.Re, y2.Re, y3.Re);
        TransposeHalves(y0.Im, y1.Im, y2.Im, y3.Im);
        out[4 * j] = {LowHalves(y0.Re, y1.Re), LowHalves(y0.Im, y1.Im)};
        out[4 * j + 1] = {LowHalves(y2.Re, y3.Re), LowHalves(y2.Im, y3.Im)};
        out[4 * j + 2] = {HighHalves(y0.Re, y1.Re), HighHalves(y0.Im, y1.Im)};
        out[4 * j + 3] = {HighHalves(y2.Re, y3.Re), HighHalves(y2.Im, y3.Im)};
    }
}

// Stride 4, n >= 8: each block holds butterflies p = 2b (lanes 0-3) and 2b + 1 (lanes 4-7).
SV_WIDE inline void SecondPass(const Block8* in, Block8* out, int n, const float* tw) {
    const int m = n / 4;
    const int quarter = m / 2;
    for (int b = 0; b < quarter; ++b) {
        const int p = 2 * b;
        const Twiddles<V8> w{SplatHalves(tw + p),         SplatHalves(tw + m + p),
                             SplatHalves(tw + 2 * m + p), SplatHalves(tw + 3 * m + p),
                             SplatHalves(tw + 4 * m + p), SplatHalves(tw + 5 * m + p)};
        Block8 y0, y1, y2, y3;
        Butterfly<true>(in[b], in[b + quarter], in[b + 2 * quarter], in[b + 3 * quarter], w, y0, y1,
                        y2, y3);
        if (b == 0) {
            // Butterfly 0 is not rotated in the four-wide kernel either.
            Block8 u0, u1, u2, u3;
            Butterfly<false>(in[0], in[quarter], in[2 * quarter], in[3 * quarter], w, u0, u1, u2,
                             u3);
            y1 = LowHalfFromFirst(u1, y1);
            y2 = LowHalfFromFirst(u2, y2);
            y3 = LowHalfFromFirst(u3, y3);
        }
        Block8* y = out + 4 * b;
        y[0] = {LowHalves(y0.Re, y1.Re), LowHalves(y0.Im, y1.Im)};
        y[1] = {LowHalves(y2.Re, y3.Re), LowHalves(y2.Im, y3.Im)};
        y[2] = {HighHalves(y0.Re, y1.Re), HighHalves(y0.Im, y1.Im)};
        y[3] = {HighHalves(y2.Re, y3.Re), HighHalves(y2.Im, y3.Im)};
    }
}

SV_WIDE inline void WideStridePass(const Block8* in, Block8* out, int n, int s, const float* tw) {
    StridePass(in, out, n, s, tw);
}

// The last radix-4 pass, of sub-length 8 at stride s >= 16, with the closing radix-2 pass: that
// one only adds and subtracts the outputs of butterflies 0 and 1 of each column, so it runs while
// they are still in registers instead of on another trip through memory. Output block i goes to
// out(i, block).
template <class Sink>
SV_WIDE inline void LastTwoPasses(const Block8* in, const Sink& out, int s, const float* tw) {
    const int S = s / 8;
    const Twiddles<V8> none{};
    const Twiddles<V8> w = SplatTwiddles<V8>(tw, 2, 1);
    for (int k = 0; k < S; ++k) {
        const Block8* x = in + k;
        Block8 u[4], v[4];
        Butterfly<false>(x[0], x[2 * S], x[4 * S], x[6 * S], none, u[0], u[1], u[2], u[3]);
        Butterfly<true>(x[S], x[3 * S], x[5 * S], x[7 * S], w, v[0], v[1], v[2], v[3]);
        for (int j = 0; j < 4; ++j) {
            out(k + j * S, Block8{u[j].Re + v[j].Re, u[j].Im + v[j].Im});
            out(k + (j + 4) * S, Block8{u[j].Re - v[j].Re, u[j].Im - v[j].Im});
        }
    }
}

SV_WIDE inline void WideRadix2Pass(const Block8* in, Block8* out, int s) { Radix2Pass(in, out, s); }

struct BlockWriter {
    Block8* blocks;
    SV_WIDE void operator()(int i, const Block8& b) const { blocks[i] = b; }
};

// As sink: the result stays in the kernel's buffers, and Run returns where.
struct IntoBuffer {};

// As Radix4Plan::Run on size / 8 eight-wide blocks of data, for sizes 32 .. MaxSize; every
// output bit equals Run's. Output block i goes to sink(i, block), or with IntoBuffer stays in data
// or work, the one returned.
template <class Sink>
SV_WIDE inline Block8* Run(const Radix4Plan& plan, Block8* data, Block8* work, int size,
                           const Sink& sink) {
    FirstPass(data, work, size, plan.TwiddleTable(size));
    Block8* in = work;
    Block8* out = data;
    int n = size / 4;
    int s = 4;
    for (; n >= 4; n /= 4, s *= 4) {
        const float* tw = plan.TwiddleTable(n);
        if (s == 4) {
            SecondPass(in, out, n, tw);
        } else if (n == 8) {
            if constexpr (std::is_same_v<Sink, IntoBuffer>) {
                LastTwoPasses(in, BlockWriter{out}, s, tw);
                return out;
            } else {
                LastTwoPasses(in, sink, s, tw);
                return nullptr;
            }
        } else {
            WideStridePass(in, out, n, s, tw);
        }
        std::swap(in, out);
    }
    if (n == 2) {
        WideRadix2Pass(in, out, s);
        std::swap(in, out);
    }
    if constexpr (std::is_same_v<Sink, IntoBuffer>) {
        return in;
    } else {
        for (int i = 0; i < size / 8; ++i) sink(i, in[i]);
        return nullptr;
    }
}

}  // namespace wide
}  // namespace sv::fftkernel
