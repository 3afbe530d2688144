#include "app/TimbrePanel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>

#include "app/Anchors.h"
#include "app/ControlFactory.h"
#include "app/QtText.h"
#include "text/Language.h"

namespace sv {

TimbrePanel::TimbrePanel(QWidget* client, Anchors& anchors) : QObject(client) {
    const auto& t = Texts();
    group_ = new QGroupBox(Q(t.TimbreCaption), client);
    group_->setObjectName("timbreGroup");
    group_->setToolTip(Q(t.TimbreHint));
    anchors.Add(group_, {504, 332, 168, 163}, AnchorLeft | AnchorRight | AnchorBottom);
    auto* inner = new Anchors(group_, {168, 163});
    BuildRadios(*inner);
    BuildStoredControls(*inner);
    ConnectControls();
}

void TimbrePanel::BuildRadios(Anchors& anchors) {
    const auto& t = Texts();
    buttons_ = new QButtonGroup(group_);
    const struct {
        QRadioButton** radio;
        const char* name;
        const std::string* caption;
        const std::string* hint;
    } timbres[] = {
        {&clearRadio_, "clearTimbreRadio", &t.ClearTimbreCaption, &t.ClearTimbreHint},
        {&splitRadio_, "splitTimbreRadio", &t.SplitTimbreCaption, &t.SplitTimbreHint},
        {&premasterRadio_, "premasterTimbreRadio", &t.PremasterTimbreCaption,
         &t.PremasterTimbreHint},
        {&drumRadio_, "drumTimbreRadio", &t.DrumTimbreCaption, &t.DrumTimbreHint},
        {&popRadio_, "popTimbreRadio", &t.PopTimbreCaption, &t.PopTimbreHint},
        {&detectedRadio_, "detectedTimbreRadio", &t.ExampleTimbreCaption, &t.ExampleTimbreHint}};
    int row = 0;
    for (const auto& entry : timbres) {
        *entry.radio = MakeRadio(group_, entry.name, *entry.caption, *entry.hint, {});
        anchors.Add(*entry.radio, {8, 15 + 19 * row++, 152, 18},
                    AnchorLeft | AnchorTop | AnchorRight);
        buttons_->addButton(*entry.radio);
    }
    clearRadio_->setChecked(true);
}

void TimbrePanel::BuildStoredControls(Anchors& anchors) {
    const auto& t = Texts();
    storedCombo_ = new QComboBox(group_);
    storedCombo_->setObjectName("storedTimbreCombo");
    storedCombo_->setEditable(true);
    storedCombo_->setInsertPolicy(QComboBox::NoInsert);
    storedCombo_->setCompleter(nullptr);
    anchors.Add(storedCombo_, {6, 133, 106, 22}, AnchorLeft | AnchorTop | AnchorRight);
    saveButton_ = new QToolButton(group_);
    saveButton_->setObjectName("saveTimbreButton");
    saveButton_->setIcon(group_->style()->standardIcon(QStyle::SP_DialogSaveButton));
    saveButton_->setToolTip(Q(t.SaveTimbreHint));
    anchors.Add(saveButton_, {116, 133, 22, 22}, AnchorTop | AnchorRight);
    deleteButton_ = new QToolButton(group_);
    deleteButton_->setObjectName("deleteTimbreButton");
    deleteButton_->setIcon(group_->style()->standardIcon(QStyle::SP_TrashIcon));
    deleteButton_->setToolTip(Q(t.DeleteTimbreHint));
    anchors.Add(deleteButton_, {140, 133, 22, 22}, AnchorTop | AnchorRight);
}

void TimbrePanel::ConnectControls() {
    const std::pair<QRadioButton*, BuiltInTimbre> builtIn[] = {
        {clearRadio_, BuiltInTimbre::Clear},
        {splitRadio_, BuiltInTimbre::Split},
        {premasterRadio_, BuiltInTimbre::Premaster},
        {drumRadio_, BuiltInTimbre::Drum},
        {popRadio_, BuiltInTimbre::Pop}};
    for (const auto& [radio, timbre] : builtIn)
        connect(radio, &QRadioButton::toggled, this, [this, timbre = timbre](bool on) {
            if (on) emit builtInTimbreChosen(timbre);
        });
    connect(detectedRadio_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) emit detectedTimbreChosen();
    });
    connect(storedCombo_, &QComboBox::activated, this, &TimbrePanel::storedTimbreChosen);
    connect(saveButton_, &QToolButton::clicked, this, &TimbrePanel::saveTimbreRequested);
    connect(deleteButton_, &QToolButton::clicked, this, &TimbrePanel::deleteTimbreRequested);
}

void TimbrePanel::ShowStoredNames(const std::vector<std::string>& names) {
    const QString typed = storedCombo_->currentText();
    storedCombo_->clear();
    for (const auto& name : names) storedCombo_->addItem(Q(name));
    // A name just saved counts as picked, so the delete button acts on it at once.
    storedCombo_->setCurrentIndex(
        storedCombo_->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive));
    storedCombo_->setEditText(typed);
}

std::string TimbrePanel::StoredName() const { return storedCombo_->currentText().toStdString(); }

bool TimbrePanel::StoredNamePicked() const {
    const int index = storedCombo_->currentIndex();
    return index >= 0 && storedCombo_->itemText(index) == storedCombo_->currentText();
}

void TimbrePanel::ClearStoredName() { storedCombo_->setEditText(QString()); }

void TimbrePanel::SelectClear() {
    clearRadio_->setChecked(true);
    clearRadio_->setFocus();
}

void TimbrePanel::SelectDetected() { detectedRadio_->setChecked(true); }

}  // namespace sv
