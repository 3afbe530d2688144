#include "app/ControlFactory.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

#include "app/QtText.h"
#include "app/SpinEdit.h"

namespace sv {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(at);
    label->adjustSize();
    return label;
}

QSpinBox* MakeSpin(QWidget* parent, const char* name, int min, int max, int value, QRect r) {
    auto* spin = MakeControl<SpinEdit>(parent, name, r);
    spin->setRange(min, max);
    spin->setValue(value);
    return spin;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const std::string& caption,
                     const std::string& hint, QRect r) {
    auto* check = MakeControl<QCheckBox>(parent, name, r);
    check->setText(Q(caption));
    check->setToolTip(Q(hint));
    return check;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const std::string& caption,
                        const std::string& hint, QRect r) {
    auto* radio = MakeControl<QRadioButton>(parent, name, r);
    radio->setText(Q(caption));
    radio->setToolTip(Q(hint));
    return radio;
}

}  // namespace sv
