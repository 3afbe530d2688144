#include "dsp/FFTRadix4.h"

#include <atomic>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "base/CpuFeatures.h"

namespace sv::fftkernel {
namespace {

std::atomic<bool> wideWanted{true};
std::atomic<bool> widestWanted{true};

int Log2(int n) {
    int b = 0;
    while ((1 << b) < n) ++b;
    return b;
}

}  // namespace

bool CpuHasWideVectors() { return CpuHasAvx2(); }

void UseWideVectors(bool on) { wideWanted.store(on, std::memory_order_relaxed); }

bool WideVectorsEnabled() {
    return CpuHasWideVectors() && wideWanted.load(std::memory_order_relaxed);
}

bool CpuHasWidestVectors() { return CpuHasAvx512(); }

void UseWidestVectors(bool on) { widestWanted.store(on, std::memory_order_relaxed); }

bool WidestVectorsEnabled() {
    return WideVectorsEnabled() && CpuHasWidestVectors() &&
           widestWanted.load(std::memory_order_relaxed);
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

}  // namespace sv::fftkernel
