#include "app/Anchors.h"

#include <QEvent>
#include <QWidget>

namespace sv {

TAnchors::TAnchors(QWidget* parent, QSize designSize)
    : QObject(parent), parent_(parent), designSize_(designSize) {
    parent->installEventFilter(this);
}

void TAnchors::Add(QWidget* w, QRect design, int anchors) {
    items_.push_back({w, design, anchors});
    Apply();
}

void TAnchors::Apply() {
    const int dx = parent_->width() - designSize_.width();
    const int dy = parent_->height() - designSize_.height();
    for (const auto& item : items_) {
        QRect r = item.design;
        if ((item.anchors & akRight) && (item.anchors & akLeft)) {
            r.setWidth(r.width() + dx);
        } else if (item.anchors & akRight) {
            r.translate(dx, 0);
        }
        if ((item.anchors & akBottom) && (item.anchors & akTop)) {
            r.setHeight(r.height() + dy);
        } else if (item.anchors & akBottom) {
            r.translate(0, dy);
        }
        item.widget->setGeometry(r);
    }
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent_ && event->type() == QEvent::Resize) Apply();
    return QObject::eventFilter(watched, event);
}

}  // namespace sv
