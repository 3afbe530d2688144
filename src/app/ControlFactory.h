#pragma once
// Small makers for the main window's controls: each gets its object name, place and texts.
#include <QRect>
#include <QString>
#include <QWidget>
#include <string>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace sv {

template <typename W>
W* MakeControl(QWidget* parent, const char* name, QRect geometry) {
    auto* w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}

// A label as wide as its text.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at);
QSpinBox* MakeSpin(QWidget* parent, const char* name, int min, int max, int value, QRect r);
QCheckBox* MakeCheck(QWidget* parent, const char* name, const std::string& caption,
                     const std::string& hint, QRect r);
QRadioButton* MakeRadio(QWidget* parent, const char* name, const std::string& caption,
                        const std::string& hint, QRect r);

}  // namespace sv
