#include "picture/SpectrumPicture.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "dsp/FFT.h"
#include "picture/FrequencyLabels.h"

namespace sv {

namespace {

inline constexpr RgbColour Background{0, 40, 0};
inline constexpr RgbColour Area{42, 147, 128};
inline constexpr RgbColour Grid{192, 220, 192};

double TopFrequency(std::int32_t rate) { return BinFrequency(SpectrumBins / 2 - 1, rate); }

// The mean level in dB of the bins in every column 0 .. width; columns without a bin of their
// own repeat the one to their left; nullopt left of the first bin with a level.
std::vector<std::optional<double>> ColumnLevels(const BinSpectrum& curve, int width,
                                                std::int32_t rate) {
    std::vector<double> sum(static_cast<std::size_t>(width) + 1, 0.0);
    std::vector<int> count(static_cast<std::size_t>(width) + 1, 0);
    for (int k = 1; k < SpectrumBins / 2; ++k) {
        if (!(curve[k] > 0.0f)) continue;  // no level to show
        const int x = std::max(PictureColumn(BinFrequency(k, rate), width, rate), 0);
        if (x > width) continue;
        sum[static_cast<std::size_t>(x)] += 20.0 * std::log10(static_cast<double>(curve[k]));
        ++count[static_cast<std::size_t>(x)];
    }
    std::vector<std::optional<double>> levels(static_cast<std::size_t>(width) + 1);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (count[i] > 0)
            levels[i] = sum[i] / count[i];
        else if (i > 0)
            levels[i] = levels[i - 1];
    }
    return levels;
}

// The mean of the levels of columns 1 .. width.
double MeanLevel(const std::vector<std::optional<double>>& levels) {
    double total = 0.0;
    int n = 0;
    for (std::size_t i = 1; i < levels.size(); ++i)
        if (levels[i]) {
            total += *levels[i];
            ++n;
        }
    return n > 0 ? total / n : 0.0;
}

int ClampedRow(double db, int height) {
    const double row =
        std::clamp(static_cast<double>(PictureRow(db, height)), -1.0, static_cast<double>(height));
    return static_cast<int>(row);
}

// A curve of vertical strokes, one per column from the row of the column before: only
// vertical strokes and single pixels, which every canvas draws alike.
void DrawLine(Canvas& canvas, const std::vector<std::optional<double>>& levels, double shift,
              int height, RgbColour colour) {
    canvas.SetPen(colour);
    std::optional<int> previous;
    for (std::size_t i = 1; i + 1 < levels.size(); ++i) {
        if (!levels[i]) {
            previous.reset();
            continue;
        }
        const int x = static_cast<int>(i), y = ClampedRow(*levels[i] - shift, height);
        if (previous && *previous != y) canvas.Stroke(x, *previous, x, y);
        canvas.SetPixel(x, y, colour);  // a stroke leaves out its end point
        previous = y;
    }
}

void DrawArea(Canvas& canvas, const std::vector<std::optional<double>>& levels, double shift,
              int height) {
    canvas.SetPen(Area);
    for (std::size_t i = 1; i + 1 < levels.size(); ++i)
        if (levels[i])
            canvas.Stroke(static_cast<int>(i), height - 2, static_cast<int>(i),
                          ClampedRow(*levels[i] - shift, height));
}

void DrawGrid(Canvas& canvas, int width, int height, std::int32_t rate, int fontSize) {
    canvas.SetPen(Grid);
    for (const FrequencyGridLine& line : FrequencyGridLines) {
        if (line.frequency > TopFrequency(rate)) continue;
        const int x = PictureColumn(line.frequency, width, rate);
        canvas.Stroke(x, height - 2, x, PictureLabelRows - 2);
        // Right of the line, or left of it where the picture ends.
        const int labelWidth = static_cast<int>(std::string(line.label).size()) * (fontSize + 1);
        canvas.TextOut(x + 2 + labelWidth < width ? x + 2 : x - 1 - labelWidth, 0, line.label);
    }
    for (int db = 12; db >= -36; db -= 12) {
        const int row = PictureRow(db, height);
        canvas.Stroke(0, row, width - 2, row);
        canvas.TextOut(1, row - PictureLabelRows + 1,
                       (db > 0 ? "+" : "") + std::to_string(db) + "dB");
    }
}

}  // namespace

int PictureColumn(double f, int width, std::int32_t sampleRate) {
    return static_cast<int>(
        std::nearbyint(width * std::log10(f / 12.0) / std::log10(TopFrequency(sampleRate) / 12.0)));
}

int PictureRow(double db, int height) {
    const double perDb = (height - 2 - PictureLabelRows) / (PictureTopDb - PictureBottomDb);
    return PictureLabelRows + static_cast<int>(std::nearbyint((PictureTopDb - db) * perDb));
}

void DrawSpectrumPicture(Canvas& canvas, int width, int height, const SpectrumPictureCurves& curves,
                         const char* fontName, int fontSize) {
    if (width <= 2 || height <= PictureLabelRows + 2 || curves.SampleRate <= 0) return;
    canvas.FillRect(0, 0, width, height, Background);
    const std::int32_t rate = curves.SampleRate;
    double spectrumShift = 0.0;
    if (curves.Spectrum) {
        const auto levels = ColumnLevels(*curves.Spectrum, width, rate);
        spectrumShift = MeanLevel(levels);
        DrawArea(canvas, levels, spectrumShift, height);
    }
    canvas.SetFont(fontName, fontSize, Grid);
    DrawGrid(canvas, width, height, rate, fontSize);
    struct Legend {
        const char* word;
        RgbColour colour;
    };
    std::vector<Legend> legend;
    if (curves.Spectrum) legend.push_back({curves.After ? "before" : "spectrum", Area});
    if (curves.Target) {
        const auto levels = ColumnLevels(*curves.Target, width, rate);
        DrawLine(canvas, levels, MeanLevel(levels), height, colours::PictureTarget);
        legend.push_back({"target", colours::PictureTarget});
    }
    for (const BinSpectrum* gain : curves.Gains)
        if (gain)
            DrawLine(canvas, ColumnLevels(*gain, width, rate), 0.0, height, colours::PictureGain);
    if (curves.Gains[0]) legend.push_back({"gain", colours::PictureGain});
    if (curves.After) {
        DrawLine(canvas, ColumnLevels(*curves.After, width, rate), spectrumShift, height,
                 colours::PictureAfter);
        legend.push_back({"after", colours::PictureAfter});
    }
    // The words at the right end of the label row, each in its curve's colour.
    int x = width - 2;
    for (auto it = legend.rbegin(); it != legend.rend(); ++it) {
        x -= static_cast<int>(std::string(it->word).size()) * (fontSize + 1) + fontSize;
        canvas.SetFont(fontName, fontSize, it->colour);
        canvas.TextOut(x, PictureRow(PictureTopDb, height), it->word);
    }
}

}  // namespace sv
