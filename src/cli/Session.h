#pragma once
// What one command (or one batch worker) works with: its messages, its work folder and ports, and
// the engine with the spectra the stages share.
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "audio/Wave.h"
#include "cli/Options.h"
#include "cli/PrintableText.h"
#include "dsp/RemasterChain.h"

namespace sv::cli {

enum ExitCode : int {
    ExitDone = 0,
    ExitIoFailure = 1,
    ExitUsage = 2,
    ExitRefused = 3,
    ExitCancelled = 130,
};

// Messages go to stderr; the command line never asks, so every question answers No. The last
// message is kept for the machine-readable result.
class StderrDialogs final : public UserDialogs {
  public:
    void Message(const std::string& text) override;
    bool Question(const std::string& text) override;
    void SetBusy(bool) override {}
    const std::string& LastMessage() const { return last_; }
    void ClearLastMessage() { last_.clear(); }
    // The file in work: a line on stderr that does not name it is preceded by it, so that in a
    // batch (quiet or not) every failure says which file it is about. Empty: none.
    void SetSubject(const std::string& path) { subject_ = PrintableText(path); }

  private:
    std::string Line(const std::string& text) const;

    std::string last_;
    std::string subject_;
};

struct Session {
    StderrDialogs dialogs;
    WaveEnvironment env;
};

// The work folder and ports of the options; progress on stderr unless silent.
void SetUp(Session& session, const Options& options, bool silentProgress = false);

// Loads a file; on refusal reports it and returns null with exit set.
std::unique_ptr<Wave> Open(Session& session, const std::string& path, int& exit);

// The exit code of a save (or of a check before one), with its message shown when it failed.
int ReportSave(Session& session, const SaveResult& result);

// Engine options with the command line's progress captions, fitting in place.
EngineOptions ForCommandLine(EngineOptions options);

// The engine with the spectra the commands share.
struct EngineRun {
    // A cancelled file is never saved here, so peak fitting may change its document in place.
    explicit EngineRun(const FrontEndPorts& ports, EngineOptions options = {})
        : engine(ports, ForCommandLine(std::move(options))) {}
    Engine engine;
    std::unique_ptr<SharedSpectra> spectra = std::make_unique<SharedSpectra>();
};

// The target timbre of the options, when levelling runs. Returns an exit code other than
// ExitDone on failure, whose message has been shown.
int ChooseTarget(Session& session, EngineRun& run, const Options& options);

// The stage settings of the options, loudness normalizing included.
RemasterSettings ChainSettings(const Options& options);

// A note on stderr when the true-peak ceiling kept the loudness of input below the target.
void ReportLoudness(Session& session, const LoudnessGain& gain, const Options& options,
                    const std::string& input);

}  // namespace sv::cli
