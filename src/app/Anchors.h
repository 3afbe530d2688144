#pragma once
// Keeps child widgets at their design distances from the chosen edges of their parent.
#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace sv {

enum AnchorEdge { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8 };

class Anchors final : public QObject {
  public:
    // designSize: the parent's size the design rectangles were drawn for.
    Anchors(QWidget* parent, QSize designSize);
    // Places w at design and keeps it anchored from now on.
    void Add(QWidget* w, QRect design, int anchors);
    void Apply();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct AnchoredWidget {
        QWidget* widget;
        QRect design;
        int anchors;
    };
    QWidget* parent_;
    QSize designSize_;
    std::vector<AnchoredWidget> items_;
};

}  // namespace sv
