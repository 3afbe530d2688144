#include "app/BatchDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include "app/CompactFont.h"
#include "app/QtText.h"
#include "base/CaseInsensitiveSort.h"
#include "text/Language.h"

namespace sv {

namespace {

// The plain files of folder matching mask, as the list shows them and the batch takes them.
QStringList MatchingFiles(const QString& folder, const QString& mask) {
    // The filter holds one or more masks separated by blanks ("*.wav *.flac").
    std::vector<std::string> names;
    for (const QString& name :
         QDir(folder).entryList(mask.split(QLatin1Char(' ')), QDir::Files | QDir::NoDotAndDotDot))
        names.push_back(name.toStdString());
    SortWithoutCase(names);
    QStringList sorted;
    for (const std::string& name : names) sorted << Q(name);
    return sorted;
}

}  // namespace

BatchDialog::BatchDialog(QWidget* parent, const std::filesystem::path& source,
                         const std::filesystem::path& destination)
    : QDialog(parent) {
    setObjectName("batchDialog");
    setWindowTitle(Q(Texts().BatchCaption));
    setFont(CompactFont(font()));
    setSizeGripEnabled(true);

    // Two equal columns that share the window's growth; the trees take most of the height.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    BuildSide(source_, *grid, 0, "Source", Texts().SourceFolderCaption, source);
    BuildSide(destination_, *grid, 1, "Destination", Texts().TargetFolderCaption, destination);
    grid->setRowStretch(2, 3);
    grid->setRowStretch(3, 2);
    source_.path->setObjectName("Label3");
    source_.caption->setObjectName("Label1");
    destination_.path->setObjectName("Label4");
    destination_.caption->setObjectName("Label2");
    // The target tree does not follow the disk by itself.
    destination_.folders->setOption(QFileSystemModel::DontWatchForChanges, true);

    auto* group = new QGroupBox(Q(Texts().ExistingTargetCaption), this);
    group->setObjectName("RadioGroup1");
    group->setToolTip(Q(Texts().ExistingTargetHint));
    auto* choices = new QHBoxLayout(group);
    renameRadio_ = new QRadioButton(Q(Texts().RenameCaption), group);
    renameRadio_->setObjectName("renameRadio");
    renameRadio_->setToolTip(Q(Texts().RenameHint));
    renameRadio_->setChecked(true);
    overwriteRadio_ = new QRadioButton(Q(Texts().OverwriteCaption), group);
    overwriteRadio_->setObjectName("overwriteRadio");
    overwriteRadio_->setToolTip(Q(Texts().OverwriteHint));
    choices->addWidget(renameRadio_);
    choices->addWidget(overwriteRadio_);

    makeButton_ = new QPushButton(Q(Texts().StartBatchCaption), this);
    makeButton_->setObjectName("batchButton");
    makeButton_->setToolTip(Q(Texts().StartBatchHint));
    makeButton_->setAutoDefault(false);
    connect(makeButton_, &QPushButton::clicked, this, [this] { Start(); });
    cancelButton_ = new QPushButton(Q(Texts().CancelCaption), this);
    cancelButton_->setObjectName("cancelButton");
    connect(cancelButton_, &QPushButton::clicked, this, [this] { RequestCancel(); });
    cancelButton_->setDefault(true);
    cancelButton_->setFocus();

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(group, 1);
    bottom->addWidget(makeButton_, 0, Qt::AlignBottom);
    bottom->addWidget(cancelButton_, 0, Qt::AlignBottom);
    grid->addLayout(bottom, 5, 0, 1, 2);

    resize(367, 350);
    if (parent) {
        const QRect area = parent->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

BatchDialog::~BatchDialog() = default;

void BatchDialog::BuildSide(FolderSide& side, QGridLayout& grid, int column, const QString& prefix,
                            const std::string& caption, const std::filesystem::path& start) {
    std::error_code ec;
    side.folder = !start.empty() && std::filesystem::is_directory(start, ec) ? Q(start.string())
                                                                             : QDir::homePath();
    side.caption = new QLabel(Q(caption + ":"), this);
    side.path = new QLabel(side.folder, this);
    // A long path must not widen the window.
    side.path->setMinimumWidth(1);

    side.folders = new QFileSystemModel(this);
    side.folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    side.folders->setRootPath(QDir::rootPath());
    side.tree = new QTreeView(this);
    side.tree->setObjectName("Dir" + prefix);
    side.tree->setModel(side.folders);
    for (int column = 1; column < side.folders->columnCount(); ++column)
        side.tree->hideColumn(column);
    side.tree->setHeaderHidden(true);
    const QModelIndex here = side.folders->index(side.folder);
    side.tree->setCurrentIndex(here);  // shown, not chosen: the selection signal is not yet wired
    side.tree->scrollTo(here);
    connect(side.tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, &side] { ChangeFolder(side); });

    side.list = new QListWidget(this);
    side.list->setObjectName("File" + prefix);

    side.filter = new QComboBox(this);
    side.filter->setObjectName("Filter" + prefix);
    side.filter->addItem("Windows PCM (*.wav)", QStringLiteral("*.wav"));
    const QString everyFormat = QStringLiteral("*.wav *.flac *.ogg *.oga *.aiff *.aif *.mp3");
    side.filter->addItem(Q(Texts().SoundFilesFilter) + " (" + everyFormat + ")", everyFormat);
    connect(side.filter, &QComboBox::currentIndexChanged, this, [&side] { ChangeFilter(side); });

    int row = 0;
    for (QWidget* w : {static_cast<QWidget*>(side.caption), static_cast<QWidget*>(side.path),
                       static_cast<QWidget*>(side.tree), static_cast<QWidget*>(side.list),
                       static_cast<QWidget*>(side.filter)})
        grid.addWidget(w, row++, column);
    ChangeFilter(side);
}

void BatchDialog::ChangeFilter(FolderSide& side) {
    auto* list = side.list;
    list->clear();
    list->addItems(MatchingFiles(side.folder, side.filter->currentData().toString()));
}

void BatchDialog::ChangeFolder(FolderSide& side) {
    const QString path = side.folders->filePath(side.tree->currentIndex());
    // Only a real folder moves the list; otherwise the label shows the list's folder as it is.
    if (!path.isEmpty() && QDir::isAbsolutePath(path) && QFileInfo(path).isDir()) {
        side.folder = path;
        ChangeFilter(side);
    }
    side.path->setText(side.folder);
}

void BatchDialog::SelectFolder(FolderSide& side, const std::filesystem::path& folder) {
    const QModelIndex index = side.folders->index(Q(folder.string()));
    side.tree->setCurrentIndex(index);
    side.tree->scrollTo(index);
    if (!index.isValid()) ChangeFolder(side);
}

void BatchDialog::SelectSource(const std::filesystem::path& folder) {
    SelectFolder(source_, folder);
}
void BatchDialog::SelectDestination(const std::filesystem::path& folder) {
    SelectFolder(destination_, folder);
}

std::filesystem::path BatchDialog::SourceFolder() const { return source_.folder.toStdString(); }
std::filesystem::path BatchDialog::DestinationFolder() const {
    return destination_.folder.toStdString();
}

std::vector<std::string> BatchDialog::SourceNames() const {
    std::vector<std::string> names;
    const auto* list = source_.list;
    for (int row = 0; row < list->count(); ++row)
        names.push_back(list->item(row)->text().toStdString());
    return names;
}

BatchChoice BatchDialog::Choice() const {
    return {startBatch_, overwrite_, SourceFolder(), DestinationFolder(), SourceNames()};
}

void BatchDialog::Start() {
    overwrite_ = overwriteRadio_->isChecked();
    startBatch_ = true;
    accept();
}

void BatchDialog::RequestCancel() {
    overwrite_ = overwriteRadio_->isChecked();
    QDialog::reject();
}

void BatchDialog::showEvent(QShowEvent* event) {
    startBatch_ = false;
    QDialog::showEvent(event);
    // The trees open on the folders the sides show, not on the file system's root.
    for (FolderSide* side : {&source_, &destination_}) {
        const QModelIndex index = side->folders->index(side->folder);
        if (!index.isValid()) continue;
        side->tree->expand(index.parent());
        side->tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    raise();
    activateWindow();
}

void BatchDialog::closeEvent(QCloseEvent* event) {
    overwrite_ = overwriteRadio_->isChecked();
    QDialog::closeEvent(event);
}

void BatchDialog::reject() { RequestCancel(); }

}  // namespace sv
