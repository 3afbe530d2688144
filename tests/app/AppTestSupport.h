#pragma once
// Scripted dialogs and file choosers for the main window's tests, and test documents.
#include <QTest>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AppPorts.h"
#include "app/DocumentController.h"
#include "app/MainWindow.h"
#include "app/ProcessingController.h"
#include "app/WaveformView.h"
#include "base/Progress.h"
#include "support/TestFiles.h"

namespace sv::test {

// Messages are recorded; questions are answered from a script (No once it runs out).
class ScriptedDialogs final : public UserDialogs {
  public:
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    bool fallbackAnswer = false;
    std::function<void()> whenAsked;  // sees the window as the question finds it
    void Message(const std::string& text) override { messages.push_back(text); }
    bool Question(const std::string& text) override {
        questions.push_back(text);
        if (whenAsked) whenAsked();
        if (answers.empty()) return fallbackAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetBusy(bool) override {}
};

// File dialogs answer from scripts; an empty script cancels.
class ScriptedFiles final : public FileChooser {
  public:
    std::deque<std::optional<std::string>> openNames;
    std::deque<std::optional<std::string>> saveNames;
    std::vector<std::string> saveDialogStartNames;
    int openCalls = 0;
    int saveCalls = 0;
    BatchChoice batch;
    std::vector<std::vector<FileProblem>> batchReports;

    std::optional<std::string> ChooseOpenName(const std::string&) override {
        ++openCalls;
        return Next(openNames);
    }
    std::optional<std::string> ChooseSaveName(const std::string& current) override {
        ++saveCalls;
        saveDialogStartNames.push_back(current);
        return Next(saveNames);
    }
    BatchChoice ChooseBatch() override { return batch; }
    void ReportBatch(const std::vector<FileProblem>& problems) override {
        batchReports.push_back(problems);
    }

  private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& script) {
        if (script.empty()) return std::nullopt;
        auto name = script.front();
        script.pop_front();
        return name;
    }
};

// Presses Cancel in the progress windows whose title is in cancelTitles (the n-th such window
// when cancelOccurrence is set) and records every title.
struct CancelScript {
    std::string cancelTitle;
    int cancelOccurrence = 1;  // which window of that title is cancelled
    int seen = 0;
    std::vector<std::string> titles;
};

class CancellingProgress final : public Progress {
  public:
    explicit CancellingProgress(CancelScript& script) : script_(script) {}
    void SetCaption(const std::string& title) override {
        script_.titles.push_back(title);
        if (title == script_.cancelTitle && ++script_.seen == script_.cancelOccurrence)
            RequestCancel();
    }
    void EnableCancel(bool) override {}
    void Show() override {}

  protected:
    void ShowEstimate(const std::string&) override {}
    void ShowPosition(int) override {}

  private:
    CancelScript& script_;
};

inline ProgressFactory CancellingProgressFactory(CancelScript& script) {
    return [&script] { return std::make_unique<CancellingProgress>(script); };
}

// Commands run their operations on a worker thread: this waits until the command has ended
// and the loudness it left to measure is shown.
inline void WaitForCommand(MainWindow& window) {
    if (!QTest::qWaitFor([&] { return !window.CommandRunning() && !window.MeasuringLoudness(); },
                         60000))
        qFatal("a command did not end");
}

// What rig-> gives: the window, waited for at the end of the statement, so a test reads the
// results of the command the statement started.
class AfterCommand {
  public:
    explicit AfterCommand(MainWindow& window) : window_(window) {}
    ~AfterCommand() { WaitForCommand(window_); }
    AfterCommand(const AfterCommand&) = delete;
    AfterCommand& operator=(const AfterCommand&) = delete;
    MainWindow* operator->() const { return &window_; }

  private:
    MainWindow& window_;
};

// The window's state for tests: read freely, changed only to set a scene that no command reaches.
class WindowProbe {
  public:
    static const AppState& State(const MainWindow& window) { return window.state_; }
    static void MarkSaved(MainWindow& window, bool saved) { window.state_.Flags.DataSaved = saved; }
    // The next paint draws the document anew, as after a command that changed it.
    static void RequestRedraw(MainWindow& window) { window.state_.RedrawWave = true; }
    // The document's data was removed behind the window's back.
    static void MarkLoaded(MainWindow& window, bool loaded) { window.state_.WaveLoaded = loaded; }
};

// A window over scripted ports, with its swap and timbre folders inside dir.
struct WindowRig {
    ScriptedDialogs dialogs;
    ScriptedFiles files;
    CancelScript progress;
    std::unique_ptr<MainWindow> window;

    explicit WindowRig(const TempDir& dir, bool realProgressWindows = false,
                       const std::string& startFile = {}, bool realMessageBoxes = false,
                       SoundOutput* sound = nullptr) {
        std::filesystem::create_directories(dir / "work");
        std::filesystem::create_directories(dir / "timbres");
        MainWindowSetup setup;
        if (!realMessageBoxes) setup.dialogs = &dialogs;
        setup.files = &files;
        if (!realProgressWindows) setup.progress = CancellingProgressFactory(progress);
        setup.workFolder = dir / "work";
        setup.timbreFolders = {dir / "timbres"};
        setup.startFile = startFile;
        setup.soundOutput = sound;
        setup.storeWindowValues = SmallStoreWindow;
        window = std::make_unique<MainWindow>(std::move(setup));
    }
    MainWindow& operator*() { return *window; }
    AfterCommand operator->() { return AfterCommand(*window); }
    void wait() { WaitForCommand(*window); }
    const AppState& state() const { return WindowProbe::State(*window); }
    WaveView shown() const { return window->View().Shown(); }  // span, zoom, selection, cursor
    void markSaved(bool saved) { WindowProbe::MarkSaved(*window, saved); }
    template <typename T>
    T* get(const char* name) {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        if (!child) qFatal("no control named %s", name);
        return child;
    }
};

// The smallest document that loads: 491,520 sample values, a quiet tone with a little noise.
// Each layout's bytes are made once per test program: many tests open the same files.
inline std::filesystem::path MakeWav(const TempDir& dir, const std::string& name, int channels = 1,
                                     std::int64_t frames = -1) {
    static std::map<std::pair<int, std::int64_t>, std::string> made;
    WavLayout layout;
    layout.channels = static_cast<std::uint16_t>(channels);
    layout.frames = frames >= 0 ? frames : Wave::MinimumValues / channels;
    std::string& bytes = made[{channels, layout.frames}];
    if (bytes.empty())
        bytes = WavBytes(layout, [](std::int64_t f, int c) {
            const int tone = ((f / 50) % 2 == 0 ? 6000 : -6000) * (c + 1) / 2;
            return tone + Noise16(f, c) / 64;
        });
    const auto path = dir / name;
    WriteFile(path, bytes);
    return path;
}

}  // namespace sv::test
