#pragma once
// Power-of-two complex DFT kernel: self-sorting (Stockham) radix-4 passes, one radix-2 pass
// for odd powers of two (FFTPasses.h). Data is held as split real/imaginary vectors, so every
// pass runs on whole SIMD registers (GCC/Clang vector extensions): four values at a time on any
// x86-64 (SSE2), eight at a time where the CPU has AVX2 and sixteen where it has AVX-512, chosen
// at run time. All widths give bit-identical results: every value goes through the same
// operations in the same order.
#include <vector>

namespace sv::fftkernel {

typedef float V4 __attribute__((vector_size(16)));
typedef float V8 __attribute__((vector_size(32)));
typedef float V16 __attribute__((vector_size(64)));

// Values lanes * j .. lanes * j + lanes - 1 of a sequence. Aligned explicitly: code compiled
// without AVX gives eight-float vectors only 16-byte alignment.
template <class V>
struct alignas(sizeof(V)) SplitComplex {
    V Re;
    V Im;
};
using Block = SplitComplex<V4>;
using Block8 = SplitComplex<V8>;
using Block16 = SplitComplex<V16>;

// The vector layers, one per width (FFTVector4.h, FFTVector8.h, FFTVector16.h).
struct Vector4;
struct Vector8;
struct Vector16;

// Whether this CPU can run the eight-wide kernel.
bool CpuHasWideVectors();
// Transforms set up after the call use the eight-wide kernel when `on` and the CPU has it (the
// default). Lets tests and benchmarks compare both widths on one machine.
void UseWideVectors(bool on);
bool WideVectorsEnabled();
// Likewise for the sixteen-wide kernel, which runs only where the eight-wide one may: off, the
// widest kernel is the eight-wide one.
bool CpuHasWidestVectors();
void UseWidestVectors(bool on);
bool WidestVectorsEnabled();

class Radix4Plan {
  public:
    // Twiddles for every power-of-two size from 4 up to maxSize, computed in double, for
    // fftkernel::Run (FFTPasses.h).
    explicit Radix4Plan(int maxSize);

    int MaxSize() const { return maxSize_; }

    // The twiddle table of sub-length n (4 .. MaxSize), as described below.
    const float* TwiddleTable(int n) const;

  private:
    int maxSize_;
    // tables_[b] serves sub-length n = 2^b: rows w1.Re, w1.Im, w2.Re, w2.Im, w3.Re, w3.Im of
    // n / 4 entries each, where wk[p] = exp(-2 pi i k p / n).
    std::vector<std::vector<float>> tables_;
};

}  // namespace sv::fftkernel
