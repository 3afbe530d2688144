#include "app/RememberedSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <algorithm>

#include "app/QtText.h"

namespace sv {

namespace {

constexpr const char* ControlsGroup = "controls";

QString Path(const std::filesystem::path& file) { return Q(file.string()); }

}  // namespace

std::filesystem::path RememberedSettings::DefaultFile() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::filesystem::path(config.toStdString()) / "sonivar" / "sonivar.conf";
}

void RememberedSettings::StoreControls(const QWidget& root,
                                       const std::vector<std::string>& skip) const {
    if (!Keeps()) return;
    QSettings s(Path(file_), QSettings::IniFormat);
    s.remove(ControlsGroup);
    s.beginGroup(ControlsGroup);
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || std::find(skip.begin(), skip.end(), name.toStdString()) != skip.end())
            continue;
        if (const auto* check = qobject_cast<const QCheckBox*>(w))
            s.setValue(name, check->isChecked());
        else if (const auto* radio = qobject_cast<const QRadioButton*>(w)) {
            if (radio->isChecked()) s.setValue(name, true);
        } else if (const auto* spin = qobject_cast<const QSpinBox*>(w))
            s.setValue(name, spin->value());
        else if (const auto* slider = qobject_cast<const QSlider*>(w))
            s.setValue(name, slider->value());
        else if (const auto* combo = qobject_cast<const QComboBox*>(w);
                 combo && !combo->isEditable())
            s.setValue(name, combo->currentText());
    }
}

void RememberedSettings::RestoreControls(QWidget& root) const {
    if (!Keeps()) return;
    QSettings s(Path(file_), QSettings::IniFormat);
    s.beginGroup(ControlsGroup);
    // Through the controls' own setters, so their handlers follow as after a user's change;
    // values out of range are held to the control's limits by the control.
    for (QWidget* w : root.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty()) continue;
        const QVariant value = s.value(w->objectName());
        if (!value.isValid()) continue;
        if (auto* check = qobject_cast<QCheckBox*>(w))
            check->setChecked(value.toBool());
        else if (auto* radio = qobject_cast<QRadioButton*>(w))
            radio->setChecked(value.toBool());
        else if (auto* spin = qobject_cast<QSpinBox*>(w))
            spin->setValue(value.toInt());
        else if (auto* slider = qobject_cast<QSlider*>(w))
            slider->setValue(value.toInt());
        else if (auto* combo = qobject_cast<QComboBox*>(w); combo && !combo->isEditable()) {
            // The same text again changes nothing, as with a user who picks the shown entry.
            const int index = combo->findText(value.toString());
            if (index >= 0 && index != combo->currentIndex()) combo->setCurrentIndex(index);
        }
    }
}

void RememberedSettings::StoreGeometry(const QWidget& window) const {
    if (!Keeps()) return;
    QSettings(Path(file_), QSettings::IniFormat).setValue("window/geometry", window.saveGeometry());
}

void RememberedSettings::RestoreGeometry(QWidget& window) const {
    if (!Keeps()) return;
    const QByteArray geometry =
        QSettings(Path(file_), QSettings::IniFormat).value("window/geometry").toByteArray();
    if (!geometry.isEmpty()) window.restoreGeometry(geometry);
}

std::filesystem::path RememberedSettings::Folder(const std::string& name) const {
    if (!Keeps()) return {};
    QSettings s(Path(file_), QSettings::IniFormat);
    return s.value("folders/" + Q(name)).toString().toStdString();
}

void RememberedSettings::KeepFolder(const std::string& name,
                                    const std::filesystem::path& folder) const {
    if (!Keeps() || folder.empty()) return;
    QSettings(Path(file_), QSettings::IniFormat).setValue("folders/" + Q(name), Path(folder));
}

int RememberedSettings::Number(const std::string& name, int fallback) const {
    if (!Keeps()) return fallback;
    return QSettings(Path(file_), QSettings::IniFormat).value(Q(name), fallback).toInt();
}

void RememberedSettings::KeepNumber(const std::string& name, int value) const {
    if (Keeps()) QSettings(Path(file_), QSettings::IniFormat).setValue(Q(name), value);
}

std::vector<std::string> RememberedSettings::RecentFiles() const {
    std::vector<std::string> names;
    if (!Keeps()) return names;
    QSettings s(Path(file_), QSettings::IniFormat);
    for (const QString& name : s.value("recent/files").toStringList())
        names.push_back(name.toStdString());
    return names;
}

void RememberedSettings::AddRecentFile(const std::string& fileName) const {
    if (!Keeps()) return;
    const QString added = Path(std::filesystem::absolute(fileName));
    QSettings s(Path(file_), QSettings::IniFormat);
    QStringList names = s.value("recent/files").toStringList();
    names.removeAll(added);
    names.prepend(added);
    while (names.size() > RecentFileCount) names.removeLast();
    s.setValue("recent/files", names);
}

}  // namespace sv
