#pragma once
// A tiny bitmap font, three by five pixels a glyph, for pictures drawn without a font engine:
// digits, the signs and the letters the spectrum pictures use. Other characters are blank.
#include "picture/RasterCanvas.h"

namespace sv {

// Draws every text recorded on canvas into its pixels, each glyph pixel scale x scale.
void RenderRecordedTexts(RasterCanvas& canvas, int scale);

}  // namespace sv
