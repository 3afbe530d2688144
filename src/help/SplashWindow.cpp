#include "help/SplashWindow.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <system_error>

#include "help/Artwork.h"

namespace sv {

SplashWindow::SplashWindow(const std::filesystem::path& sound, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Dialog),
      closeTimer_(new QTimer(this)) {
    setObjectName("Splash");
    // Never shown (no frame), but without it the window system would name it like the main window.
    setWindowTitle(QStringLiteral("Sonivar is starting"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(400, 300);

    auto* image = new QLabel(this);
    image->setObjectName("Image1");
    image->setGeometry(0, 0, 400, 300);
    image->setPixmap(QPixmap::fromImage(
        PaintTitlePicture(400, 300, QStringLiteral("Noise removal · levelling · peak fitting"))));

    auto* bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setGeometry(0, 0, 400, 300);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto* label = new QLabel(QStringLiteral("Disk Version"), this);
    label->setObjectName("Label4");
    label->setAutoFillBackground(true);
    QPalette white = label->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(white);
    label->move(4, 284);
    label->adjustSize();

    closeTimer_->setObjectName("Timer1");
    closeTimer_->setSingleShot(true);
    closeTimer_->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 100 ms early
    connect(closeTimer_, &QTimer::timeout, this, &QDialog::accept);
    closeTimer_->start(ShowMilliseconds);

    std::error_code error;
    if (!sound.empty() && std::filesystem::is_regular_file(sound, error)) {
        sound_ = new QSoundEffect(this);
        sound_->setSource(QUrl::fromLocalFile(QString::fromStdString(sound.string())));
        sound_->play();  // plays once loaded; an unplayable file just stays silent
    }

    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

SplashWindow::~SplashWindow() = default;

std::filesystem::path StartSoundFile() {
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    if (error) return {};
    for (const std::filesystem::path& candidate :
         {folder / "start.wav", folder.parent_path() / "share" / "sonivar" / "start.wav"}) {
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return {};
}

void ShowSplashWindow() {
    SplashWindow splash(StartSoundFile());
    splash.exec();
}

}  // namespace sv
