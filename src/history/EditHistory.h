#pragma once
// Undo and redo of the commands that change the document, by keeping whole earlier documents:
// a processing command already writes a new document and would free the old one, so the old one
// (its samples in a swap file of the work folder) is handed here instead.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/Wave.h"

namespace sv {

// How many steps a bound removed, oldest first, so the window can say so in its status bar.
struct DroppedSteps {
    int ByStepLimit = 0;
    int ByDiskSpace = 0;
    int Total() const { return ByStepLimit + ByDiskSpace; }
};

// The documents before (undo side) and after (redo side) the current one, each with the name
// of the command that leads from it to its neighbour nearer the current one.
//
// Contract:
// - Record(name, previous) after a command has replaced the current document, with the
//   document it replaced. A command that was cancelled before it changed anything records
//   nothing: the caller simply does not call Record, and the history is as before. A command
//   that changes the document in place records a copy taken before the change (CopyDocument).
//   A command cancelled after it had already replaced the document (a chain keeps the stages
//   completed before the cancel) records, as the document did change. previous is not null.
// - Undo(current) and Redo(current) take the current document and give the one to show; the
//   current one is kept on the other side under the same name. Each needs CanUndo / CanRedo.
//   Undo then Redo (or Redo then Undo) gives back the very same document object.
// - Record clears the redo side: an edit after undoing starts a new branch.
// - At most StepLimit() documents are kept on both sides together (default 10). The oldest
//   undo step goes first; the redo side goes only when no undo step is left.
// - Record and MakeRoom drop steps, oldest first, while the work folder's file system has less
//   free space than the room wanted; the free space is asked of the query given at
//   construction. Dropping a step deletes its swap file.
// - The saved marker names the state that equals the file on disk: MarkSaved() after every
//   successful save (and after opening or returning to the saved file); AtSavedState() is true
//   whenever undo or redo arrive back there. A marker on a redo step that Record clears, or on
//   a step a bound dropped, can never be reached again.
// - Kept documents keep their swap files locked and are never changed here, except that their
//   store's window is written back and released (FileMemory::ReleaseWindow) as they are kept.
//   Memory: each keeps only what a Wave holds besides its store's data (the overview table, the
//   file's other chunks), so the history's memory does not grow with the documents' length.
// - Not thread-safe: use it from one thread, and stop any reader of the current document or of
//   an earlier step (the player) before Record, Undo, Redo or a bound changes the steps.
class EditHistory {
  public:
    static constexpr int DefaultStepLimit = 10;
    // Free bytes on the file system of a folder.
    using FreeSpaceQuery = std::function<std::uint64_t(const std::filesystem::path&)>;

    // Without a query, FreeBytes; its 0 for an unknown file system counts as full.
    explicit EditHistory(std::filesystem::path workFolder, FreeSpaceQuery freeBytes = nullptr);
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // Keeps previous as the step to return to from the current document, named after the
    // command that replaced it, then applies both bounds. Room wanted: one more document of
    // previous's size, so the next command can write its output.
    DroppedSteps Record(std::string commandName, std::unique_ptr<Wave> previous);
    std::unique_ptr<Wave> Undo(std::unique_ptr<Wave> current);
    std::unique_ptr<Wave> Redo(std::unique_ptr<Wave> current);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // The command Undo would take back or Redo would do again; empty when there is none.
    const std::string& UndoName() const;
    const std::string& RedoName() const;
    int UndoCount() const { return static_cast<int>(undo_.size()); }
    int RedoCount() const { return static_cast<int>(redo_.size()); }
    // The document stepsBack undos away (1: what Undo would give), for playing it beside the
    // current one; null when that step is not kept. Valid until the steps next change.
    Wave* Earlier(int stepsBack);
    // The command that led away from Earlier(stepsBack); empty when that step is not kept.
    const std::string& EarlierName(int stepsBack) const;
    // Whether Earlier(stepsBack) is the document as it was opened, not dropped by a bound.
    bool IsAsOpened(int stepsBack) const {
        return stepsBack >= 1 && stepsBack == UndoCount() && position_ == UndoCount();
    }

    // steps >= 0; 0 keeps no steps at all.
    DroppedSteps SetStepLimit(int steps);
    int StepLimit() const { return stepLimit_; }
    // Drops steps, oldest first, until the work folder has bytes free or no step is left.
    DroppedSteps MakeRoom(std::uint64_t bytes);

    void MarkSaved() { saved_ = position_; }
    bool AtSavedState() const { return saved_ == position_; }
    // Forgets every step (another file was opened); the current state counts as saved.
    void Clear();

  private:
    struct Step {
        std::string Name;
        std::unique_ptr<Wave> Document;
    };
    // Drops the oldest undo step, or the farthest redo step when none is left.
    void DropOldest();

    std::filesystem::path workFolder_;
    FreeSpaceQuery freeBytes_;
    int stepLimit_ = DefaultStepLimit;
    std::deque<Step> undo_;  // back(): the nearest
    std::deque<Step> redo_;  // back(): the nearest
    // States are numbered in the order they were made along the current branch; position_ is
    // the current one's number and saved_ the saved one's.
    std::int64_t position_ = 0;
    std::optional<std::int64_t> saved_ = 0;
};

}  // namespace sv
