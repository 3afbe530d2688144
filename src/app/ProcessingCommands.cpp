// Remove noise, Fit peak, Normalize, Remaster It and Detect on the current document.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/BackgroundLoudness.h"
#include "app/ChainProgress.h"
#include "app/DocumentController.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/ProcessingController.h"
#include "app/StageOptionsPanel.h"
#include "app/TimbrePanel.h"
#include "dsp/RemasterChain.h"
#include "dsp/StageLength.h"
#include "history/DocumentCopy.h"
#include "loudness/LoudnessMeter.h"
#include "text/Language.h"

namespace sv {

namespace {

// "−1" with a typographic minus, as the note is worded.
std::string CeilingText(double dbtp) {
    char number[32];
    std::snprintf(number, sizeof number, "%g", std::fabs(dbtp));
    return (dbtp < 0 ? "\u2212" : "") + std::string(number);
}

// Shows why the document is too short for a stage; true when it is.
bool RefusedAsShort(UserDialogs* dialogs, const std::optional<LengthShortfall>& shortfall,
                    const Wave& wave) {
    if (!shortfall) return false;
    if (dialogs) dialogs->Message(TooShortMessage(shortfall->MinimumFrames, wave.SampleRate()));
    return true;
}

}  // namespace

ProcessingController::ProcessingController(CommandHost& host, DocumentState& state,
                                           const MainWindowControls& controls, Parts parts)
    : host_(host), state_(state), c_(controls), parts_(parts) {}

ProcessingController::~ProcessingController() = default;

RemasterSettings ProcessingController::ReadSettings() const {
    RemasterSettings s;
    c_.stages->Read(s);
    s.ChannelMode = parts_.modes.ChannelMode;
    s.BandLevelMode = parts_.modes.BandLevelMode;
    s.PeakBlockSize = parts_.modes.PeakBlockSize;
    // Normalizing by loudness takes the place of normalizing by peak.
    if (s.Normalize && c_.stages->NormalizeByLoudness()) {
        s.Normalize = false;
        s.Loudness = LoudnessTarget{static_cast<double>(c_.stages->NormalizeLufs()),
                                    static_cast<double>(c_.stages->TruePeakMax())};
    }
    return s;
}

void ProcessingController::NoteLoudness(const ChainOutcome& outcome, double ceilingDbtp) {
    if (outcome.Loudness && outcome.Loudness->HeldByTruePeak)
        loudnessHeldNote_ = "held by the " + CeilingText(ceilingDbtp) + " dBTP ceiling";
}

// Runs the chain of settings on the lent document; the loudness note and the end follow. A
// cancel after some stages completed still changed the document: one undo step either way.
void ProcessingController::RunChainCommand(const Command& command, const RemasterSettings& settings,
                                           const std::string& commandName) {
    if (RefusedAsShort(parts_.dialogs, FirstTooShortStage(settings, *state_.Document),
                       *state_.Document))
        return;
    const double ceiling = settings.Loudness ? settings.Loudness->TruePeakMaxDbtp : 0.0;
    struct Outcome {
        ChainOutcome chain;
        std::unique_ptr<Wave> previous;
    };
    // One progress window for the chain and the loudness figures after it.
    host_.BeginProgressSeries(ChainProgressTitle(settings));
    host_.RunOnDocument(
        command,
        [this, settings](LentDocument& lent) {
            // Copied first: the chain's stages reuse the swap files of what they replace.
            auto previous = AnyStage(settings) ? CopyDocument(*lent.Document) : nullptr;
            auto chain = RunChain(parts_.engine, lent.Document, settings, lent.Spectra);
            return std::make_shared<Outcome>(Outcome{std::move(chain), std::move(previous)});
        },
        [this, ceiling, commandName](const std::shared_ptr<Outcome>& outcome) {
            NoteLoudness(outcome->chain, ceiling);
            if (outcome->chain.Result == WalkResult::Cancelled && outcome->chain.Replaced)
                loudnessHeldNote_ += (loudnessHeldNote_.empty() ? "" : ", ") +
                                     Texts().CancelledAfterNote + " " +
                                     StageNames(outcome->chain.Completed);
            if (outcome->chain.Replaced && outcome->previous)
                parts_.documents.RecordStep(commandName, std::move(outcome->previous));
            OperationEnded(outcome->chain.Result, outcome->chain.Replaced);
        });
}

// Runs a single stage that replaces the document when it completes.
template <typename Stage>
void ProcessingController::RunStageCommand(const Command& command, const std::string& commandName,
                                           Stage stage) {
    struct Outcome {
        WalkResult result;
        std::unique_ptr<Wave> previous;
    };
    host_.BeginProgressSeries([](const std::string& caption) { return caption; });
    host_.RunOnDocument(
        command,
        [stage = std::move(stage)](LentDocument& lent) mutable {
            auto previous = CopyDocument(*lent.Document);
            const WalkResult result = stage(lent);
            return std::make_shared<Outcome>(Outcome{result, std::move(previous)});
        },
        [this, commandName](const std::shared_ptr<Outcome>& outcome) {
            const bool replaced = outcome->result == WalkResult::Completed;
            if (replaced) parts_.documents.RecordStep(commandName, std::move(outcome->previous));
            OperationEnded(outcome->result, replaced);
        });
}

void ProcessingController::OperationEnded(WalkResult result, bool replaced) {
    state_.Flags.Cancelled = result == WalkResult::Cancelled;
    state_.RedrawWave = replaced;
    if (!replaced) {
        host_.EndProgressSeries();
        return c_.waveView->update();
    }
    c_.waveView->update();
    state_.Flags.DataSaved = false;
    ++state_.ProcessingRuns;
    ShowLoudness();
    host_.EndProgressSeries();
}

void ProcessingController::Normalize() {
    host_.RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        // The normalizing stage alone, by peak or by loudness, checked or not.
        RemasterSettings settings = ReadSettings();
        const bool byLoudness = c_.stages->NormalizeByLoudness();
        settings.RemoveNoise = settings.Levelling = settings.FitPeaks = false;
        settings.Normalize = !byLoudness;
        settings.Loudness.reset();
        if (byLoudness)
            settings.Loudness = LoudnessTarget{static_cast<double>(c_.stages->NormalizeLufs()),
                                               static_cast<double>(c_.stages->TruePeakMax())};
        RunChainCommand(command, settings, Texts().NormalizeCaption);
    });
}

