#pragma once
// The arithmetic of zooming, scrolling and selecting in the waveform view, free of any widget:
// scroll bars are plain values here, and the main window mirrors them onto its controls.
#include <cstdint>

namespace sv {

struct ScrollBarState {
    int Min = 1;
    int Max = 32767;
    int Position = 1;
    int PageSize = 32767;
    int SmallChange = 1;
    int LargeChange = 1;

    void ShowAll() {
        PageSize = Max - Min + 1;
        Position = Min;
    }
    // Keeps the page inside the range and the thumb inside the track.
    void Fit();
};

enum class ZoomCommand { In, Out, Whole };

inline constexpr int MaxZoom = 1024;

// The new zoom factor after a command: doubled up to MaxZoom, halved down to 1, or 1.
int ZoomedFactor(int factor, ZoomCommand command);

// Resizes the thumb for a new zoom factor around its old centre; viewWidth is the waveform
// view's width in pixels (both bars step by it).
void ZoomScrollBar(ScrollBarState& bar, int factor, int viewWidth);

// First visible frame for the horizontal bar's position, so that the last page ends at the
// document's end.
std::int64_t ViewStartFor(const ScrollBarState& bar, std::int64_t frameCount, int horZoom);

// Amplitude shift for the vertical bar's position: 0 with the thumb centred.
std::int32_t VerShiftFor(const ScrollBarState& bar, int bitsPerSample);

// The document frame under view column x (may lie outside the document while dragging).
std::int64_t FrameAt(double x, int viewWidth, std::int64_t viewStart, std::int64_t frameCount,
                     int horZoom);

struct Selection {
    std::int64_t BlockStart = 0;
    std::int64_t BlockEnd = 0;
    bool Dragging = false;

    // Press of the left button at frame d: with shift the nearer edge jumps to d (neither on a
    // tie), otherwise an empty block at d. Starts a drag either way.
    void Press(std::int64_t d, bool shift);
    // Drag to frame e: the edge nearer to the mouse follows, ties towards the start; the block
    // stays inside 0..frameCount.
    void Move(std::int64_t e, std::int64_t frameCount);
    void Release() { Dragging = false; }
};

}  // namespace sv
