#pragma once
// Power-of-two complex DFT kernel: self-sorting (Stockham) radix-4 passes, one radix-2 pass
// for odd powers of two. Data is held four values at a time as split real/imaginary vectors,
// so every pass runs on whole SIMD registers (GCC/Clang vector extensions, SSE2 on x86-64).
#include <vector>

namespace sv::fftkernel {

typedef float V4 __attribute__((vector_size(16)));

// Values 4j .. 4j + 3 of a sequence.
struct Block {
    V4 Re;
    V4 Im;
};

inline V4 Splat(float x) { return V4{x, x, x, x}; }

class Radix4Plan {
  public:
    // Twiddles for every power-of-two size from 4 up to maxSize, computed in double.
    explicit Radix4Plan(int maxSize);

    int MaxSize() const { return maxSize_; }

    // Forward DFT (sign -1, no scaling) of `size` values (a power of two, 4 .. MaxSize) held in
    // size / 4 blocks of `data`. `work` is scratch of the same length. Both buffers are
    // overwritten; the result, in natural order, is in the returned one (data or work).
    Block* Run(Block* data, Block* work, int size) const;

  private:
    int maxSize_;
    // tables_[b] serves sub-length n = 2^b: rows w1.Re, w1.Im, w2.Re, w2.Im, w3.Re, w3.Im of
    // n / 4 entries each, where wk[p] = exp(-2 pi i k p / n).
    std::vector<std::vector<float>> tables_;
};

}  // namespace sv::fftkernel
