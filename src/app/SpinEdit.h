#pragma once
// A spin edit that accepts any whole number while typing and replaces one beyond a limit by
// that limit when the edit is finished (300 in 16..250 becomes 250, 3 becomes 16).
#include <QSpinBox>

namespace sv {

class SpinEdit final : public QSpinBox {
  public:
    using QSpinBox::QSpinBox;

  protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

}  // namespace sv
