#pragma once
// Keeps child widgets at their design distances from the chosen edges of their parent.
#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace sv {

enum TAnchor { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

class TAnchors final : public QObject {
public:
    // designSize: the parent's size the design rectangles were drawn for.
    TAnchors(QWidget* parent, QSize designSize);
    // Places w at design and keeps it anchored from now on.
    void Add(QWidget* w, QRect design, int anchors);
    void Apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TItem {
        QWidget* widget;
        QRect design;
        int anchors;
    };
    QWidget* parent_;
    QSize designSize_;
    std::vector<TItem> items_;
};

}  // namespace sv
