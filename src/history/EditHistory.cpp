#include "history/EditHistory.h"

#include <utility>

#include "base/WorkFolder.h"

namespace sv {

namespace {
const std::string NoName;

// A step waits on its swap file alone until it is read again.
std::unique_ptr<Wave> Parked(std::unique_ptr<Wave> document) {
    if (document) document->Memory().ReleaseWindow();
    return document;
}
}  // namespace

EditHistory::EditHistory(std::filesystem::path workFolder, FreeSpaceQuery freeBytes)
    : workFolder_(std::move(workFolder)),
      freeBytes_(freeBytes ? std::move(freeBytes) : FreeSpaceQuery(FreeBytes)) {}

DroppedSteps EditHistory::Record(std::string commandName, std::unique_ptr<Wave> previous) {
    redo_.clear();
    // The saved state was on the branch just cleared: no step leads there any more.
    if (saved_ && *saved_ > position_) saved_.reset();
    const std::uint64_t room = StoreBytes(previous->Channels(), previous->FrameCount());
    undo_.push_back({std::move(commandName), Parked(std::move(previous))});
    ++position_;
    DroppedSteps dropped = SetStepLimit(stepLimit_);
    dropped.ByDiskSpace = MakeRoom(room).ByDiskSpace;
    return dropped;
}

std::unique_ptr<Wave> EditHistory::Undo(std::unique_ptr<Wave> current) {
    Step step = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back({std::move(step.Name), Parked(std::move(current))});
    --position_;
    return std::move(step.Document);
}

std::unique_ptr<Wave> EditHistory::Redo(std::unique_ptr<Wave> current) {
    Step step = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back({std::move(step.Name), Parked(std::move(current))});
    ++position_;
    return std::move(step.Document);
}

const std::string& EditHistory::UndoName() const {
    return undo_.empty() ? NoName : undo_.back().Name;
}

const std::string& EditHistory::RedoName() const {
    return redo_.empty() ? NoName : redo_.back().Name;
}

Wave* EditHistory::Earlier(int stepsBack) {
    if (stepsBack < 1 || stepsBack > UndoCount()) return nullptr;
    return undo_[undo_.size() - static_cast<std::size_t>(stepsBack)].Document.get();
}

const std::string& EditHistory::EarlierName(int stepsBack) const {
    if (stepsBack < 1 || stepsBack > UndoCount()) return NoName;
    return undo_[undo_.size() - static_cast<std::size_t>(stepsBack)].Name;
}

DroppedSteps EditHistory::SetStepLimit(int steps) {
    stepLimit_ = std::max(steps, 0);
    DroppedSteps dropped;
    for (; UndoCount() + RedoCount() > stepLimit_; ++dropped.ByStepLimit) DropOldest();
    return dropped;
}

DroppedSteps EditHistory::MakeRoom(std::uint64_t bytes) {
    DroppedSteps dropped;
    for (; (CanUndo() || CanRedo()) && freeBytes_(workFolder_) < bytes; ++dropped.ByDiskSpace)
        DropOldest();
    return dropped;
}

void EditHistory::Clear() {
    undo_.clear();
    redo_.clear();
    position_ = 0;
    saved_ = 0;
}

void EditHistory::DropOldest() {
    if (!undo_.empty())
        undo_.pop_front();
    else
        redo_.pop_front();
}

}  // namespace sv
