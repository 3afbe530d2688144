#pragma once
// The sound timbre group: the built-in timbres, the detected one, and the stored timbres' combo
// with its save and delete buttons. What the user picks reaches the window by signal.
#include <QObject>
#include <string>
#include <vector>

#include "timbre/Timbres.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QRadioButton;
class QToolButton;
class QWidget;

namespace sv {

class Anchors;

class TimbrePanel final : public QObject {
    Q_OBJECT

  public:
    TimbrePanel(QWidget* client, Anchors& anchors);

    // Refills the stored timbres' list; nothing is picked and the typed text stays.
    void ShowStoredNames(const std::vector<std::string>& names);
    std::string StoredName() const;
    // True when the text shown is the list entry picked, not something typed.
    bool StoredNamePicked() const;
    void ClearStoredName();
    void SelectClear();     // checks and focuses the clear timbre
    void SelectDetected();  // checks the detected timbre

  signals:
    void builtInTimbreChosen(BuiltInTimbre timbre);
    void detectedTimbreChosen();
    void storedTimbreChosen();
    void saveTimbreRequested();
    void deleteTimbreRequested();

  private:
    void BuildRadios(Anchors& anchors);
    void BuildStoredControls(Anchors& anchors);
    void ConnectControls();

    QGroupBox* group_ = nullptr;
    QButtonGroup* buttons_ = nullptr;
    QRadioButton *clearRadio_ = nullptr, *splitRadio_ = nullptr, *premasterRadio_ = nullptr,
                 *drumRadio_ = nullptr, *popRadio_ = nullptr, *detectedRadio_ = nullptr;
    QComboBox* storedCombo_ = nullptr;
    QToolButton *saveButton_ = nullptr, *deleteButton_ = nullptr;
};

}  // namespace sv
