#pragma once
// The help window: the topic tree on the left, the selected topic's text on the right.
#include <QDialog>

class QPlainTextEdit;
class QTreeWidget;

namespace sv {

class HelpWindow final : public QDialog {
  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return tree_; }
    QPlainTextEdit* Text() const { return text_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowSelectedTopic();

    QTreeWidget* tree_;
    QPlainTextEdit* text_;
};

// Opens the help window modally over parent and frees it when it is closed.
void ShowHelpWindow(QWidget* parent);

}  // namespace sv
