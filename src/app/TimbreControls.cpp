// The sound timbre group: built-in timbres, the example, and stored timbres (*.sts).
#include <QString>
#include <algorithm>

#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/TimbrePanel.h"
#include "base/IoError.h"
#include "text/Language.h"
#include "timbre/Timbres.h"

namespace sv {

void MainWindow::ConnectTimbrePanel() {
    TimbrePanel* panel = c_->timbre;
    connect(panel, &TimbrePanel::builtInTimbreChosen, this,
            [this](BuiltInTimbre timbre) { SelectTimbre(timbre); });
    connect(panel, &TimbrePanel::detectedTimbreChosen, this, [this] { SelectDetectedTimbre(); });
    connect(panel, &TimbrePanel::storedTimbreChosen, this, [this] { SelectStoredTimbre(); });
    connect(panel, &TimbrePanel::saveTimbreRequested, this, [this] { SaveStoredTimbre(); });
    connect(panel, &TimbrePanel::deleteTimbreRequested, this, [this] { DeleteStoredTimbre(); });
}

void MainWindow::SelectTimbre(BuiltInTimbre timbre) {
    BandsToSpectrum(BuiltInTable(timbre), state_.SpectraShared.Target);
    c_->targetView->update();
}

void MainWindow::SelectDetectedTimbre() {
    if (state_.SpectraShared.ExampleReady) {
        state_.SpectraShared.Target = state_.SpectraShared.Example;
        c_->targetView->update();
        return;
    }
    setup_.dialogs->Message(Texts().DetectFirstMessage);
    c_->timbre->SelectClear();  // clears the detected timbre and selects the clear one
}

void MainWindow::ListTimbres() {
    // Already in the one case-insensitive order of the timbre folder listing.
    const std::vector<std::string> names = sv::ListTimbres(timbreFolders_.ListFolders);
    c_->timbre->ShowStoredNames(names);
}

void MainWindow::SaveStoredTimbre() {
    RunCommand([this] {
        const auto& t = Texts();
        const std::string name = c_->timbre->StoredName();
        if (name.empty()) {
            setup_.dialogs->Message(t.TimbreNameMissingMessage);
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
                !setup_.dialogs->Question(t.OverwriteTimbreQuestion + " \"" + name + "\""))
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
            setup_.dialogs->Message(t.InvalidNameMessage);
            c_->timbre->ClearStoredName();
        }
        ListTimbres();
    });
}

void MainWindow::SelectStoredTimbre() {
    RunCommand([this] {
        const std::string name = c_->timbre->StoredName();
        const auto path = timbreFolders_.Find(name).value_or(timbreFolders_.SavePath(name));
        BinSpectrum loaded{};
        LoadTimbre(loaded, path);  // a failure ends here with the spectra as they were
        state_.SpectraShared.Example = loaded;
        state_.SpectraShared.ExampleReady = true;
        state_.SpectraShared.Target = state_.SpectraShared.Example;
        c_->timbre->SelectDetected();
        c_->targetView->update();
    });
}

void MainWindow::DeleteStoredTimbre() {
    RunCommand([this] {
        // Typed text that is not the picked entry picks nothing.
        if (!c_->timbre->StoredNamePicked()) return;
        const std::string name = c_->timbre->StoredName();
        if (!setup_.dialogs->Question(Texts().EraseTimbreQuestion + " \"" + name + "\"")) return;
        if (const auto path = timbreFolders_.Find(name)) {
            std::error_code ec;
            std::filesystem::remove(*path, ec);  // a file that will not go is left as it is
        }
        ListTimbres();
        c_->timbre->ClearStoredName();
    });
}

}  // namespace sv
