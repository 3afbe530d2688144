#pragma once
// Draws the document's overview table as a waveform, one lane per channel, and keeps a
// per-pixel-column cache of what it drew so that repaints and cursor moves never touch the
// document's samples.
#include <cstdint>
#include <vector>

#include "view/Canvas.h"

namespace sv {

class TWave;

// The part of the view state the drawing reads.
struct TWaveView {
    std::int64_t ViewStart = 0;
    std::int32_t HorZoom = 1;
    std::int32_t VerZoom = 1;
    std::int32_t VerShift = 0;
    std::int64_t BlockStart = 0;
    std::int64_t BlockEnd = 0;
    std::int64_t PlayPosition = 0;
};

namespace colours {
inline constexpr TRgb Background{0, 40, 0};
inline constexpr TRgb BlockBackground{31, 63, 31};
inline constexpr TRgb Wave0{0, 255, 127};
inline constexpr TRgb Wave1{127, 255, 0};
inline constexpr TRgb BlockWave0{0, 127, 63};
inline constexpr TRgb BlockWave1{63, 127, 0};
inline constexpr TRgb CentreLine{0, 0, 153};
inline constexpr TRgb BlockMarker{255, 0, 0};
inline constexpr TRgb PlayCursor{0, 0, 255};
}  // namespace colours

class TWaveformRenderer {
  public:
    static constexpr int OverviewColumns = 1200;
    static constexpr int MinimumCacheEntries = 2400;

    TWaveformRenderer();

    // Draws the whole view, rebuilding the cache first when the size changed or redraw is set;
    // clears redraw once drawn.
    void DrawWave(TCanvas& canvas, int width, bool& redraw, const TWave& wave, int height,
                  const TWaveView& view);
    // Moves the play cursor to view.PlayPosition and the block-start marker to
    // view.BlockStart, repairing the columns they leave from the cache.
    void DrawCursors(TCanvas& canvas, int width, const TWave& wave, int height,
                     const TWaveView& view);
    static void PaintBackground(TCanvas& canvas, int width, int height);
    // x cut to -h..h, then rounded to nearest (ties to even).
    static int ClampPixel(double h, double x);

    // The overview column frame lies in; may lie outside 0..1199.
    static std::int64_t OverviewColumnOf(std::int64_t frame, const TWave& wave,
                                         const TWaveView& view);

    int CursorX() const { return cursorX_; }
    int MarkX() const { return markX_; }
    std::size_t CacheEntries() const { return top_.size(); }

  private:
    struct TLanes {
        int channels = 1;
        int laneHeight = 0;
        int halfHeight = 0;
        int Centre(int c) const { return c * laneHeight + laneHeight / 2; }
    };
    static TLanes LanesOf(const TWave& wave, int height);
    void RebuildCache(const TWave& wave, int width, const TLanes& lanes, const TWaveView& view,
                      std::int64_t blockStartColumn);
    void DrawColumn(TCanvas& canvas, int x, const TLanes& lanes) const;
    static int PixelColumnOf(std::int64_t overviewColumn, int width);

    std::vector<std::int32_t> top_, bottom_;
    std::vector<TRgb> backColours_, waveColours_;
    std::vector<std::uint8_t> covered_;  // pixel columns that got an overview column of their own
    int lastWidth_ = 0, lastHeight_ = 0, lastChannels_ = 0;
    int cursorX_ = 0, markX_ = 0;
    bool waveIdle_ = true, cursorIdle_ = true;
};

}  // namespace sv
