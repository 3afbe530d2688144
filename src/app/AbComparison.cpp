#include "app/AbComparison.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <cstdio>

#include "app/QtText.h"
#include "audio/Wave.h"
#include "history/EditHistory.h"
#include "playback/Player.h"
#include "text/Language.h"

namespace sv {

namespace {

std::string Decibels(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", db == 0.0 ? 0.0 : db);  // no "-0.0"
    return text;
}

}  // namespace

AbComparison::AbComparison(QWidget* parent, QStatusBar* statusBar, QWidget* waveView, Ports ports)
    : ports_(std::move(ports)) {
    const auto& t = Texts();
    toggle_ = new QAction(Q(t.CompareCaption), parent);
    toggle_->setObjectName("compareAction");
    toggle_->setCheckable(true);
    toggle_->setShortcut(Qt::Key_B);
    toggle_->setToolTip(Q(t.CompareHint));
    toggle_->setStatusTip(Q(t.CompareHint));
    match_ = new QAction(Q(t.MatchLoudnessCaption), parent);
    match_->setObjectName("matchLoudnessAction");
    match_->setCheckable(true);
    match_->setChecked(true);
    referenceMenu_ = new QMenu(Q(t.CompareWithCaption), parent);
    referenceMenu_->setObjectName("compareWithMenu");

    status_ = new QLabel(statusBar);
    status_->setObjectName("compareStatus");
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar->addPermanentWidget(status_);
    status_->hide();
    marker_ = new QLabel(waveView);
    marker_->setObjectName("compareMarker");
    marker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    marker_->setMargin(2);
    marker_->move(4, 4);
    marker_->hide();

    connect(toggle_, &QAction::triggered, this, [this](bool checked) { Switch(checked); });
    connect(match_, &QAction::toggled, this, [this] {
        if (!engaged_) return;
        Engage();
        ShowState();
    });
    connect(referenceMenu_, &QMenu::aboutToShow, this, [this] { FillReferenceMenu(); });
}

AbComparison::Key AbComparison::KeyOf(const Wave& wave) {
    return {wave.Identity(), wave.FrameCount()};
}

void AbComparison::NoteLoudness(const Wave& wave, double integratedLufs) {
    lastNoted_ = std::make_pair(KeyOf(wave), integratedLufs);
    loudness_[lastNoted_->first] = integratedLufs;
}

// The copy has the samples of the document noted last when it has that document's length:
// a command copies the current document, and Delete block, which changes it in place, changes
// its length.
void AbComparison::NoteStepRecorded(const Wave* previous) {
    if (previous && lastNoted_ && lastNoted_->first.second == previous->FrameCount())
        loudness_[KeyOf(*previous)] = lastNoted_->second;
}

std::optional<double> AbComparison::LoudnessOf(const Wave* wave) const {
    if (!wave) return std::nullopt;
    const auto found = loudness_.find(KeyOf(*wave));
    if (found == loudness_.end()) return std::nullopt;
    return found->second;
}

int AbComparison::StepsBack() const {
    const EditHistory* history = ports_.history();
    if (!history) return 0;
    const int kept = history->UndoCount();
    return chosenStepsBack_ < 1 || chosenStepsBack_ > kept ? kept : chosenStepsBack_;
}

std::string AbComparison::ReferenceName() const {
    const auto& t = Texts();
    const EditHistory* history = ports_.history();
    const int back = StepsBack();
    if (!history || back < 1 || history->IsAsOpened(back)) return t.AsOpenedCaption;
    return t.BeforeStepCaption + " " + history->EarlierName(back);
}

void AbComparison::Switch(bool toEarlier) {
    if (toEarlier && !engaged_ && !Engage()) {
        toggle_->setChecked(false);
        return;
    }
    toggle_->setChecked(toEarlier);
    if (Player* player = ports_.player()) player->Hear(toEarlier);
    ShowState();
}

// Chooses the two documents and their gains and gives them to the player, if one plays.
bool AbComparison::Engage() {
    Wave* current = ports_.current();
    EditHistory* history = ports_.history();
    Wave* earlier = history ? history->Earlier(StepsBack()) : nullptr;
    QStatusBar* bar = qobject_cast<QStatusBar*>(status_->parentWidget());
    if (!current || !earlier) {
        bar->showMessage(Q(Texts().NothingToCompareMessage), 5000);
        return false;
    }
    if (current->Channels() != earlier->Channels() ||
        current->SampleRate() != earlier->SampleRate()) {
        bar->showMessage(Q(Texts().CannotCompareMessage), 5000);
        return false;
    }
    levels_ =
        match_->isChecked() ? MatchLevels(LoudnessOf(current), LoudnessOf(earlier)) : LevelMatch{};
    engaged_ = true;
    engagedCurrent_ = KeyOf(*current);
    engagedReference_ = earlier;
    if (Player* player = ports_.player()) ApplyTo(*player);
    return true;
}

void AbComparison::Disengage() {
    engaged_ = false;
    engagedReference_ = nullptr;
    levels_ = {};
    toggle_->setChecked(false);
    ShowState();
}

void AbComparison::ApplyTo(Player& player) {
    if (!engaged_) {
        player.SetComparison(nullptr);
        return;
    }
    player.SetComparison(const_cast<Wave*>(engagedReference_), levels_.FirstGainDb,
                         levels_.SecondGainDb);
    player.Hear(toggle_->isChecked());
}

void AbComparison::Attach(Player& player) { ApplyTo(player); }

void AbComparison::Refresh() {
    if (!engaged_) return;
    Wave* current = ports_.current();
    EditHistory* history = ports_.history();
    const Wave* earlier = history ? history->Earlier(StepsBack()) : nullptr;
    if (!current || KeyOf(*current) != engagedCurrent_ || earlier != engagedReference_) Disengage();
}

void AbComparison::SetEnabled(bool enabled) {
    toggle_->setEnabled(enabled);
    referenceMenu_->setEnabled(enabled);
}

void AbComparison::ChooseReference(int stepsBack) {
    chosenStepsBack_ = stepsBack;
    if (!engaged_) return;
    if (!Engage()) Disengage();
    ShowState();
}

void AbComparison::FillReferenceMenu() {
    referenceMenu_->clear();
    const EditHistory* history = ports_.history();
    if (!history) return;
    auto* group = new QActionGroup(referenceMenu_);
    const auto& t = Texts();
    for (int back = history->UndoCount(); back >= 1; --back) {
        const std::string name = history->IsAsOpened(back)
                                     ? t.AsOpenedCaption
                                     : t.BeforeStepCaption + " " + history->EarlierName(back);
        QAction* item = referenceMenu_->addAction(Q(name));
        item->setCheckable(true);
        item->setChecked(back == StepsBack());
        group->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, back, oldest = back == history->UndoCount()] {
                    ChooseReference(oldest ? 0 : back);
                });
    }
}

