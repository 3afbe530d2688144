#include "dsp/FFTRadix4.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "dsp/FFTButterfly.h"

namespace sv::fftkernel {
namespace {

std::atomic<bool> wideWanted{true};

inline V4 Load(const float* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Transpose(V4& a, V4& b, V4& c, V4& d) {
    const V4 t0 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const V4 t1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const V4 t2 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const V4 t3 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    b = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    c = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// First pass (stride 1): the four inputs of neighbouring butterflies are neighbours, so four
// butterflies run side by side and a 4x4 transpose puts their outputs in place.
void FirstPass(const Block* in, Block* out, int n, const float* tw) {
    const int m = n / 4;
    const int q = m / 4;
    for (int j = 0; j < q; ++j) {
        const int p = 4 * j;
        const Twiddles<V4> w{Load(tw + p),         Load(tw + m + p),     Load(tw + 2 * m + p),
                             Load(tw + 3 * m + p), Load(tw + 4 * m + p), Load(tw + 5 * m + p)};
        Block y0, y1, y2, y3;
        Butterfly<true>(in[j], in[j + q], in[j + 2 * q], in[j + 3 * q], w, y0, y1, y2, y3);
        Transpose(y0.Re, y1.Re, y2.Re, y3.Re);
        Transpose(y0.Im, y1.Im, y2.Im, y3.Im);
        out[p] = y0;
        out[p + 1] = y1;
        out[p + 2] = y2;
        out[p + 3] = y3;
    }
}

// Stride-1 pass of the two smallest sizes (4 and 8), too short for FirstPass.
void SmallPass(const Block* in, Block* out, int n, const float* tw) {
    const int m = n / 4;
    auto get = [in](int i) {
        return Block{Splat(in[i >> 2].Re[i & 3]), Splat(in[i >> 2].Im[i & 3])};
    };
    auto put = [out](int i, const Block& v) {
        out[i >> 2].Re[i & 3] = v.Re[0];
        out[i >> 2].Im[i & 3] = v.Im[0];
    };
    for (int p = 0; p < m; ++p) {
        const Twiddles<V4> w{Splat(tw[p]),         Splat(tw[m + p]),     Splat(tw[2 * m + p]),
                             Splat(tw[3 * m + p]), Splat(tw[4 * m + p]), Splat(tw[5 * m + p])};
        Block y0, y1, y2, y3;
        Butterfly<true>(get(p), get(p + m), get(p + 2 * m), get(p + 3 * m), w, y0, y1, y2, y3);
        put(4 * p, y0);
        put(4 * p + 1, y1);
        put(4 * p + 2, y2);
        put(4 * p + 3, y3);
    }
}

}  // namespace

bool CpuHasWideVectors() {
#if defined(__x86_64__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

void UseWideVectors(bool on) { wideWanted.store(on, std::memory_order_relaxed); }

bool WideVectorsEnabled() {
    return CpuHasWideVectors() && wideWanted.load(std::memory_order_relaxed);
}

Radix4Plan::Radix4Plan(int maxSize) : maxSize_(maxSize) {
    if (maxSize < 4 || (maxSize & (maxSize - 1)) != 0)
        throw std::invalid_argument("transform size must be a power of two of at least 4");
    const int bits = Log2(maxSize);
    tables_.resize(bits + 1);
    for (int b = 2; b <= bits; ++b) {
        const int n = 1 << b;
        const int m = n / 4;
        std::vector<float>& t = tables_[b];
        t.resize(6 * m);
        for (int p = 0; p < m; ++p) {
            for (int k = 1; k <= 3; ++k) {
                // Each twiddle straight from double cos/sin: no error builds up along a row.
                const double angle = 2.0 * std::numbers::pi * double(k * p) / double(n);
                t[(2 * k - 2) * m + p] = static_cast<float>(std::cos(angle));
                t[(2 * k - 1) * m + p] = static_cast<float>(-std::sin(angle));
            }
        }
    }
}

const float* Radix4Plan::TwiddleTable(int n) const { return tables_[Log2(n)].data(); }

Block* Radix4Plan::Run(Block* data, Block* work, int size) const {
    Block* in = data;
    Block* out = work;
    int n = size;
    int s = 1;
    for (; n >= 4; n /= 4, s *= 4) {
        const float* tw = tables_[Log2(n)].data();
        if (s >= 4)
            StridePass(in, out, n, s, tw);
        else if (n >= 16)
            FirstPass(in, out, n, tw);
        else
            SmallPass(in, out, n, tw);
        std::swap(in, out);
    }
    if (n == 2) {
        Radix2Pass(in, out, s);
        std::swap(in, out);
    }
    return in;
}

}  // namespace sv::fftkernel
