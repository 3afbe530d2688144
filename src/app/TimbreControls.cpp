// The sound timbre group: built-in timbres, the example, and stored timbres (*.sts).
#include <QComboBox>
#include <QRadioButton>
#include <algorithm>

#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "base/IoError.h"
#include "text/Language.h"
#include "timbre/Timbres.h"

namespace sv {

void MainWindow::SelectTimbre(QObject* sender) {
    const auto& c = *c_;
    const std::pair<QRadioButton*, BuiltInTimbre> timbres[] = {
        {c.clearTimbreRadio, BuiltInTimbre::Clear},
        {c.splitTimbreRadio, BuiltInTimbre::Split},
        {c.premasterTimbreRadio, BuiltInTimbre::Premaster},
        {c.drumTimbreRadio, BuiltInTimbre::Drum},
        {c.popTimbreRadio, BuiltInTimbre::Pop}};
    for (const auto& [radio, timbre] : timbres)
        if (radio == sender) BandsToSpectrum(BuiltInTable(timbre), state_.SpectraShared.Target);
    c.targetView->update();
}

void MainWindow::SelectDetectedTimbre() {
    auto& c = *c_;
    if (state_.SpectraShared.ExampleReady) {
        state_.SpectraShared.Target = state_.SpectraShared.Example;
        c.targetView->update();
        return;
    }
    setup_.dialogs->Message(Texts().CaNutDetect);
    c.clearTimbreRadio->setChecked(true);  // clears detectedTimbreRadio and runs the Clear handler
    c.clearTimbreRadio->setFocus();
}

void MainWindow::ListTimbres() {
    QComboBox* box = c_->storedTimbreCombo;
    const QString typed = box->currentText();
    std::vector<std::string> names = sv::ListTimbres(timbreFolders_.ListFolders);
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) <
               0;
    });
    box->clear();
    for (const auto& name : names) box->addItem(QString::fromStdString(name));
    box->setCurrentIndex(-1);  // nothing picked; the typed text stays
    box->setEditText(typed);
}

void MainWindow::SaveStoredTimbre() {
    RunCommand([this] {
        const auto& t = Texts();
        QComboBox* box = c_->storedTimbreCombo;
        const std::string name = box->currentText().toStdString();
        if (name.empty()) {
            setup_.dialogs->Message(t.CaMusZad);
            return;
        }
        // A separator would put the file into another folder than the timbre folder.
        const bool permissible =
            name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
        bool written = false;
        if (permissible) {
            const auto path = timbreFolders_.SavePath(name);
            std::error_code ec;
            if (std::filesystem::exists(path, ec) &&
                !setup_.dialogs->Question(t.CaChcePrep + " \"" + name + "\""))
                return;
            try {
                std::filesystem::create_directories(timbreFolders_.SaveFolder);
                SaveTimbre(state_.SpectraShared.Target, path);
                written = true;
            } catch (const IoError&) {
            } catch (const std::filesystem::filesystem_error&) {
            }
        }
        if (!written) {
            setup_.dialogs->Message(t.CaNeprZn);
            box->setEditText(QString());
        }
        ListTimbres();
    });
}

void MainWindow::SelectStoredTimbre() {
    RunCommand([this] {
        const std::string name = c_->storedTimbreCombo->currentText().toStdString();
        const auto path = timbreFolders_.Find(name).value_or(timbreFolders_.SavePath(name));
        BinSpectrum loaded{};
        LoadTimbre(loaded, path);  // a failure ends here with the spectra as they were
        state_.SpectraShared.Example = loaded;
        state_.SpectraShared.ExampleReady = true;
        state_.SpectraShared.Target = state_.SpectraShared.Example;
        c_->detectedTimbreRadio->setChecked(true);
        c_->targetView->update();
    });
}

void MainWindow::DeleteStoredTimbre() {
    RunCommand([this] {
        QComboBox* box = c_->storedTimbreCombo;
        const int index = box->currentIndex();
        // Typed text that is not the picked entry picks nothing.
        if (index < 0 || box->itemText(index) != box->currentText()) return;
        const std::string name = box->currentText().toStdString();
        if (!setup_.dialogs->Question(Texts().CaChceSmaz + " \"" + name + "\"")) return;
        if (const auto path = timbreFolders_.Find(name)) {
            std::error_code ec;
            std::filesystem::remove(*path, ec);  // a file that will not go is left as it is
        }
        ListTimbres();
        box->setEditText(QString());
    });
}

}  // namespace sv