bool AbComparison::HearingEarlier() const { return engaged_ && toggle_->isChecked(); }

std::string AbComparison::StatusText() const {
    if (!engaged_) return {};
    const auto& t = Texts();
    const bool earlier = HearingEarlier();
    std::string text = t.HearingCaption +
                       (earlier ? " B (" + ReferenceName() + ")" : " A (" + t.CurrentCaption + ")");
    if (!levels_.Matched) return text + ", " + t.NotMatchedCaption;
    return text + ", " + t.MatchedByCaption + " " +
           Decibels(earlier ? levels_.SecondGainDb : levels_.FirstGainDb);
}

void AbComparison::ShowState() {
    status_->setVisible(engaged_);
    marker_->setVisible(engaged_);
    if (!engaged_) return;
    status_->setText(Q(StatusText()));
    const bool earlier = HearingEarlier();
    marker_->setText(Q(earlier ? "B: " + ReferenceName() : "A: " + Texts().CurrentCaption));
    // Orange for the earlier recording, blue for the current one: seen at a glance.
    marker_->setStyleSheet(earlier ? "background: #f0a030; color: black; font-weight: bold;"
                                   : "background: #3070d0; color: white; font-weight: bold;");
    marker_->adjustSize();
    marker_->raise();
}

}  // namespace sv
