#include "app/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/BatchDialog.h"
#include "app/BatchReportDialog.h"
#include "app/QtText.h"
#include "text/Language.h"

namespace sv {

namespace {

const QString WavFilter = QStringLiteral("Windows PCM (*.wav)");
const QString FlacFilter = QStringLiteral("FLAC (*.flac)");
const QString AiffFilter = QStringLiteral("AIFF (*.aiff *.aif)");
const QString OggFilter = QStringLiteral("Ogg Vorbis (*.ogg *.oga)");

}  // namespace

QStringList OpenFilters() {
    return {Q(Texts().SoundFilesFilter) +
                QStringLiteral(" (*.wav *.flac *.ogg *.oga *.aiff *.aif *.mp3)"),
            WavFilter,
            FlacFilter,
            OggFilter,
            AiffFilter,
            QStringLiteral("MP3 (*.mp3)")};
}

namespace {

// The formats saved; MP3 is read only.
QStringList SaveFilters() { return {WavFilter, FlacFilter, AiffFilter, OggFilter}; }

// A name typed without an extension under a filter other than WAV gets that filter's first one.
QString WithFilterExtension(const QString& name, const QString& filter) {
    if (filter == WavFilter || !QFileInfo(name).suffix().isEmpty()) return name;
    const qsizetype star = filter.indexOf(QStringLiteral("*."));
    if (star < 0) return name;
    const qsizetype end = filter.indexOf(QRegularExpression(QStringLiteral("[ )]")), star);
    return name + filter.mid(star + 1, end - star - 1);
}

QString Title() { return QApplication::applicationName(); }

}  // namespace

QtUserDialogs::~QtUserDialogs() {
    while (busyDepth_ > 0) SetBusy(false);
}

void QtUserDialogs::Message(const std::string& text) {
    QMessageBox::information(parent_, Title(), Q(text), QMessageBox::Ok);
}

bool QtUserDialogs::Question(const std::string& text) {
    return QMessageBox::question(parent_, Title(), Q(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

Answer QtUserDialogs::QuestionOrCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Question, Title(), Q(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);  // also what the title bar's close button gives
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

void QtUserDialogs::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

QtFileChooser::QtFileChooser(QWidget* parent, RememberedSettings remembered)
    : parent_(parent), remembered_(std::move(remembered)), openFolder_(remembered_.Folder("open")) {
    if (openFolder_.empty())
        openFolder_ =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

std::optional<std::string> QtFileChooser::ChooseOpenName(const std::string& current) {
    QString start = Q(openFolder_.string());
    const std::filesystem::path name(current);
    if (name.has_parent_path()) start = Q(name.parent_path().string());
    // A folder that does not exist would be taken for a file name and shown in the name field.
    if (!QFileInfo(start).isDir()) start = QDir::homePath();
    QFileDialog dialog(parent_, QString(), start);
    dialog.setNameFilters(OpenFilters());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().front();
    if (chosen.isEmpty()) return std::nullopt;
    openFolder_ = std::filesystem::path(chosen.toStdString()).parent_path();
    remembered_.KeepFolder("open", openFolder_);
    return chosen.toStdString();
}

std::optional<std::string> QtFileChooser::ChooseSaveName(const std::string& current) {
    // No default suffix: the window applies its own extension rule to what was typed.
    QFileDialog dialog(parent_, QString(), QString());
    dialog.setNameFilters(SaveFilters());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // SaveFile asks itself
    if (!current.empty()) {
        dialog.selectFile(Q(current));
    } else {
        dialog.setDirectory(Q(openFolder_.string()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return WithFilterExtension(dialog.selectedFiles().front(), dialog.selectedNameFilter())
        .toStdString();
}

BatchChoice QtFileChooser::ChooseBatch() {
    BatchDialog batch(parent_, remembered_.Folder("batchSource"),
                      remembered_.Folder("batchDestination"));
    batch.exec();
    const BatchChoice choice = batch.Choice();
    remembered_.KeepFolder("batchSource", choice.SourceFolder);
    remembered_.KeepFolder("batchDestination", choice.DestinationFolder);
    return choice;
}

void QtFileChooser::ReportBatch(const std::vector<FileProblem>& problems) {
    BatchReportDialog report(parent_, problems);
    report.exec();
}

}  // namespace sv
