#pragma once
// Draws the target timbre relative to the flat curve, shaped by the pass settings, on a
// logarithmic frequency axis over a fixed grid. Keeps no state between paints.
#include "base/CoreTypes.h"
#include "view/Canvas.h"

namespace sv {

struct PassFilterSettings {
    bool highPassOn = false;
    int highPassHz = 20;  // used when highPassOn
    int highPassOrder = 6;
    bool lowPassOn = false;
    int lowPassKHz = 16;  // used when lowPassOn
    int lowPassOrder = 6;
};

namespace colours {
inline constexpr RgbColour SpectrumArea{42, 147, 128};
inline constexpr RgbColour SpectrumGrid{192, 220, 192};
}  // namespace colours

// Bins whose target or flat value is not positive (a silent example, a stored timbre with
// zeros) carry no level and are left out of the columns they fall in.
void DrawTargetSpectrum(Canvas& canvas, int width, int height, const BinSpectrum& target,
                        const BinSpectrum& flat, const PassFilterSettings& pass);

}  // namespace sv
