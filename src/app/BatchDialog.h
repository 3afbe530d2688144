#pragma once
// The batch window: source and target folders, the naming rule, Make and Cancel.
#include <QDialog>
#include <filesystem>

#include "app/AppPorts.h"

class QComboBox;
class QFileSystemModel;
class QGridLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace sv {

class BatchDialog final : public QDialog {
  public:
    // The trees open on the given folders; an empty or missing one gives the home folder.
    explicit BatchDialog(QWidget* parent = nullptr, const std::filesystem::path& source = {},
                         const std::filesystem::path& destination = {});
    ~BatchDialog() override;

    bool StartBatch() const { return startBatch_; }
    bool Overwrite() const { return overwrite_; }
    std::filesystem::path SourceFolder() const;
    std::filesystem::path DestinationFolder() const;
    // The files the source list shows (its filter's formats), sorted without regard to case.
    std::vector<std::string> SourceNames() const;
    BatchChoice Choice() const;

    // Selects the folder in a tree, as a click on it would.
    void SelectSource(const std::filesystem::path& folder);
    void SelectDestination(const std::filesystem::path& folder);

    void Start();
    void RequestCancel();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    struct FolderSide {
        QLabel* caption = nullptr;
        QLabel* path = nullptr;
        QTreeView* tree = nullptr;
        QFileSystemModel* folders = nullptr;
        QListWidget* list = nullptr;
        QFileSystemModel* files = nullptr;
        QComboBox* filter = nullptr;
        QString folder;
    };
    void BuildSide(FolderSide& side, QGridLayout& grid, int column, const QString& prefix,
                   const std::string& caption, const std::filesystem::path& start);
    void ChangeFolder(FolderSide& side);
    void SelectFolder(FolderSide& side, const std::filesystem::path& folder);
    static void ChangeFilter(FolderSide& side);

    FolderSide source_;
    FolderSide destination_;
    QRadioButton* renameRadio_;
    QRadioButton* overwriteRadio_;
    QPushButton* makeButton_;
    QPushButton* cancelButton_;
    bool startBatch_ = false;
    bool overwrite_ = false;
};

}  // namespace sv
