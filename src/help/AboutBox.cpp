#include "help/AboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "help/Artwork.h"

namespace sv {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent), okButton_(new QPushButton("OK", this)) {
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(QApplication::windowIcon());
    setFont(QFont(QStringLiteral("Arial"), 8));
    setFixedSize(306, 271);

    auto* panel = new QFrame(this);
    panel->setObjectName("wavePanel");
    panel->setGeometry(1, 0, 305, 243);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(white);

    auto* image = new QLabel(panel);
    image->setObjectName("Image1");
    image->setGeometry(2, 2, 300, 225);
    image->setPixmap(QPixmap::fromImage(
        PaintTitlePicture(300, 225, QStringLiteral("Remastering towards a chosen timbre"))));

    auto* version = new QLabel(QStringLiteral("v " SONIVAR_VERSION), panel);
    version->setObjectName("Label1");
    version->setFont(QFont(QStringLiteral("Arial"), 10));
    version->move(129, 225);
    version->adjustSize();

    auto* strip = new QFrame(this);
    strip->setObjectName("Bevel1");
    strip->setGeometry(1, 242, 305, 29);
    strip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    strip->lower();

    okButton_->setObjectName("OKButton");
    okButton_->setGeometry(240, 246, 64, 22);
    okButton_->setDefault(true);
    okButton_->setFocus();
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = parent ? parent->screen() : QApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void ShowAboutBox(QWidget* parent) {
    AboutBox box(parent);
    box.exec();
}

}  // namespace sv
