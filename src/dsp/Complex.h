#pragma once
// Single-precision complex values and the few operations the engine applies per bin.
#include <cmath>
#include <vector>

namespace sv {

struct Complex {
    float Re;
    float Im;
};

using ComplexArray = std::vector<Complex>;

// Stateless; every operation is inline because the engine calls them once per bin per hop.
class ComplexMath {
  public:
    // 2^35: the noise floor term of SubtractNoise is the threshold divided by this.
    static constexpr float NoiseFloorScale = 34359738368.0f;

    static constexpr Complex Add(Complex a, Complex b) { return {a.Re + b.Re, a.Im + b.Im}; }
    static constexpr Complex Sub(Complex a, Complex b) { return {a.Re - b.Re, a.Im - b.Im}; }
    static constexpr Complex Mul(Complex a, Complex b) {
        return {a.Re * b.Re - a.Im * b.Im, a.Re * b.Im + b.Re * a.Im};
    }
    static constexpr Complex Scale(Complex z, float g) { return {z.Re * g, z.Im * g}; }
    static float Abs(Complex z) { return std::sqrt(z.Re * z.Re + z.Im * z.Im); }

    // Spectral subtraction gain: 1 - r^2 + c - r*c with r = t/|z|, c = t/NoiseFloorScale;
    // bins at or below the threshold are silenced.
    static Complex SubtractNoise(Complex z, float t) {
        const float m = Abs(z);
        if (!(m > t)) return {0.0f, 0.0f};
        const float r = t / m;
        const float c = t / NoiseFloorScale;
        const float rr = r * r;
        const float rc = r * c;
        const float g = 1.0f - rr + c - rc;
        return Scale(z, g);
    }
};

}  // namespace sv
