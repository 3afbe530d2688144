#pragma once
// A resizable window beside the main one: the recording's long-term spectrum, the target
// timbre and the gain curve levelling would apply with the settings as they are now, and after
// a processing command the spectrum before and after it. The settings, the target and which
// document is open are read from the main window a few times a second, so that none of its
// controls needs to know of this window; a document whose spectrum is not known is measured by
// the main window (on its worker thread) when asked, and the result handed in.
#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "dsp/LevellingPreview.h"

class QTimer;

namespace sv {

class PaintBox;

class SpectrumWindow final : public QDialog {
  public:
    // Which document is open, as far as its spectrum goes; Id 0 when none.
    struct DocumentKey {
        std::uint64_t Id = 0;
        std::int64_t Frames = 0;
        int ProcessingRuns = 0;  // counts the commands that processed the documents
        friend bool operator==(const DocumentKey&, const DocumentKey&) = default;
    };
    struct Inputs {
        std::function<RemasterSettings()> Settings;
        std::function<const BinSpectrum&()> Target;
        std::function<DocumentKey()> Document;
        // Starts measuring the open document, ending in Measured; false when it cannot start
        // now (another command runs), and it is asked again later.
        std::function<bool()> Measure;
        // Told when the window is shown and hidden.
        std::function<void(bool)> Shown;
    };
    using Spectrum = std::shared_ptr<const LongTermSpectrum>;

    SpectrumWindow(QWidget* parent, Inputs inputs);
    ~SpectrumWindow() override;

    // The current document's spectrum (null: not measured), with no before.
    void Show(Spectrum current);
    // After a command that changed the document: its spectrum before and now.
    void ShowChange(Spectrum before, Spectrum after);
    const Spectrum& Current() const { return current_; }
    const Spectrum& Before() const { return before_; }
    // The measurement of the document key names (null: none or cancelled). When the document
    // came from the one shown by processing, that one's spectrum is shown as before; else the
    // before given, if any (that of the document the last processing started from).
    void Measured(const DocumentKey& key, Spectrum spectrum, Spectrum before = nullptr);
    // Measures anew when shown again.
    void Forget() { key_.reset(); }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Draw(QPainter& painter);
    // Repaints when a setting the picture depends on or the target changed.
    void CheckInputs();

    Inputs inputs_;
    PaintBox* box_;
    QTimer* watch_;
    Spectrum current_, before_;
    std::optional<DocumentKey> key_;  // of current_
    bool measuring_ = false;
    std::unique_ptr<RemasterSettings> shownSettings_;
    std::unique_ptr<BinSpectrum> shownTarget_;
};

}  // namespace sv
