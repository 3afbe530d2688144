// The desktop program: language table first, then the main window until it is closed.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "app/CloseOnSignal.h"
#include "app/MainWindow.h"
#include "audio/FileMemory.h"
#include "base/FileDescriptor.h"
#include "base/WorkFolder.h"
#include "help/Artwork.h"
#include "help/SplashWindow.h"
#include "text/Language.h"

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    sv::ReopenClosedStandardDescriptors();
    sv::LoadLanguage();
    if (!HasDisplay()) {
        std::fputs(
            "sonivar: the desktop program needs a display (DISPLAY or WAYLAND_DISPLAY); "
            "use sonivar-cli to process files without one\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonivar"));
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(sv::PaintIcon(256))));
    sv::InstallTerminationSignals();
    sv::ShowSplashWindow();

    // Swap files that a killed run left behind; those of running programs are locked and stay.
    sv::FileMemory::RemoveLeftoverSwapFiles(sv::ChooseWorkFolder());
    sv::MainWindowSetup setup;
    setup.remembered = sv::RememberedSettings(sv::RememberedSettings::DefaultFile());
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) setup.startFile = arguments.at(1).toStdString();
    sv::MainWindow window(std::move(setup));
    sv::CloseOnTerminationSignals(window);
    window.show();
    return QApplication::exec();
}
