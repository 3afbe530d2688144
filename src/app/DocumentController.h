#pragma once
// The document's commands: Open, Return to saved, Save, Save As, Delete block, Undo and Redo,
// and the steps other commands build on (reading a file in, saving, the unsaved-data question,
// the undo history).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/AppPorts.h"
#include "app/AppState.h"
#include "app/CommandHost.h"

namespace sv {

class EditHistory;
struct MainWindowControls;

class DocumentController {
  public:
    struct Ports {
        UserDialogs*& dialogs;  // a slot: the batch puts its own in for a while
        FileChooser& files;
        const WaveEnvironment& env;
    };
    // The overview is rebuilt for documents of more channels than loading fills.
    DocumentController(CommandHost& host, DocumentState& state, WaveOverview& overview,
                       const MainWindowControls& controls, Ports ports);
    ~DocumentController();
    DocumentController(const DocumentController&) = delete;
    DocumentController& operator=(const DocumentController&) = delete;

    void Open();
    // Open with the file already chosen (a recent file, a dropped file).
    void OpenNamed(const std::string& fileName);
    // Called with each file Open made the document.
    std::function<void(const std::string&)> onOpened;
    void ReturnToSaved();
    void Save();
    void SaveAs();
    void Undo();
    void Redo();
    void DeleteSelectedBlock(const Command& command);

    // then(true) when the file became the document; otherwise the message is shown and the
    // current document stays as it was. With a step name the document replaced is kept as an
    // undo step so named; without, the undo history starts anew.
    void OpenFile(const Command& command, const std::string& fileName,
                  std::function<void(bool)> then, const std::string& stepName = {});
    // Asks before replacing an existing file unless it is the document's own (Save).
    void SaveFile(const Command& command, const std::string& fileName, std::function<void()> then,
                  bool askToReplace = true);
    // Asks whether to save unsaved data. then(true) when the caller may discard the document:
    // it was saved, or the user declined; false on Cancel and when Yes did not end in a saved
    // file.
    void AskToSave(const Command& command, std::function<void(bool)> then);

    // Keeps previous, the document a command replaced or changed, as the step undo returns to.
    void RecordStep(const std::string& commandName, std::unique_ptr<Wave> previous);
    void ShowUndoItems();
    // Steps a bound dropped, to be shown with the next loudness figures; cleared by reading.
    std::string TakeHistoryNote();
    // Lets the history's documents go (before the overview they report to).
    void ReleaseHistory();
    EditHistory* History() const { return history_.get(); }
    // Lowering the limit drops the oldest steps at once; true when it did.
    bool SetUndoSteps(int steps);

  private:
    void OpenChosen(const Command& command, const std::string& name);
    void InstallDocument(std::unique_ptr<Wave> document, const std::string& fileName,
                         const std::string& stepName);
    void ShowDocumentInStatusBar(const std::string& fileName);
    void StepThroughHistory(bool back);
    void RemoveBlock(std::int64_t first, std::int64_t end);
    void RedrawSurface();

    CommandHost& host_;
    DocumentState& state_;
    WaveOverview& overview_;
    const MainWindowControls& c_;
    Ports ports_;
    std::unique_ptr<EditHistory> history_;
    std::string historyNote_;
};

}  // namespace sv
