#pragma once
// The block information tabs: length, block start, block end and block length of the document,
// in samples on one tab and in time on the other.
#include <QObject>
#include <array>
#include <cstdint>

class QLabel;
class QTabWidget;
class QWidget;

namespace sv {

class Anchors;

class BlockInfoPanel final : public QObject {
    Q_OBJECT

  public:
    BlockInfoPanel(QWidget* client, Anchors& anchors);

    // values: length, block start, block end, block length, all in frames.
    void Show(const std::array<std::int64_t, 4>& values, std::int64_t sampleRate);

  private:
    QTabWidget* tabs_ = nullptr;
    std::array<QLabel*, 4> frameValues_{};
    std::array<QLabel*, 4> timeValues_{};
};

}  // namespace sv
