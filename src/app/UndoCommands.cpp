// Undo and redo: the window's side of the edit history.
#include <QAction>
#include <utility>

#include "app/DocumentController.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/QtText.h"
#include "app/WaveformView.h"
#include "history/EditHistory.h"
#include "text/Language.h"

namespace sv {

void DocumentController::RecordStep(const std::string& commandName,
                                    std::unique_ptr<Wave> previous) {
    const DroppedSteps dropped = history_->Record(commandName, std::move(previous));
    host_.NoteStepKept(history_->Earlier(1));
    if (dropped.Total() > 0) historyNote_ = Texts().UndoStepsDroppedNote;
    ShowUndoItems();
}

void DocumentController::ShowUndoItems() {
    const auto& t = Texts();
    auto show = [](QAction* action, const std::string& caption, const std::string& name) {
        action->setText(Q(name.empty() ? caption : caption + " " + name));
        action->setEnabled(!name.empty());
    };
    show(c_.undoAction, t.UndoCaption, history_->UndoName());
    show(c_.redoAction, t.RedoCaption, history_->RedoName());
}

bool DocumentController::SetUndoSteps(int steps) {
    const bool dropped = history_->SetStepLimit(steps).Total() > 0;
    ShowUndoItems();
    return dropped;
}

std::string DocumentController::TakeHistoryNote() { return std::exchange(historyNote_, {}); }

void DocumentController::Undo() { StepThroughHistory(true); }

void DocumentController::Redo() { StepThroughHistory(false); }

void DocumentController::StepThroughHistory(bool back) {
    host_.RunCommand([this, back](const Command&) {
        if (!state_.Document || !(back ? history_->CanUndo() : history_->CanRedo())) return;
        host_.StopReadingDocument();  // the document goes to the history
        auto current = std::move(state_.Document);
        state_.Document =
            back ? history_->Undo(std::move(current)) : history_->Redo(std::move(current));
        state_.WaveLoaded = state_.Document->HasData();
        state_.Flags.DataSaved = history_->AtSavedState();
        host_.View().ClearSelection();
        state_.RedrawWave = true;
        host_.View().ScrollHorizontally();  // keeps the view within the document's length
        host_.SetChannelControls(state_.Document->Channels() >= 2);
        ShowDocumentInStatusBar(state_.FileName);
        ShowUndoItems();
        c_.waveView->repaint();
        host_.ShowLoudness();
    });
}

}  // namespace sv
