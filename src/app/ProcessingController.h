#pragma once
// The processing commands: Remove noise, Fit peak, Normalize, Remaster It, Detect and the batch,
// with the loudness figures shown after each.
#include <functional>
#include <memory>
#include <string>

#include "app/AppPorts.h"
#include "app/AppState.h"
#include "app/CommandHost.h"

class QMainWindow;

namespace sv {

class BackgroundLoudness;
class DocumentController;
class Engine;
struct MainWindowControls;

class ProcessingController {
  public:
    struct Parts {
        QMainWindow& window;  // takes no input while a batch runs
        UserDialogs*& dialogs;
        FileChooser& files;
        Engine& engine;
        DocumentController& documents;
        BackgroundLoudness& loudness;
        const EngineModes& modes;
        SharedSpectra& spectra;  // Detect makes the example the target
    };
    ProcessingController(CommandHost& host, DocumentState& state,
                         const MainWindowControls& controls, Parts parts);
    ~ProcessingController();
    ProcessingController(const ProcessingController&) = delete;
    ProcessingController& operator=(const ProcessingController&) = delete;

    // The settings the option panels hold.
    RemasterSettings ReadSettings() const;
    void RemoveNoise();
    void FitPeaks();
    void Normalize();
    void Remaster();
    void DetectTimbre();
    void ProcessBatch();

    // Notes, for the loudness figures, whether the true-peak ceiling held loudness normalizing.
    void NoteLoudness(const ChainOutcome& outcome, double ceilingDbtp);
    // Shows the document's loudness when measured; the window stays usable meanwhile.
    void ShowLoudness();

  private:
    struct BatchRun;
    template <typename Stage>
    void RunStageCommand(const Command& command, const std::string& commandName, Stage stage);
    void RunChainCommand(const Command& command, const RemasterSettings& settings,
                         const std::string& commandName);
    // After an operation: note a cancel, redraw and mark unsaved when it replaced the document.
    void OperationEnded(WalkResult result, bool replaced);
    void NextBatchFile(const Command& command, const std::shared_ptr<BatchRun>& run);
    void ProcessBatchFile(const Command& command, const std::shared_ptr<BatchRun>& run,
                          const std::string& name);
    void EndBatch(const std::shared_ptr<BatchRun>& run);

    CommandHost& host_;
    DocumentState& state_;
    const MainWindowControls& c_;
    Parts parts_;
    std::string loudnessHeldNote_;  // shown after the loudness figures until the next command
};

}  // namespace sv
