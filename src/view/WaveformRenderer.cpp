#include "view/WaveformRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "audio/Wave.h"

namespace sv {

namespace {

// Marks one drawing as in progress and ends it however the drawing leaves.
class Busy {
  public:
    explicit Busy(bool& idle) : idle_(idle) { idle_ = false; }
    ~Busy() { idle_ = true; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    bool& idle_;
};

}  // namespace

WaveformRenderer::WaveformRenderer(const WaveOverview& overview)
    : overview_(overview),
      top_(MinimumCacheEntries, 0),
      bottom_(MinimumCacheEntries, 0),
      backColours_(MinimumCacheEntries),
      waveColours_(MinimumCacheEntries),
      covered_(MinimumCacheEntries, 0) {}

int WaveformRenderer::ClampPixel(double h, double x) {
    return static_cast<int>(std::nearbyint(std::clamp(x, -h, h)));
}

void WaveformRenderer::PaintBackground(Canvas& canvas, int width, int height) {
    canvas.SetPen(colours::Background);
    canvas.FillRect(0, 0, width, height, colours::Background);
}

std::int64_t WaveformRenderer::OverviewColumnOf(std::int64_t frame, const Wave& wave,
                                                const WaveView& view) {
    const double n = static_cast<double>(std::max<std::int64_t>(wave.FrameCount(), 1));
    const float z =
        static_cast<float>(static_cast<double>(view.HorizontalZoom) * OverviewColumns / n);
    const double column = std::nearbyint(static_cast<double>(frame - view.ViewStart) * z);
    // Far outside the view is as good as just outside it.
    return static_cast<std::int64_t>(std::clamp(column, -1.0e9, 1.0e9));
}

int WaveformRenderer::PixelColumnOf(std::int64_t overviewColumn, int width) {
    return static_cast<int>(overviewColumn * width / (OverviewColumns - 1));
}

WaveformRenderer::Lanes WaveformRenderer::LanesOf(const Wave& wave, int height) {
    Lanes lanes;
    lanes.channels = std::max<int>(wave.Channels(), 1);
    lanes.laneHeight = height / lanes.channels;
    lanes.halfHeight = lanes.laneHeight / 2;
    return lanes;
}

void WaveformRenderer::RebuildCache(const Wave& wave, int width, const Lanes& lanes,
                                    const WaveView& view, std::int64_t blockStartColumn) {
    const int ch = lanes.channels;
    // Column W is addressed too (overview column 1199 lands there).
    const std::size_t needed = static_cast<std::size_t>(width + 1) * static_cast<std::size_t>(ch);
    if (top_.size() < needed) {
        top_.resize(needed);
        bottom_.resize(needed);
        backColours_.resize(needed);
        waveColours_.resize(needed);
    }
    if (covered_.size() < static_cast<std::size_t>(width + 1))
        covered_.resize(static_cast<std::size_t>(width + 1));
    std::fill(top_.begin(), top_.end(), 0);
    std::fill(bottom_.begin(), bottom_.end(), 0);
    std::fill(covered_.begin(), covered_.end(), std::uint8_t{0});

    const double h = lanes.halfHeight;
    const float scale = static_cast<float>(wave.FullScale()) /
                        static_cast<float>(view.VerticalZoom * lanes.halfHeight);
    auto offset = [&](std::int32_t value) {
        if (lanes.halfHeight <= 0) return 0;
        return -ClampPixel(h,
                           static_cast<double>(std::int64_t{value} + view.VerticalShift) / scale);
    };
    const std::int64_t blockEndColumn = OverviewColumnOf(view.BlockEnd, wave, view);
    for (int k = 0; k < OverviewColumns; ++k) {
        const bool inside = blockStartColumn <= k && k <= blockEndColumn;
        const int p = PixelColumnOf(k, width);
        covered_[static_cast<std::size_t>(p)] = 1;
        for (int c = 0; c < ch; ++c) {
            const std::size_t e = static_cast<std::size_t>(p) * ch + c;
            const bool odd = (c % 2) == 1;  // further channels take the colours of 0 and 1 in turn
            backColours_[e] = inside ? colours::BlockBackground : colours::Background;
            const int t = offset(overview_.Value(wave, 2 * k, c));
            if (std::abs(top_[e]) < std::abs(t)) top_[e] = t;
            waveColours_[e] = inside ? (odd ? colours::BlockWave1 : colours::BlockWave0)
                                     : (odd ? colours::Wave1 : colours::Wave0);
            const int b = offset(overview_.Value(wave, 2 * k + 1, c));
            if (std::abs(bottom_[e]) < std::abs(b)) bottom_[e] = b;
        }
    }
    // Views wider than the overview: a pixel column without an overview column of its own
    // repeats its left neighbour instead of showing a gap.
    for (int x = 1; x < width; ++x) {
        if (covered_[static_cast<std::size_t>(x)]) continue;
        const std::size_t from = static_cast<std::size_t>(x - 1) * ch;
        const std::size_t to = static_cast<std::size_t>(x) * ch;
        for (int c = 0; c < ch; ++c) {
            top_[to + c] = top_[from + c];
            bottom_[to + c] = bottom_[from + c];
            backColours_[to + c] = backColours_[from + c];
            waveColours_[to + c] = waveColours_[from + c];
        }
    }
}

void WaveformRenderer::DrawColumn(Canvas& canvas, int x, const Lanes& lanes) const {
    const int h = lanes.halfHeight;
    for (int c = 0; c < lanes.channels; ++c) {
        const std::size_t e = static_cast<std::size_t>(x) * lanes.channels + c;
        if (e >= top_.size()) return;
        const int yc = lanes.Centre(c);
        canvas.SetPen(backColours_[e]);
        canvas.MoveTo(x, yc - h);
        canvas.LineTo(x, yc + top_[e]);
        canvas.SetPen(waveColours_[e]);
        canvas.LineTo(x, yc + bottom_[e] + 1);
        canvas.SetPen(backColours_[e]);
        canvas.LineTo(x, yc + h + 1);
        canvas.SetPixel(x, yc, colours::CentreLine);
    }
}

void WaveformRenderer::DrawWave(Canvas& canvas, int width, bool& redraw, const Wave& wave,
                                int height, const WaveView& view) {
    if (!cursorIdle_ || !waveIdle_) return;
    if (wave.HasData() && width > 0 && height > 0) {
        Busy busy(waveIdle_);
        const Lanes lanes = LanesOf(wave, height);
        const std::int64_t b0 = OverviewColumnOf(view.BlockStart, wave, view);
        const bool cacheFits = top_.size() >= static_cast<std::size_t>(width + 1) *
                                                  static_cast<std::size_t>(lanes.channels);
        if (width != lastWidth_ || height != lastHeight_ || redraw ||
            lanes.channels != lastChannels_ || !cacheFits)
            RebuildCache(wave, width, lanes, view, b0);

        // The block-start marker paints its column red for this drawing only.
        struct SavedColumn {
            RgbColour back, wave;
        };
        std::size_t markEntry = 0;
        int markedChannels = 0;
        SavedColumn saved[2]{};
        std::vector<SavedColumn> savedMore;
        if (b0 >= 0 && b0 <= OverviewColumns - 1) {
            markEntry = static_cast<std::size_t>(PixelColumnOf(b0, width)) * lanes.channels;
            markedChannels = lanes.channels;
            if (markedChannels > 2) savedMore.resize(static_cast<std::size_t>(markedChannels));
            for (int c = 0; c < markedChannels; ++c) {
                SavedColumn& s =
                    markedChannels > 2 ? savedMore[static_cast<std::size_t>(c)] : saved[c];
                s = {backColours_[markEntry + c], waveColours_[markEntry + c]};
                backColours_[markEntry + c] = colours::BlockMarker;
                waveColours_[markEntry + c] = colours::BlockMarker;
            }
        }
        for (int x = 0; x < width; ++x) DrawColumn(canvas, x, lanes);
        for (int c = 0; c < markedChannels; ++c) {
            const SavedColumn& s =
                markedChannels > 2 ? savedMore[static_cast<std::size_t>(c)] : saved[c];
            backColours_[markEntry + c] = s.back;
            waveColours_[markEntry + c] = s.wave;
        }
        lastChannels_ = lanes.channels;
    }
    lastWidth_ = width;
    lastHeight_ = height;
    redraw = false;
}

void WaveformRenderer::DrawCursors(Canvas& canvas, int width, const Wave& wave, int height,
                                   const WaveView& view) {
    if (!wave.HasData() || !waveIdle_ || !cursorIdle_) return;
    Busy busy(cursorIdle_);
    const Lanes lanes = LanesOf(wave, height);
    const int oldCursor = cursorX_;
    const int oldMark = markX_;
    auto pixelColumn = [&](std::int64_t frame) {
        const std::int64_t k = OverviewColumnOf(frame, wave, view);
        return k >= 0 && k <= OverviewColumns - 1 ? PixelColumnOf(k, width) : width;
    };
    cursorX_ = pixelColumn(view.PlayPosition);
    markX_ = pixelColumn(view.BlockStart);
    if (cursorX_ != oldCursor) {
        DrawColumn(canvas, oldCursor, lanes);
        canvas.SetPen(colours::PlayCursor);
        canvas.Stroke(cursorX_, 0, cursorX_, height - 1);
    }
    if (markX_ == oldMark && oldCursor != oldMark) return;
    DrawColumn(canvas, oldMark, lanes);
    canvas.SetPen(colours::BlockMarker);
    canvas.Stroke(markX_, 0, markX_, height - 1);
}

}  // namespace sv
