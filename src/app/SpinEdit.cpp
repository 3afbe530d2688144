#include "app/SpinEdit.h"

#include <algorithm>

namespace sv {

QValidator::State SpinEdit::validate(QString& input, int& pos) const {
    const QString text = input.trimmed();
    if (text.isEmpty() || text == "-") return QValidator::Intermediate;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok) return QSpinBox::validate(input, pos);
    return value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                    : QValidator::Intermediate;
}

void SpinEdit::fixup(QString& input) const {
    bool ok = false;
    const qlonglong value = input.trimmed().toLongLong(&ok);
    if (ok) input = QString::number(std::clamp<qlonglong>(value, minimum(), maximum()));
}

}  // namespace sv
