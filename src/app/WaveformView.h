#pragma once
// The waveform view: the renderer and its picture, the scroll bars, zoom and the mouse
// selection over the view's surface. The view state (zoom, start, selection, play position)
// is the one the documents read for their overview updates.
#include <QImage>
#include <functional>
#include <memory>
#include <utility>

#include "app/AppState.h"
#include "view/ViewNavigation.h"

class QEvent;
class QScrollBar;
class QWidget;

namespace sv {

class BlockInfoPanel;
class PaintBox;
class WaveformRenderer;

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
        ViewState& view;
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
    void Paint();    // rebuilds the overview for the visible span, then redraws
    // Moves the play cursor to the view state's PlayPosition (and the block-start marker),
    // touching only the columns they leave and enter.
    void RefreshCursors();
    void Zoom(ZoomCommand command, bool horizontal);
    void ScrollHorizontally();
    void ScrollVertically();
    void ResetScrollBars();
    // A new document: the whole of it at zoom 1, nothing selected.
    void Reset();
    // The selected frames [first, end), as dragged (end may lie beyond the document).
    std::pair<std::int64_t, std::int64_t> SelectedFrames() const;
    void ClearSelection();
    // Shows position without redrawing; returns the one shown before.
    ViewPosition MoveTo(ViewPosition position);
    void UpdateBlockLabels();
    bool HandleEvent(QEvent* event);  // mouse, wheel and Home/End over the surface

    ScrollBarState& HorizontalBar() { return horizontalBar_; }
    const QImage& Image() const { return image_; }

  private:
    void PaintSurface(QPainter& painter);
    void DrawImage();
    void ShowScrollBars();
    void PressAt(double x, bool shift);
    void MoveTo(double x);
    void ZoomAround(double x, ZoomCommand command);

    Parts parts_;
    Model model_;
    ViewState& view_;
    Runner run_;
    std::unique_ptr<WaveformRenderer> renderer_;
    QImage image_;  // the renderer draws into it, the surface shows it
    ScrollBarState horizontalBar_, verticalBar_;
    bool showingBars_ = false;  // scroll-bar changes made by the view itself
};

}  // namespace sv