void ProcessingController::ShowLoudness() {
    const std::string caption = Texts().LoudnessCaption + ":";
    if (!state_.WaveLoaded || !state_.Document) return host_.SetPanel(5, caption);
    // The notes belong to the command that ends now, whenever the figures come.
    std::string notes = loudnessHeldNote_.empty() ? "" : ", " + loudnessHeldNote_;
    loudnessHeldNote_.clear();
    const std::string historyNote = parts_.documents.TakeHistoryNote();
    if (!historyNote.empty()) notes += "; " + historyNote;
    host_.SetPanel(5, caption + " ...");
    parts_.loudness.Start(
        *state_.Document, [this, caption, notes](const std::optional<LoudnessFigures>& figures) {
            if (figures) host_.NoteLoudness(*state_.Document, figures->IntegratedLufs);
            host_.SetPanel(5, (figures ? caption + " " + LoudnessText(*figures) : caption) + notes);
        });
}

void ProcessingController::RemoveNoise() {
    host_.RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        const RemasterSettings settings = ReadSettings();
        if (RefusedAsShort(parts_.dialogs,
                           TooShortFor(ChainStage::RemoveNoise, settings, *state_.Document),
                           *state_.Document))
            return;
        RunStageCommand(command, Texts().RemoveNoiseCaption, [this, settings](LentDocument& lent) {
            return RunRemoveNoise(parts_.engine, lent.Document, settings, lent.Spectra);
        });
    });
}

void ProcessingController::FitPeaks() {
    host_.RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        if (RefusedAsShort(parts_.dialogs,
                           TooShortFor(ChainStage::FitPeaks, ReadSettings(), *state_.Document),
                           *state_.Document))
            return;
        RunStageCommand(command, Texts().FitPeaksCaption,
                        [this, count = c_.stages->PeakCount(),
                         blockSize = parts_.modes.PeakBlockSize](LentDocument& lent) {
                            return parts_.engine.FitPeaks(lent.Document, count, blockSize);
                        });
    });
}

void ProcessingController::Remaster() {
    host_.RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        const RemasterSettings settings = ReadSettings();
        if (!AnyStage(settings)) {
            state_.RedrawWave = false;
            return parts_.dialogs->Message(NoStageTickedMessage());
        }
        // A cancel ends the chain; the document keeps what the stages before it did.
        RunChainCommand(command, settings, Texts().RemasterCaption);
    });
}

void ProcessingController::DetectTimbre() {
    host_.RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        if (RefusedAsShort(parts_.dialogs,
                           TooShortFor(ChainStage::Levelling, ReadSettings(), *state_.Document),
                           *state_.Document))
            return;
        host_.RunOnDocument(
            command,
            [this, mode = parts_.modes.BandLevelMode](LentDocument& lent) {
                return RunDetect(parts_.engine, *lent.Document, mode, lent.Spectra);
            },
            [this](bool ready) {
                state_.Flags.Cancelled = !ready;
                if (!ready) return;
                c_.timbre->ClearStoredName();
                parts_.spectra.Target = parts_.spectra.Example;
                c_.timbre->SelectDetected();
                c_.targetView->update();
            });
    });
}

}  // namespace sv
