#pragma once
// Draws the document's overview table as a waveform, one lane per channel, and keeps a
// per-pixel-column cache of what it drew so that repaints and cursor moves never touch the
// document's samples.
#include <cstdint>
#include <vector>

#include "view/Canvas.h"
#include "view/WaveOverview.h"

namespace sv {

class Wave;

// The part of the view state the drawing reads.
struct WaveView {
    std::int64_t ViewStart = 0;
    std::int32_t HorizontalZoom = 1;
    std::int32_t VerticalZoom = 1;
    std::int32_t VerticalShift = 0;
    std::int64_t BlockStart = 0;
    std::int64_t BlockEnd = 0;
    std::int64_t PlayPosition = 0;
};

namespace colours {
inline constexpr RgbColour Background{0, 40, 0};
inline constexpr RgbColour BlockBackground{31, 63, 31};
inline constexpr RgbColour Wave0{0, 255, 127};
inline constexpr RgbColour Wave1{127, 255, 0};
inline constexpr RgbColour BlockWave0{0, 127, 63};
inline constexpr RgbColour BlockWave1{63, 127, 0};
inline constexpr RgbColour CentreLine{0, 0, 153};
inline constexpr RgbColour BlockMarker{255, 0, 0};
inline constexpr RgbColour PlayCursor{0, 0, 255};
}  // namespace colours

class WaveformRenderer {
  public:
    static constexpr int OverviewColumns = WaveOverview::Columns;
    static constexpr int MinimumCacheEntries = 2400;

    // Draws from the tables overview keeps; it must outlive the renderer.
    explicit WaveformRenderer(const WaveOverview& overview);

    // Draws the whole view, rebuilding the cache first when the size changed or redraw is set;
    // clears redraw once drawn.
    void DrawWave(Canvas& canvas, int width, bool& redraw, const Wave& wave, int height,
                  const WaveView& view);
    // Moves the play cursor to view.PlayPosition and the block-start marker to
    // view.BlockStart, repairing the columns they leave from the cache.
    void DrawCursors(Canvas& canvas, int width, const Wave& wave, int height, const WaveView& view);
    static void PaintBackground(Canvas& canvas, int width, int height);
    // x cut to -h..h, then rounded to nearest (ties to even).
    static int ClampPixel(double h, double x);

    // The overview column frame lies in; may lie outside 0..1199.
    static std::int64_t OverviewColumnOf(std::int64_t frame, const Wave& wave,
                                         const WaveView& view);

    int CursorX() const { return cursorX_; }
    int MarkX() const { return markX_; }
    std::size_t CacheEntries() const { return top_.size(); }

  private:
    struct Lanes {
        int channels = 1;
        int laneHeight = 0;
        int halfHeight = 0;
        int Centre(int c) const { return c * laneHeight + laneHeight / 2; }
    };
    static Lanes LanesOf(const Wave& wave, int height);
    void RebuildCache(const Wave& wave, int width, const Lanes& lanes, const WaveView& view,
                      std::int64_t blockStartColumn);
    void DrawColumn(Canvas& canvas, int x, const Lanes& lanes) const;
    static int PixelColumnOf(std::int64_t overviewColumn, int width);

    const WaveOverview& overview_;
    std::vector<std::int32_t> top_, bottom_;
    std::vector<RgbColour> backColours_, waveColours_;
    std::vector<std::uint8_t> covered_;  // pixel columns that got an overview column of their own
    int lastWidth_ = 0, lastHeight_ = 0, lastChannels_ = 0;
    int cursorX_ = 0, markX_ = 0;
    bool waveIdle_ = true, cursorIdle_ = true;
};

}  // namespace sv
