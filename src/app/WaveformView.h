#pragma once
// The waveform view: the renderer and its picture, the scroll bars, zoom, the selection and the
// play cursor over the view's surface. Only the visible span lives outside, beside the overview
// that reads it whenever a document is written.
#include <QImage>
#include <functional>
#include <memory>
#include <utility>

#include "view/ViewNavigation.h"
#include "view/WaveOverview.h"
#include "view/WaveformRenderer.h"

class QEvent;
class QScrollBar;
class QWidget;

namespace sv {

class BlockInfoPanel;
class PaintBox;
class Wave;

class WaveformView {
  public:
    struct Parts {
        QWidget* window;  // disabled while the overview is rebuilt
        PaintBox* surface;
        QScrollBar* horizontal;
        QScrollBar* vertical;
        BlockInfoPanel* blockInfo;
    };
    // What the view shows, owned by the window.
    struct Model {
        ViewPosition& position;           // the visible span, which the overview reads
        std::function<Wave*()> document;  // null while there is none or an operation has it
        std::function<bool()> loaded;     // the document has data to show
        bool& redraw;  // set by whoever changed the document, cleared once redrawn
        WaveOverview& overview;
    };
    WaveformView(Parts parts, Model model);
    ~WaveformView();
    WaveformView(const WaveformView&) = delete;
    WaveformView& operator=(const WaveformView&) = delete;

    // Runs view changes; they do nothing while the window refuses commands.
    using Runner = std::function<void(std::function<void()>)>;
    void Connect(Runner run);

    void OnPaint();  // redraws the view (from the cache unless something changed) and the labels
    void Redraw();   // redraws the whole view from the overview, not from the cache
    void Paint();    // rebuilds the overview for the visible span, then redraws
    // Moves the play cursor and the block-start marker to where they now are, touching only the
    // columns they leave and enter.
    void RefreshCursors();
    void Zoom(ZoomCommand command, bool horizontal);
    void ScrollHorizontally();
    void ScrollVertically();
    // A new document: the whole of it at zoom 1, nothing selected.
    void Reset();
    // Shows position without redrawing; returns the one shown before.
    ViewPosition MoveTo(ViewPosition position);

    // The selected frames [first, end), as dragged (end may lie beyond the document).
    std::pair<std::int64_t, std::int64_t> SelectedFrames() const;
    void Select(std::int64_t first, std::int64_t end);  // and shows it
    void ClearSelection();                              // shown with the next redraw
    bool Dragging() const { return selection_.Dragging; }
    // Where playing is or paused; shown by the next RefreshCursors or redraw.
    void SetPlayPosition(std::int64_t frame) { playPosition_ = frame; }
    // To start: nothing selected and the play cursor at the first frame, drawn anew.
    void ReturnToStart();

    // What the view shows: span, zoom, selection and play cursor, as the renderer gets them.
    WaveView Shown() const;
    bool HandleEvent(QEvent* event);  // mouse, wheel and Home/End over the surface
    const ScrollBarState& HorizontalBar() const { return horizontalBar_; }
    const QImage& Image() const { return image_; }

  private:
    void PaintSurface(QPainter& painter);
    void DrawImage();
    void UpdateBlockLabels();
    void ShowScrollBars();
    void ResetScrollBars();
    void PressAt(double x, bool shift);
    void DragTo(double x);
    void ZoomAround(double x, ZoomCommand command);

    Parts parts_;
    Model model_;
    ViewPosition& position_;
    std::int32_t verticalZoom_ = 1;
    std::int32_t verticalShift_ = 0;
    Selection selection_;
    std::int64_t playPosition_ = 0;
    Runner run_;
    std::unique_ptr<WaveformRenderer> renderer_;
    QImage image_;  // the renderer draws into it, the surface shows it
    ScrollBarState horizontalBar_, verticalBar_;
    bool showingBars_ = false;  // scroll-bar changes made by the view itself
};

}  // namespace sv
