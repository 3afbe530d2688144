#include "app/BatchReportDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/CompactFont.h"
#include "app/QtText.h"
#include "text/Language.h"

namespace sv {

BatchReportDialog::BatchReportDialog(QWidget* parent, const std::vector<FileProblem>& problems)
    : QDialog(parent), table_(new QTableWidget(static_cast<int>(problems.size()), 2, this)) {
    const auto& t = Texts();
    setObjectName("batchReport");
    setWindowTitle(Q(t.BatchCaption));
    setFont(CompactFont(font()));
    setSizeGripEnabled(true);

    auto* heading = new QLabel(Q(t.BatchReportMessage), this);
    table_->setObjectName("problems");
    table_->setHorizontalHeaderLabels({Q(t.ReportFileCaption), Q(t.ReportMessageCaption)});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(true);
    table_->verticalHeader()->hide();
    for (int row = 0; row < table_->rowCount(); ++row) {
        const FileProblem& problem = problems[static_cast<std::size_t>(row)];
        table_->setItem(row, 0, new QTableWidgetItem(Q(problem.File)));
        auto* message = new QTableWidgetItem(Q(problem.Message));
        message->setToolTip(Q(problem.Message));
        table_->setItem(row, 1, message);
    }
    table_->resizeColumnToContents(0);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Long messages wrap; rows follow the width the window gives them.
    connect(table_->horizontalHeader(), &QHeaderView::sectionResized, table_,
            &QTableWidget::resizeRowsToContents);

    auto* buttons = new QDialogButtonBox(this);
    auto* close = buttons->addButton(Q(t.CloseCaption), QDialogButtonBox::AcceptRole);
    close->setObjectName("closeButton");
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(table_, 1);
    layout->addWidget(buttons);
    resize(560, 300);
}

}  // namespace sv
