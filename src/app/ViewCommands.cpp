// The waveform view's commands (zoom, block delete) and the target display's paint.
#include <QAction>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

#include "app/DocumentController.h"
#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/WaveformView.h"
#include "text/Language.h"
#include "view/TargetSpectrumDisplay.h"

namespace sv {

void MainWindow::ConnectViewHandlers() {
    auto& c = *c_;
    waveView_ = std::make_unique<WaveformView>(
        WaveformView::Parts{this, c.waveView, c.waveHorizontalScroll, c.waveVerticalScroll,
                            c.blockInfo},
        WaveformView::Model{state_.Position, [this] { return state_.Document.get(); },
                            [this] { return state_.WaveLoaded; }, state_.RedrawWave,
                            state_.Overview});
    waveView_->Connect([this](const std::function<void()>& change) { RunCommand(change); });
    c.waveView->installEventFilter(this);
    c.targetView->OnPaint = [this](QPainter& painter) {
        PainterCanvas canvas(painter);
        DrawTargetSpectrum(canvas, c_->targetView->width(), c_->targetView->height(),
                           state_.SpectraShared.Target, state_.FlatSpectrum, PassSettings());
    };
    ConnectViewCommands();
}

// Each view command has a button, an edit menu item and a context menu item.
void MainWindow::ConnectViewCommands() {
    auto& c = *c_;
    struct ViewCommand {
        QToolButton* button;
        QAction* item;
        QAction* popupItem;
        std::function<void(const Command&)> handler;
    };
    auto zoom = [this](ZoomCommand command, bool horizontal) {
        return
            [this, command, horizontal](const Command&) { waveView_->Zoom(command, horizontal); };
    };
    const ViewCommand commands[] = {
        {c.horizontalZoomInButton, c.horizontalZoomInAction, c.horizontalZoomInPopupAction,
         zoom(ZoomCommand::In, true)},
        {c.horizontalZoomOutButton, c.horizontalZoomOutAction, c.horizontalZoomOutPopupAction,
         zoom(ZoomCommand::Out, true)},
        {c.horizontalZoomResetButton, c.horizontalZoomResetAction, c.horizontalZoomResetPopupAction,
         zoom(ZoomCommand::Whole, true)},
        {c.verticalZoomInButton, c.verticalZoomInAction, c.verticalZoomInPopupAction,
         zoom(ZoomCommand::In, false)},
        {c.verticalZoomOutButton, c.verticalZoomOutAction, c.verticalZoomOutPopupAction,
         zoom(ZoomCommand::Out, false)},
        {c.verticalZoomResetButton, c.verticalZoomResetAction, c.verticalZoomResetPopupAction,
         zoom(ZoomCommand::Whole, false)},
        {c.deleteBlockButton, c.deleteBlockAction, c.deleteBlockPopupAction,
         [this](const Command& command) { documents_->DeleteSelectedBlock(command); }},
    };
    for (const ViewCommand& command : commands) {
        auto run = [this, handler = command.handler] { RunCommand(handler); };
        connect(command.button, &QToolButton::clicked, this, run);
        connect(command.item, &QAction::triggered, this, run);
        connect(command.popupItem, &QAction::triggered, this, run);
    }
}

}  // namespace sv
