#pragma once
// SIGTERM, SIGINT, SIGHUP and SIGQUIT close the main window the ordinary way (unsaved-data
// question, document released, swap file deleted) instead of killing the program under its
// document.
class QWidget;

namespace sv {

// Installs the handlers; call once QApplication exists. A signal that arrives before the main
// window is watched closes every start-up message box and then the window, once it is watched.
void InstallTerminationSignals();

// From now on a signal closes window (at once if one has arrived already).
void CloseOnTerminationSignals(QWidget& window);

}  // namespace sv
