#pragma once
// The batch window: source and target folders, the naming rule, Make and Cancel.
#include <QDialog>
#include <filesystem>

#include "app/AppPorts.h"

class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace sv {

class TFrmBatch final : public QDialog {
public:
    explicit TFrmBatch(QWidget* parent = nullptr);
    ~TFrmBatch() override;

    bool StartBatch() const { return startBatch_; }
    bool Overwrite() const { return overwrite_; }
    std::filesystem::path SourceFolder() const;
    std::filesystem::path DestinationFolder() const;
    // The *.wav files of the source folder, sorted without regard to case.
    std::vector<std::string> SourceNames() const;
    TBatchChoice Choice() const;

    // Selects the folder in a tree, as a click on it would.
    void SelectSource(const std::filesystem::path& folder);
    void SelectDestination(const std::filesystem::path& folder);

    void BtBatchClick();
    void BtStornoClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    struct TSide {
        QLabel* caption = nullptr;
        QLabel* path = nullptr;
        QTreeView* tree = nullptr;
        QFileSystemModel* folders = nullptr;
        QListWidget* list = nullptr;
        QFileSystemModel* files = nullptr;
        QComboBox* filter = nullptr;
        QString folder;
    };
    void BuildSide(TSide& side, int left, const QString& prefix, const std::string& caption);
    void DirChange(TSide& side);
    void SelectFolder(TSide& side, const std::filesystem::path& folder);
    static void FilterChange(TSide& side);

    TSide source_;
    TSide destination_;
    QRadioButton* raRename_;
    QRadioButton* raOverwrite_;
    QPushButton* btBatch_;
    QPushButton* btStorno_;
    bool startBatch_ = false;
    bool overwrite_ = false;
};

}  // namespace sv
