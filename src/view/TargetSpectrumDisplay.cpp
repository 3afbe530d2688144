#include "view/TargetSpectrumDisplay.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "dsp/FFT.h"
#include "picture/FrequencyLabels.h"
#include "view/WaveformRenderer.h"

namespace sv {

namespace {

// Timbre tables are laid out for the nominal rate.
float NominalBinFrequency(int k) { return BinFrequency(k, 44100.0); }

// The frequency lines with their labels and the level lines at 0, ±12 and -24 dB.
template <typename Column>
void DrawGrid(Canvas& canvas, int width, int height, int y0, int decade, Column column) {
    canvas.SetFont("Small Fonts", 5, colours::SpectrumGrid);
    canvas.SetPen(colours::SpectrumGrid);
    for (const FrequencyGridLine& line : FrequencyGridLines) {
        const int x = column(line.frequency);
        canvas.Stroke(x, height - 2, x, 7);
        canvas.TextOut(x - line.labelShift, 0, line.label);
    }
    struct LevelLine {
        int row;
        const char* label;
    };
    const int step12 = static_cast<int>(std::nearbyint(0.6 * decade));
    const int step24 = static_cast<int>(std::nearbyint(1.2 * decade));
    for (const LevelLine& line :
         {LevelLine{y0, "0dB"}, LevelLine{y0 + step12, "-12dB"}, LevelLine{y0 - step12, "+12dB"},
          LevelLine{y0 + step24, "-24dB"}}) {
        canvas.Stroke(0, line.row, width - 2, line.row);
        canvas.TextOut(0, line.row - 8, line.label);
    }
}

}  // namespace

void DrawTargetSpectrum(Canvas& canvas, int width, int height, const BinSpectrum& target,
                        const BinSpectrum& flat, const PassFilterSettings& pass) {
    if (width <= 0 || height <= 0) return;
    const int y0 = (4 * height) / 9;
    const int decade = (3 * height) / 8;
    const double top = NominalBinFrequency(SpectrumBins / 2 - 1);
    const double logSpan = std::log10(top / 12.0);
    auto column = [&](double f) {
        return static_cast<int>(std::nearbyint(width * std::log10(f / 12.0) / logSpan));
    };
    // One entry per pixel column; bins above the top frequency land on column W.
    std::vector<float> sum(static_cast<std::size_t>(width) + 1, 0.0f);
    std::vector<float> count(static_cast<std::size_t>(width) + 1, 0.0f);
    WaveformRenderer::PaintBackground(canvas, width, height);

    const double fHigh = pass.highPassOn ? pass.highPassHz : 5.0;
    const double fLow = pass.lowPassOn ? pass.lowPassKHz * 1000.0 : 40000.0;
    for (int k = 1; k < SpectrumBins; ++k) {
        const double ratio = static_cast<double>(target[k]) / static_cast<double>(flat[k]);
        if (!(target[k] > 0.0f && flat[k] > 0.0f) || !std::isfinite(ratio)) continue;
        const double f = NominalBinFrequency(k);
        const double g = 1.0 / std::sqrt(1.0 + std::pow(fHigh / f, 2.0 * pass.highPassOrder)) *
                         (1.0 / std::sqrt(1.0 + std::pow(f / fLow, 2.0 * pass.lowPassOrder)));
        int x = column(f);
        if (x < 0) x = 0;
        if (x > width) continue;
        const double level = std::log10(g * ratio);
        if (!std::isfinite(level)) continue;  // a gain that underflows to nothing
        const double y = y0 - std::nearbyint(decade * level);
        sum[static_cast<std::size_t>(x)] += static_cast<float>(y);
        count[static_cast<std::size_t>(x)] += 1.0f;
    }
    double total = 0.0;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(width); ++i) {
        if (count[i] == 0.0f) {
            sum[i] = sum[i - 1];
            count[i] = count[i - 1];
        }
        if (count[i] != 0.0f) total += static_cast<double>(sum[i]) / static_cast<double>(count[i]);
    }
    const double offset = y0 - total / width;

    canvas.SetPen(colours::SpectrumArea);
    for (int i = 1; i <= width - 2; ++i) {
        const auto n = count[static_cast<std::size_t>(i)];
        if (n == 0.0f) continue;  // nothing to show left of the first bin with a level
        const double end =
            std::nearbyint(static_cast<double>(sum[static_cast<std::size_t>(i)]) / n + offset);
        // Far outside the box is as good as just outside it.
        const int row = static_cast<int>(std::clamp(end, -1.0, static_cast<double>(height)));
        canvas.Stroke(i, height - 2, i, row);
    }

    DrawGrid(canvas, width, height, y0, decade, column);
}

}  // namespace sv
