#include "app/Anchors.h"

#include <QEvent>
#include <QWidget>

namespace sv {

Anchors::Anchors(QWidget* parent, QSize designSize)
    : QObject(parent), parent_(parent), designSize_(designSize) {
    parent->installEventFilter(this);
}

void Anchors::Add(QWidget* w, QRect design, int anchors) {
    items_.push_back({w, design, anchors});
    Apply();
}

void Anchors::Apply() {
    const int dx = parent_->width() - designSize_.width();
    const int dy = parent_->height() - designSize_.height();
    for (const auto& item : items_) {
        QRect r = item.design;
        if ((item.anchors & AnchorRight) && (item.anchors & AnchorLeft)) {
            r.setWidth(r.width() + dx);
        } else if (item.anchors & AnchorRight) {
            r.translate(dx, 0);
        }
        if ((item.anchors & AnchorBottom) && (item.anchors & AnchorTop)) {
            r.setHeight(r.height() + dy);
        } else if (item.anchors & AnchorBottom) {
            r.translate(0, dy);
        }
        item.widget->setGeometry(r);
    }
}

bool Anchors::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent_ && event->type() == QEvent::Resize) Apply();
    return QObject::eventFilter(watched, event);
}

}  // namespace sv
