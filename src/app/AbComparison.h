#pragma once
// A/B: the recording as it was opened (or an earlier step of the undo history) is heard in place
// of the current one, at the same position, switched by one key without stopping playback.
// Level-matched by default: the louder of the two plays at the quieter one's integrated
// loudness. The status bar and a marker on the waveform say which one is heard.
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "playback/LevelMatch.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QWidget;

namespace sv {

class EditHistory;
class Player;
class Wave;

class AbComparison final : public QObject {
  public:
    struct Ports {
        std::function<Wave*()> current;         // null without a document
        std::function<EditHistory*()> history;  // null before the window has one
        std::function<Player*()> player;        // null while nothing plays
    };
    // The actions are children of parent; the status text and the marker go onto statusBar and
    // waveView.
    AbComparison(QWidget* parent, QStatusBar* statusBar, QWidget* waveView, Ports ports);

    // Checkable, key B: checked, the earlier step is heard.
    QAction* Toggle() const { return toggle_; }
    QAction* MatchLoudness() const { return match_; }
    // "Compare with": the steps of the undo history, as opened first.
    QMenu* ReferenceMenu() const { return referenceMenu_; }

    // Integrated loudness measured of the current document; kept for comparing it later.
    void NoteLoudness(const Wave& wave, double integratedLufs);
    // previous went to the history as a copy of the document that was current before it.
    void NoteStepRecorded(const Wave* previous);
    // After a command: when the documents compared changed, back to the current one, unmatched.
    void Refresh();
    // A new player plays what is chosen.
    void Attach(Player& player);
    // Disabled while no document is loaded.
    void SetEnabled(bool enabled);

    bool Engaged() const { return engaged_; }
    bool HearingEarlier() const;
    const LevelMatch& Match() const { return levels_; }
    // "Hearing B (as opened), level-matched by -3.2 dB"; empty when not comparing.
    std::string StatusText() const;

  private:
    using Key = std::pair<std::uint64_t, std::int64_t>;  // identity and length of a document
    static Key KeyOf(const Wave& wave);
    void Switch(bool toEarlier);
    bool Engage();
    void Disengage();
    void ChooseReference(int stepsBack);
    void FillReferenceMenu();
    int StepsBack() const;  // of the reference chosen, within the steps kept
    std::string ReferenceName() const;
    std::optional<double> LoudnessOf(const Wave* wave) const;
    void ApplyTo(Player& player);
    void ShowState();

    Ports ports_;
    QAction* toggle_;
    QAction* match_;
    QMenu* referenceMenu_;
    QLabel* status_;
    QLabel* marker_;
    std::map<Key, double> loudness_;
    std::optional<std::pair<Key, double>> lastNoted_;
    int chosenStepsBack_ = 0;  // 0: the oldest kept, the recording as opened when kept
    bool engaged_ = false;
    Key engagedCurrent_{};
    const Wave* engagedReference_ = nullptr;
    LevelMatch levels_;
};

}  // namespace sv
