#include "help/HelpWindow.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <algorithm>
#include <vector>

#include "help/HelpTopics.h"
#include "text/Language.h"

namespace sv {

namespace {

constexpr int kTopicRole = Qt::UserRole;
constexpr int kTreeWidth = 232;
constexpr int kMargin = 2;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent), tree_(new QTreeWidget(this)), text_(new QPlainTextEdit(this)) {
    setObjectName("Help");
    setWindowTitle(Q(Texts().HelpCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QFont font(QStringLiteral("Arial"), 10);

    tree_->setObjectName("TreeView");
    tree_->setFont(font);
    tree_->setHeaderHidden(true);
    tree_->setIndentation(19);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setColumnCount(1);

    std::vector<QTreeWidgetItem*> parents;  // the last node seen at each depth
    for (const HelpTopic& topic : HelpTopics()) {
        const auto depth = static_cast<std::size_t>(topic.depth);
        QTreeWidgetItem* item =
            depth == 0 ? new QTreeWidgetItem(tree_) : new QTreeWidgetItem(parents.at(depth - 1));
        item->setText(0, Q(HelpTopicTitle(topic, Texts())));
        item->setData(0, kTopicRole, topic.number);
        parents.resize(depth + 1);
        parents[depth] = item;
    }
    tree_->collapseAll();

    text_->setObjectName("Memo");
    text_->setFont(font);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A translated text longer than the pane must still be readable to its end.
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    // The text follows the selection however it moves: mouse, arrow keys, typing a title.
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { ShowSelectedTopic(); });
    connect(tree_, &QTreeWidget::itemClicked, this, [this] { ShowSelectedTopic(); });

    resize(611, 382);
    if (parent) move(parent->geometry().center() - rect().center());
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int height = std::max(0, this->height() - 2 * kMargin - 2);
    tree_->setGeometry(4, kMargin, kTreeWidth, height);
    const int textLeft = 4 + kTreeWidth + 4;
    text_->setGeometry(textLeft, kMargin, std::max(0, width() - textLeft - 2), height);
}

void HelpWindow::ShowSelectedTopic() {
    const QTreeWidgetItem* item = tree_->currentItem();
    // The tree makes its first row current, unselected, when it takes the focus: not a choice.
    if (!item || !item->isSelected()) return;
    const int number = item->data(0, kTopicRole).toInt();
    text_->setPlainText(Q(HelpTopicText(number, Texts())));
}

void ShowHelpWindow(QWidget* parent) {
    HelpWindow window(parent);
    window.exec();
}

}  // namespace sv
