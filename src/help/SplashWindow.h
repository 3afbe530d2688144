#pragma once
// The start-up picture: shown without a frame for a moment, with an optional start-up sound.
#include <QDialog>
#include <filesystem>

class QSoundEffect;
class QTimer;

namespace sv {

class SplashWindow final : public QDialog {
  public:
    static constexpr int ShowMilliseconds = 2000;

    // Starts playing sound in the background if it can be played; a missing or broken sound
    // file is silently ignored.
    explicit SplashWindow(const std::filesystem::path& sound, QWidget* parent = nullptr);
    ~SplashWindow() override;

    const QTimer* CloseTimer() const { return closeTimer_; }

  private:
    QTimer* closeTimer_;
    QSoundEffect* sound_ = nullptr;
};

// start.wav beside the running executable, or, for an installed program, in its data folder.
std::filesystem::path StartSoundFile();

// Shows the splash modally until it closes itself.
void ShowSplashWindow();

}  // namespace sv
