#pragma once
// The spectrum window's place in the main window: its menu item, and the measurements of the
// open document's long-term spectrum, which run as commands on the worker thread.
#include <QPointer>
#include <functional>

#include "app/AppState.h"
#include "app/CommandHost.h"
#include "app/SpectrumWindow.h"

class QMenu;
class QWidget;

namespace sv {

class Engine;

class SpectrumController {
  public:
    struct Parts {
        QWidget& window;
        QMenu& menu;
        Engine& engine;
        std::function<RemasterSettings()> settings;
    };
    SpectrumController(CommandHost& host, const DocumentState& state, SharedSpectra& spectra,
                       Parts parts);
    ~SpectrumController();
    SpectrumController(const SpectrumController&) = delete;
    SpectrumController& operator=(const SpectrumController&) = delete;

    // Shows the window (made at the first call), measuring the document when needed.
    void Open();
    SpectrumWindow* Window() const { return window_; }

  private:
    SpectrumWindow::DocumentKey Key() const;
    // Starts measuring the open document; false while another command runs.
    bool Measure();

    CommandHost& host_;
    const DocumentState& state_;
    SharedSpectra& spectra_;
    Parts parts_;
    QPointer<SpectrumWindow> window_;  // a child of the main window
};

}  // namespace sv
