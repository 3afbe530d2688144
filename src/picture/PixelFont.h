#pragma once
// A small bitmap font for pictures drawn without a font engine: digits, the signs, the lower-case
// letters and the capitals the spectrum pictures use, five by seven pixels at most (descenders
// two more), each glyph as wide as its shape with one column between glyphs. Other characters
// are blank.
#include "picture/RasterCanvas.h"

namespace sv {

// Draws every text recorded on canvas into its pixels, each glyph pixel scale x scale.
void RenderRecordedTexts(RasterCanvas& canvas, int scale);

}  // namespace sv
