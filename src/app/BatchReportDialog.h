#pragma once
// The files a batch refused or could not save, one row each with the reason, in a window that
// can be enlarged to read long messages.
#include <QDialog>
#include <vector>

#include "app/AppPorts.h"

class QTableWidget;

namespace sv {

class BatchReportDialog final : public QDialog {
  public:
    BatchReportDialog(QWidget* parent, const std::vector<FileProblem>& problems);
    const QTableWidget& Table() const { return *table_; }

  private:
    QTableWidget* table_;
};

}  // namespace sv
