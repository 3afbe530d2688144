#pragma once
// A recording's long-term spectrum, the target timbre and levelling's gain curve, and after
// processing the spectrum before and after, on a logarithmic frequency axis and a decibel axis.
// The spectra show their shape (their mean over the columns lies on 0 dB; an after-spectrum is
// moved as far as its before-spectrum, so a change of level shows); the gain in true decibels.
#include <array>
#include <cstdint>

#include "base/CoreTypes.h"
#include "picture/Canvas.h"

namespace sv {

struct SpectrumPictureCurves {
    std::int32_t SampleRate = 44100;        // of the bins
    const BinSpectrum* Spectrum = nullptr;  // the recording's, or before processing
    const BinSpectrum* Target = nullptr;
    std::array<const BinSpectrum*, 2> Gains{};  // per channel; the second may be null
    const BinSpectrum* After = nullptr;         // after processing, when known
};

namespace colours {
inline constexpr RgbColour PictureTarget{240, 210, 80};
inline constexpr RgbColour PictureGain{255, 110, 80};
inline constexpr RgbColour PictureAfter{150, 190, 255};
}  // namespace colours

// The range of the level axis, in dB.
inline constexpr double PictureTopDb = 24.0;
inline constexpr double PictureBottomDb = -48.0;
// Rows above the plot, for the labels.
inline constexpr int PictureLabelRows = 10;

void DrawSpectrumPicture(Canvas& canvas, int width, int height, const SpectrumPictureCurves& curves,
                         const char* fontName = "Sans", int fontSize = 7);

// The pixel column of frequency f and the row of a level, as the picture places them.
int PictureColumn(double f, int width, std::int32_t sampleRate);
int PictureRow(double db, int height);

}  // namespace sv
