#pragma once
// What the window's controllers get from the window that runs their commands: one command at a
// time, work on the worker thread (with the document lent to it), and the window's reactions.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "audio/Wave.h"
#include "dsp/RemasterChain.h"

namespace sv {

class WaveformView;

// Held by a command and by every step that continues it; the command ends with the last.
class CommandScope;
using Command = std::shared_ptr<CommandScope>;

// The document and the spectra while work on the worker thread has them.
struct LentDocument {
    std::unique_ptr<Wave> Document;
    SharedSpectra Spectra;
};

class CommandHost {
  public:
    virtual ~CommandHost() = default;

    // Runs one command: none starts while another runs, and an error ends it with a message
    // instead of ending the program. The body may hand the command on to later steps.
    virtual void RunCommand(const std::function<void(const Command&)>& body) = 0;

    // Runs work on the worker thread, then then(result) on the window's thread.
    template <typename Work, typename Then>
    void RunWork(const Command& command, Work work, Then then) {
        auto result = std::make_shared<std::optional<std::invoke_result_t<Work&>>>();
        StartWork(
            command, [result, work = std::move(work)]() mutable { result->emplace(work()); },
            [result, then = std::move(then)]() mutable { then(std::move(**result)); });
    }
    // The same with the document and the spectra lent to the work; the window does not touch
    // them meanwhile and has them back before then runs.
    template <typename Work, typename Then>
    void RunOnDocument(const Command& command, Work work, Then then) {
        auto result = std::make_shared<std::optional<std::invoke_result_t<Work&, LentDocument&>>>();
        StartOnDocument(
            command,
            [result, work = std::move(work)](LentDocument& lent) mutable {
                result->emplace(work(lent));
            },
            [result, then = std::move(then)]() mutable { then(std::move(**result)); });
    }

    virtual void StopPlayback() = 0;
    // Stops what reads the document beside the window (the player, the loudness measurement)
    // before the document changes or goes.
    virtual void StopReadingDocument() = 0;
    virtual void EnableCommands(bool enabled) = 0;
    virtual void SetPanel(int panel, const std::string& text) = 0;
    virtual void SetChannelControls(bool stereo) = 0;
    virtual WaveformView& View() = 0;
    // Starts measuring the open document's loudness beside the window, which stays usable, and
    // shows it in the status bar when done; without a document the panel shows its caption only.
    virtual void ShowLoudness() = 0;
    // Loudness measured of the current document, and each step the undo history keeps, for
    // comparing them level-matched.
    virtual void NoteLoudness(const Wave&, double /*integratedLufs*/) {}
    virtual void NoteStepKept(const Wave* /*previous*/) {}
    // Until the end, the operations share one progress window titled by title(caption).
    virtual void BeginProgressSeries(std::function<std::string(const std::string&)> title) = 0;
    virtual void EndProgressSeries() = 0;

  protected:
    virtual void StartWork(const Command& command, std::function<void()> work,
                           std::function<void()> then) = 0;
    virtual void StartOnDocument(const Command& command, std::function<void(LentDocument&)> work,
                                 std::function<void()> then) = 0;
};

}  // namespace sv
