#pragma once
// The Qt side of the dialog ports: message boxes, the hourglass cursor, file dialogs and the
// batch window.
#include <filesystem>

#include "app/AppPorts.h"
#include "base/Progress.h"

class QWidget;

namespace sv {

class TQtUserDialogs final : public TUserDialogs {
public:
    explicit TQtUserDialogs(QWidget* parent) : parent_(parent) {}
    ~TQtUserDialogs() override;
    void Message(const std::string& text) override;
    bool Question(const std::string& text) override;
    void SetBusy(bool busy) override;

private:
    QWidget* parent_;
    int busyDepth_ = 0;
};

class TQtFileChooser final : public TFileChooser {
public:
    explicit TQtFileChooser(QWidget* parent);
    std::optional<std::string> ChooseOpenName(const std::string& current) override;
    std::optional<std::string> ChooseSaveName(const std::string& current) override;
    TBatchChoice ChooseBatch() override;

private:
    QWidget* parent_;
    std::filesystem::path openFolder_;  // starts in the documents folder
};

}  // namespace sv
