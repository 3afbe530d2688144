#include "app/FileDropTarget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace sv {

namespace {

QString FirstLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

FileDropTarget::FileDropTarget(QWidget& window, std::function<void(const std::string&)> open)
    : QObject(&window), open_(std::move(open)) {
    setObjectName("fileDropTarget");
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter) {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (FirstLocalFile(enter->mimeData()).isEmpty()) return false;
        enter->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString file = FirstLocalFile(drop->mimeData());
        if (file.isEmpty()) return false;
        drop->acceptProposedAction();
        open_(file.toStdString());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace sv
