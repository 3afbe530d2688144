#include "app/CloseOnSignal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <csignal>

namespace sv {

namespace {

int signalPipe[2] = {-1, -1};
bool signalReceived = false;
QPointer<QWidget> watchedWindow;

// Only an async-signal-safe write here; the event loop does the rest.
void OnSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void OnSignalInEventLoop() {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
    signalReceived = true;
    if (watchedWindow) {
        watchedWindow->close();
        return;
    }
    // The window is still being created: a start-up message may be up already or may appear
    // only later, so keep closing messages until the window is watched and closes itself.
    auto* closer = new QTimer(qApp);
    QObject::connect(closer, &QTimer::timeout, qApp, [closer] {
        if (watchedWindow) return closer->deleteLater();
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    closer->start(20);
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
}

}  // namespace

void InstallTerminationSignals() {
    if (signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { OnSignalInEventLoop(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call returns EINTR rather than keeping the stop waiting.
    action.sa_flags = 0;
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) ::sigaction(signal, &action, nullptr);
}

void CloseOnTerminationSignals(QWidget& window) {
    watchedWindow = &window;
    if (signalReceived) QTimer::singleShot(0, &window, [&window] { window.close(); });
}

}  // namespace sv
