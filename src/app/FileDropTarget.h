#pragma once
// Lets a window open a sound file dropped on it from a file manager.
#include <QObject>
#include <functional>
#include <string>

class QWidget;

namespace sv {

class FileDropTarget final : public QObject {
  public:
    // open receives the first local file of a drop on window.
    FileDropTarget(QWidget& window, std::function<void(const std::string&)> open);
    // The window's drag and drop events; public for scripts that hand it a drop.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void(const std::string&)> open_;
};

}  // namespace sv
