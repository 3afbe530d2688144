#pragma once
// The Qt side of the dialog ports: message boxes, the hourglass cursor, file dialogs and the
// batch window.
#include <QStringList>
#include <filesystem>

#include "app/AppPorts.h"
#include "app/RememberedSettings.h"
#include "base/Progress.h"

class QWidget;

namespace sv {

// The Open dialog's name filters: every sound file the program reads first, then each format.
QStringList OpenFilters();

class QtUserDialogs final : public UserDialogs {
  public:
    explicit QtUserDialogs(QWidget* parent) : parent_(parent) {}
    ~QtUserDialogs() override;
    void Message(const std::string& text) override;
    bool Question(const std::string& text) override;
    Answer QuestionOrCancel(const std::string& text) override;
    void SetBusy(bool busy) override;

  private:
    QWidget* parent_;
    int busyDepth_ = 0;
};

class QtFileChooser final : public FileChooser {
  public:
    // Folders chosen are kept in remembered and start the next run's dialogs.
    QtFileChooser(QWidget* parent, RememberedSettings remembered = {});
    std::optional<std::string> ChooseOpenName(const std::string& current) override;
    std::optional<std::string> ChooseSaveName(const std::string& current) override;
    BatchChoice ChooseBatch() override;
    void ReportBatch(const std::vector<FileProblem>& problems) override;

  private:
    QWidget* parent_;
    RememberedSettings remembered_;
    std::filesystem::path openFolder_;  // starts in the documents folder
};

}  // namespace sv
