// The main window: start state, options, document commands, the progress window, mends.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "AppTestSupport.h"
#include "app/BackgroundLoudness.h"
#include "app/DocumentController.h"
#include "app/ProgressWindow.h"
#include "dsp/StageSettings.h"
#include "history/EditHistory.h"
#include "text/Language.h"

using namespace sv;
using namespace sv::test;

namespace {

QString PanelText(QWidget& window, int panel) {
    return window.findChild<QLabel*>(QStringLiteral("StatusBarPanel%1").arg(panel))->text();
}

QString PanelText(WindowRig& rig, int panel) { return PanelText(*rig.window, panel); }

int SwapFiles(const TempDir& dir) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "work"))
        n += entry.is_regular_file();
    return n;
}

// Counts the paint events of a widget.
class PaintCounter final : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Closes the window as its close button would; true once it has closed, which may take a save.
template <typename Rig>
bool Closed(Rig& rig) {
    if (rig.window->close()) return true;
    rig.wait();
    return !rig.window->isVisible();
}

enum class DiscardingCommand { Exit, Open, Batch, ReturnToSaved };
enum class Reply { Yes, No, Cancel, Escape, CloseButton, YesSaveCancelled, YesSaveFails };

}  // namespace

Q_DECLARE_METATYPE(DiscardingCommand)
Q_DECLARE_METATYPE(Reply)

class MainWindowTest final : public QObject {
    Q_OBJECT

  private slots:
    void startStateEnablesOnlyOpenBatchAndOptions() {
        TempDir dir;
        WindowRig rig(dir);
        QCOMPARE(rig->windowTitle(), QStringLiteral("Sonivar"));
        for (const char* name :
             {"saveButton", "normalizeButton", "remasterButton", "detectButton",
              "removeNoiseButton", "fitPeaksButton", "horizontalZoomInButton", "deleteBlockButton",
              "playButton", "stopButton", "fastForwardButton"})
            QVERIFY2(!rig.get<QToolButton>(name)->isEnabled(), name);
        QVERIFY(!rig.get<QPushButton>("bigRemasterButton")->isEnabled());
        for (const char* name :
             {"returnToSavedAction", "saveAction", "saveAsAction", "normalizeAction",
              "remasterAction", "detectAction", "removeNoiseAction", "fitPeaksAction",
              "deleteBlockAction", "horizontalZoomResetAction"})
            QVERIFY2(!rig.get<QAction>(name)->isEnabled(), name);
        for (const char* name : {"openAction", "batchAction", "exitAction", "helpTopicsAction",
                                 "aboutAction", "deleteBlockPopupAction"})
            QVERIFY2(rig.get<QAction>(name)->isEnabled(), name);
        QVERIFY(rig.get<QToolButton>("openButton")->isEnabled());
        QVERIFY(rig.get<QToolButton>("batchButton")->isEnabled());
        QVERIFY(rig.get<QWidget>("waveBackground")->isVisibleTo(rig.window.get()));
        QVERIFY(!rig.get<QWidget>("waveView")->isEnabled());

        QCOMPARE(PanelText(rig, 0), QStringLiteral("Sample number:"));
        QCOMPARE(PanelText(rig, 4), QStringLiteral("Name:"));
        QCOMPARE(rig.get<QToolButton>("openButton")->text(), QStringLiteral("Open"));
        QCOMPARE(rig.get<QToolButton>("openButton")->toolTip(), QStringLiteral("Open file"));
        QCOMPARE(rig.get<QAction>("saveAsAction")->text(), QStringLiteral("Save As ..."));
        QCOMPARE(rig.get<QAction>("remasterAction")->shortcuts().value(0),
                 QKeySequence(Qt::CTRL | Qt::Key_Return));
        QCOMPARE(rig.get<QAction>("batchAction")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
        // Each menu has its access key (Alt+letter); plain Delete deletes the block too.
        const std::pair<const char*, const char*> menus[] = {{"fileMenu", "&File"},
                                                             {"batchMenu", "&Batch"},
                                                             {"editMenu", "&Edit"},
                                                             {"filterMenu", "F&ilters"},
                                                             {"helpMenu", "&Help"}};
        for (const auto& [menu, title] : menus)
            QCOMPARE(rig.get<QMenu>(menu)->title(), QString::fromLatin1(title));
        QVERIFY(rig.get<QAction>("deleteBlockAction")->shortcuts().contains(QKeySequence::Delete));
        QCOMPARE(rig.get<QLabel>("peakBlockSizeCaption")->text(), QStringLiteral("Border size:"));
        QCOMPARE(rig.get<QTabWidget>("infoTabs")->currentWidget()->objectName(),
                 QStringLiteral("detailsTab"));

        // Option defaults, and the block size shown is the one used.
        QCOMPARE(rig.get<QComboBox>("peakBlockSizeCombo")->currentText(), QStringLiteral("4096"));
        QCOMPARE(rig.state().PeakBlockSize, 4096);
        rig.get<QComboBox>("peakBlockSizeCombo")->setCurrentText("1024");
        QCOMPARE(rig.state().PeakBlockSize, 1024);
        QCOMPARE(static_cast<int>(rig.state().ChannelMode), 3);
        QCOMPARE(static_cast<int>(rig.state().BandLevelMode), 1);
        for (const char* name :
             {"bothChannelsRadio", "partialSeparationRadio", "separateChannelsRadio",
              "averageLevelRadio", "mediumLevelRadio", "peakLevelRadio"})
            QVERIFY2(!rig.get<QRadioButton>(name)->isChecked(), name);
        QVERIFY(rig.get<QRadioButton>("clearTimbreRadio")->isChecked());
        QCOMPARE(rig.get<QSpinBox>("bandsSpin")->value(), 60);
        QCOMPARE(rig.get<QSpinBox>("normalizeSpin")->minimum(), -48);
        // Every spin box of a stage setting has the command line's range and default.
        for (const IntSetting& setting : IntSettings()) {
            const QString name = QString::fromUtf8(setting.Name.data(), setting.Name.size());
            auto* spin = rig->findChild<QSpinBox*>(name + "Spin");
            QVERIFY2(spin || setting.PowerOfTwo, qPrintable(name));
            if (!spin) continue;
            QCOMPARE(spin->minimum(), setting.Min);
            QCOMPARE(spin->maximum(), setting.Max);
            QCOMPARE(spin->value(), setting.Default);
        }
        // So do the sliders of the choices and the check boxes of the switches, with their texts.
        const auto named = [](std::string_view name, const char* kind) {
            return QString::fromUtf8(name.data(), static_cast<int>(name.size())) + kind;
        };
        for (const ChoiceSetting& setting : ChoiceSettings()) {
            auto* slider = rig.get<QSlider>(qPrintable(named(setting.Name, "Slider")));
            QCOMPARE(slider->minimum(), setting.Min);
            QCOMPARE(slider->maximum(), setting.Max);
            QCOMPARE(slider->value(), setting.Default);
        }
        const LoudnessSetting& ceiling = LoudnessNamed("truePeak");
        auto* ceilingSpin = rig.get<QSpinBox>(qPrintable(named(ceiling.Name, "Spin")));
        QCOMPARE(ceilingSpin->minimum(), static_cast<int>(ceiling.Min));
        QCOMPARE(ceilingSpin->value(), static_cast<int>(ceiling.Default));
        for (const SwitchSetting& setting : SwitchSettings()) {
            if (!setting.InWindow) {
                QVERIFY(!rig.window->findChild<QCheckBox*>(named(setting.Name, "Check")));
                continue;
            }
            auto* check = rig.get<QCheckBox>(qPrintable(named(setting.Name, "Check")));
            QCOMPARE(check->isChecked(), setting.Default);
            QCOMPARE(check->text().toStdString(), *Texts().Find(setting.CaptionKey));
            QCOMPARE(check->toolTip().toStdString(), *Texts().Find(setting.HintKey));
        }
        for (const char* name : {"highPassCheck", "highPassSpin", "highPassSlopeSpin",
                                 "lowPassCheck", "lowPassSpin", "lowPassSlopeSpin", "highPassUnit"})
            QVERIFY2(!rig.get<QWidget>(name)->isEnabled(), name);
        rig.get<QCheckBox>("levellingCheck")->click();
        for (const char* name : {"highPassCheck", "highPassSpin", "highPassSlopeSpin",
                                 "lowPassCheck", "lowPassSpin", "lowPassSlopeSpin", "highPassUnit"})
            QVERIFY2(rig.get<QWidget>(name)->isEnabled(), name);

        QCOMPARE(rig->minimumSize(), QSize(680, 563));
        rig->show();
        rig->resize(500, 400);
        QCOMPARE(rig->size(), QSize(680, 563));
    }

    void resizingKeepsGroupsAtTheirEdges() {
        TempDir dir;
        WindowRig rig(dir);
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        auto* view = rig.get<QWidget>("wavePanel");
        auto* timbre = rig.get<QWidget>("timbreGroup");
        auto* types = rig.get<QWidget>("modesGroup");
        auto* zoom = rig.get<QWidget>("zoomPanel");
        const QRect viewBefore = view->geometry();
        const QRect timbreBefore = timbre->geometry();
        const QRect typesBefore = types->geometry();
        const QRect zoomBefore = zoom->geometry();
        rig->resize(rig->width() + 100, rig->height() + 60);
        QTRY_COMPARE(view->width(), viewBefore.width() + 100);
        QCOMPARE(view->height(), viewBefore.height() + 60);
        QCOMPARE(timbre->width(), timbreBefore.width() + 100);
        QCOMPARE(timbre->y(), timbreBefore.y() + 60);
        QCOMPARE(types->geometry(), typesBefore.translated(0, 60));
        QCOMPARE(zoom->geometry(), zoomBefore.translated(100, 0));
        if (const char* folder = std::getenv("SONIVAR_SCREENSHOTS")) {
            rig->resize(rig->minimumSize());
            QTest::qWait(50);
            rig->grab().save(QString::fromLocal8Bit(folder) + "/main-window-empty.png");
        }
    }

    void openingMonoThenStereoSetsChannelControlsAndStatusBar() {
        TempDir dir;
        WindowRig rig(dir);
        const auto mono = MakeWav(dir, "mono.wav", 1);
        const auto stereo = MakeWav(dir, "stereo.wav", 2);
        rig.files.openNames = {mono.string(), stereo.string()};
        rig->Documents().Open();
        QVERIFY(rig.state().WaveLoaded);
        QVERIFY(rig.dialogs.messages.empty());
        for (const char* name : {"perChannelCheck", "bothChannelsRadio", "separateChannelsRadio",
                                 "partialSeparationRadio"})
            QVERIFY2(!rig.get<QWidget>(name)->isEnabled(), name);
        QCOMPARE(PanelText(rig, 0), QStringLiteral("Sample number: 491520"));
        QCOMPARE(PanelText(rig, 1), QStringLiteral("Channels: 1"));
        QCOMPARE(PanelText(rig, 2), QStringLiteral("Sample rate: 44100 Hz"));
        QCOMPARE(PanelText(rig, 3), QStringLiteral("Bits per sample: 16 bits"));
        QCOMPARE(PanelText(rig, 4), QStringLiteral("Name: mono.wav"));
        QVERIFY(!rig.get<QWidget>("waveBackground")->isVisibleTo(rig.window.get()));
        QVERIFY(rig.get<QToolButton>("saveButton")->isEnabled());
        QVERIFY(rig.get<QAction>("remasterAction")->isEnabled());
        QVERIFY(rig.get<QPushButton>("bigRemasterButton")->isEnabled());

        rig->Documents().Open();
        QCOMPARE(rig.state().Document->Channels(), 2);
        for (const char* name : {"perChannelCheck", "bothChannelsRadio", "separateChannelsRadio",
                                 "partialSeparationRadio"})
            QVERIFY2(rig.get<QWidget>(name)->isEnabled(), name);
        QCOMPARE(PanelText(rig, 0), QStringLiteral("Sample number: 245760"));
        QCOMPARE(PanelText(rig, 4), QStringLiteral("Name: stereo.wav"));
        QCOMPARE(SwapFiles(dir), 1);  // the mono document went with its swap file
        if (const char* folder = std::getenv("SONIVAR_SCREENSHOTS"))
            rig->grab().save(QString::fromLocal8Bit(folder) + "/main-window-stereo.png");
    }

    // A file that cannot be opened leaves the open document as it was, with its view, status
    // bar, file name and unsaved mark; the message names the file.
    void refusedAndBrokenFilesAreReportedAndKeepTheOpenDocument() {
        TempDir dir;
        WindowRig rig(dir);
        const auto missing = (dir / "missing.wav").string();
        rig.files.openNames = {missing};
        rig->Documents().Open();
        QCOMPARE(rig.dialogs.messages.back(),
                 "File with specified name:" + missing + " doesn't exists!");

        WavLayout floatSpec;
        floatSpec.formatTag = 3;
        floatSpec.frames = Wave::MinimumValues;
        WriteWav(dir / "float.wav", floatSpec, [](std::int64_t, int) { return 0; });
        const auto good = MakeWav(dir, "good.wav");
        const auto cut = dir / "cut.wav";  // shorter than its header says: damaged
        const std::string bytes = ReadFile(good);
        WriteFile(cut, bytes.substr(0, bytes.size() / 2));
        rig.files.openNames = {good.string()};
        rig->Documents().Open();
        rig->View().Zoom(ZoomCommand::In, true);
        rig->View().Zoom(ZoomCommand::In, false);
        rig.markSaved(false);
        const Wave* document = rig.state().Document.get();
        const QString panels = PanelText(rig, 0) + PanelText(rig, 4);
        const std::pair<std::filesystem::path, std::string> failures[] = {
            {dir / "float.wav",
             "File is not in PCM format or is damaged: 16-bit float samples are not supported "
             "(float.wav)"},
            {cut, "File is not in PCM format or is damaged: the file ends before"}};
        for (const auto& [file, message] : failures) {
            rig.files.openNames = {file.string()};
            rig->Documents().Open();
            const std::string& shown = rig.dialogs.messages.back();
            QVERIFY2(shown.rfind(message, 0) == 0, shown.c_str());
            QVERIFY2(shown.find(file.filename().string()) != std::string::npos, shown.c_str());
            QCOMPARE(rig.state().Document.get(), document);
            QVERIFY(rig.state().WaveLoaded);
            QVERIFY(!rig.state().Flags.DataSaved);
            QCOMPARE(rig.shown().HorizontalZoom, 2);
            QCOMPARE(rig.shown().VerticalZoom, 2);
            QCOMPARE(PanelText(rig, 0) + PanelText(rig, 4), panels);
            QCOMPARE(rig.state().FileName, good.string());
            QVERIFY(rig.get<QToolButton>("saveButton")->isEnabled());
            QVERIFY(!rig->CommandRunning());
            QCOMPARE(SwapFiles(dir), 1);
        }
    }

    void saveAsAppliesTheExtensionRuleAndRespectsReadOnlyFiles() {
        TempDir dir;
        WindowRig rig(dir);
        const auto source = MakeWav(dir, "source.wav");
        rig.files.openNames = {source.string()};
        rig->Documents().Open();

        std::filesystem::create_directories(dir / "out");
        rig.files.saveNames = {(dir / "out" / "take").string()};
        rig->Documents().SaveAs();
        QVERIFY(std::filesystem::exists(dir / "out" / "take.wav"));
        QCOMPARE(ReadFile(dir / "out" / "take.wav"), ReadFile(source));
        QCOMPARE(PanelText(rig, 4), QStringLiteral("Name: take.wav"));
        QCOMPARE(rig.state().FileName, (dir / "out" / "take.wav").string());

        // MP3 is read but not written: WAV bytes under its name would mislead players.
        rig.files.saveNames = {(dir / "out" / "take.mp3").string()};
        rig->Documents().SaveAs();
        QVERIFY(!std::filesystem::exists(dir / "out" / "take.mp3"));
        QVERIFY(!std::filesystem::exists(dir / "out" / "take.mp3.wav"));
        QVERIFY(rig.dialogs.messages.back().find("read but not written") != std::string::npos);
        QCOMPARE(PanelText(rig, 4), QStringLiteral("Name: take.mp3"));

        // The other formats keep their extensions, four letters too, and are written as named.
        for (const char* name : {"take.flac", "take.aif", "take.ogg"}) {
            rig.files.saveNames = {(dir / "out" / name).string()};
            rig->Documents().SaveAs();
            const std::string head = ReadFile(dir / "out" / name).substr(0, 4);
            QVERIFY(head == "fLaC" || head == "FORM" || head == "OggS");
            QVERIFY(!std::filesystem::exists(dir / "out" / (std::string(name) + ".wav")));
        }

        // Save of the document's own file replaces it without asking.
        WriteFile(dir / "out" / "take.ogg", "keep");
        const auto asked = rig.dialogs.questions.size();
        rig->Documents().Save();
        QCOMPARE(rig.dialogs.questions.size(), asked);
        QCOMPARE(ReadFile(dir / "out" / "take.ogg").substr(0, 4), std::string("OggS"));

        const auto locked = dir / "out" / "locked.wav";
        WriteFile(locked, "old");
        ::chmod(locked.c_str(), 0444);
        rig.files.saveNames = {locked.string()};
        const auto questionsBefore = rig.dialogs.questions.size();
        rig->Documents().SaveAs();
        QCOMPARE(rig.dialogs.messages.back(),
                 "File " + locked.string() + " is write protected, select another filename");
        QCOMPARE(rig.dialogs.questions.size(), questionsBefore);
        QCOMPARE(ReadFile(locked), std::string("old"));
        QCOMPARE(rig.state().FileName, locked.string());
        QCOMPARE(PanelText(rig, 4), QStringLiteral("Name: locked.wav"));

        // A failure that is not a full or protected medium is named as what it is.
        rig.files.saveNames = {(dir / "missing" / "take.wav").string()};
        rig->Documents().SaveAs();
        QCOMPARE(rig.dialogs.messages.back(),
                 "Cannot save " + (dir / "missing" / "take.wav").string() + ": the folder " +
                     (dir / "missing").string() + " does not exist");
    }

    void unsavedDataIsAskedForUntilSavedOrDeclined() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "a.wav").string()};
        rig->Documents().Open();

        // Open: No to the question, then a cancelled dialog keeps the document, still unsaved.
        rig.markSaved(false);
        rig.dialogs.answers = {false};
        rig->Documents().Open();
        QCOMPARE(rig.dialogs.questions, std::vector<std::string>{"Data are not saved, save it?"});
        QVERIFY(rig.state().WaveLoaded);
        QVERIFY(!rig.state().Flags.DataSaved);

        // Closing: Yes with a cancelled dialog keeps the window; Yes with a name saves and closes.
        rig.dialogs.questions.clear();
        rig.dialogs.answers = {true, true};
        rig.files.saveNames = {std::nullopt, (dir / "kept.wav").string()};
        rig->show();
        QVERIFY(!Closed(rig));
        QVERIFY(rig->isVisible() && rig.state().WaveLoaded);
        QVERIFY(Closed(rig));
        QCOMPARE(rig.dialogs.questions.size(), std::size_t{2});
        QVERIFY(std::filesystem::exists(dir / "kept.wav"));
        QCOMPARE(SwapFiles(dir), 0);

        // Yes and cancel twice, then No: three attempts, closed without saving.
        WindowRig second(dir);
        second.files.openNames = {MakeWav(dir, "b.wav").string()};
        second->Documents().Open();
        second.markSaved(false);
        second.dialogs.answers = {true, true, false};
        second->show();
        QVERIFY(!Closed(second));
        QVERIFY(!Closed(second));
        QVERIFY(Closed(second));
        QCOMPARE(second.dialogs.questions.size(), std::size_t{3});
        QCOMPARE(second.files.saveCalls, 2);
        QCOMPARE(SwapFiles(dir), 0);
    }

    void everyCommandThatDiscardsTheDocumentAsksFirst_data() {
        QTest::addColumn<DiscardingCommand>("command");
        QTest::addColumn<Reply>("reply");
        const char* replies[] = {"Yes",          "No",           "Cancel",         "Escape",
                                 "close button", "Yes, no name", "Yes, save fails"};
        const char* commands[] = {"exit", "open", "batch", "return to saved"};
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 7; ++r)
                // Return to saved asks only whether the modifications may go (Yes or No).
                if (c < 3 || r == 0 || r == 1 || r == 3 || r == 4)
                    QTest::addRow("%s, %s", commands[c], replies[r])
                        << DiscardingCommand(c) << Reply(r);
    }

    // Real message boxes: only Yes (with a saved file) and No to the save question let the
    // command go on.
    void everyCommandThatDiscardsTheDocumentAsksFirst() {
        QFETCH(DiscardingCommand, command);
        QFETCH(Reply, reply);
        TempDir dir;
        WindowRig rig(dir, false, {}, /*realMessageBoxes=*/true);
        const auto next = MakeWav(dir, "b.wav");
        rig.files.openNames = {MakeWav(dir, "a.wav").string(), next.string()};
        rig->Documents().Open();
        rig.markSaved(false);
        const Wave* document = rig.state().Document.get();
        const auto saved = dir / (reply == Reply::YesSaveFails ? "missing/s.wav" : "s.wav");
        if (reply != Reply::YesSaveCancelled) rig.files.saveNames = {saved.string()};
        std::filesystem::create_directories(dir / "in");
        MakeWav(dir, "in/c.wav");
        rig.files.batch = {true, false, dir / "in", dir.path(), {"c.wav"}};
        rig->show();

        QStringList texts;  // answers the first box as the reply says, closes a later one
        QTimer driver;
        driver.callOnTimeout([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            texts << box->text();
            const auto button = reply == Reply::No       ? QMessageBox::No
                                : reply == Reply::Cancel ? QMessageBox::Cancel
                                                         : QMessageBox::Yes;
            if (reply == Reply::Escape && texts.size() == 1)
                return QTest::keyClick(box, Qt::Key_Escape);
            if (texts.size() > 1 || reply == Reply::CloseButton || !box->button(button))
                return void(box->close());
            box->button(button)->click();
        });
        driver.start(5);
        bool wentOn = false;
        if (command == DiscardingCommand::Exit) wentOn = Closed(rig);
        if (command == DiscardingCommand::Open) rig->Documents().Open();
        if (command == DiscardingCommand::Open) wentOn = rig.state().FileName == next.string();
        if (command == DiscardingCommand::Batch) rig->Processing().ProcessBatch();
        if (command == DiscardingCommand::Batch) wentOn = std::filesystem::exists(dir / "_c.wav");
        if (command == DiscardingCommand::ReturnToSaved) rig->Documents().ReturnToSaved();
        if (command == DiscardingCommand::ReturnToSaved)
            wentOn = rig.state().Document.get() != document && rig.state().Flags.DataSaved;

        const bool reverting = command == DiscardingCommand::ReturnToSaved;
        QCOMPARE(texts.value(0), reverting ? "All modifications will be lost, continue?"
                                           : "Data are not saved, save it?");
        QCOMPARE(texts.size(), reply == Reply::YesSaveFails ? 2 : 1);  // its failure message
        QCOMPARE(wentOn, reply == Reply::Yes || (reply == Reply::No && !reverting));
        QCOMPARE(std::filesystem::exists(saved), reply == Reply::Yes && !reverting);
        if (wentOn) return;
        QCOMPARE(rig.state().Document.get(), document);
        QVERIFY(!rig.state().Flags.DataSaved);
        QVERIFY(rig->isVisible());
        QCOMPARE(rig.files.openCalls, 1);  // Open did not go on to its dialog
    }

    void returnToSavedAfterTheFileWasDeletedKeepsTheDocument() {
        TempDir dir;
        WindowRig rig(dir);
        const auto file = MakeWav(dir, "gone.wav");
        rig.files.openNames = {file.string()};
        rig->Documents().Open();
        rig.markSaved(false);
        const Wave* before = rig.state().Document.get();
        std::filesystem::remove(file);
        rig.dialogs.answers = {true};
        rig->Documents().ReturnToSaved();
        QCOMPARE(rig.dialogs.questions.back(),
                 std::string("All modifications will be lost, continue?"));
        QCOMPARE(rig.dialogs.messages.back(),
                 "File with specified name:" + file.string() + " doesn't exists!");
        QCOMPARE(rig.state().Document.get(), before);
        QVERIFY(rig.state().WaveLoaded);
        QVERIFY(!rig.state().Flags.DataSaved);  // its modifications are nowhere else
    }

    void modeBarsAndRadioButtonsFollowEachOther() {
        TempDir dir;
        WindowRig rig(dir);
        auto* bar = rig.get<QSlider>("channelModeSlider");
        auto* weight = rig.get<QRadioButton>("partialSeparationRadio");
        bar->setValue(2);
        QVERIFY(weight->isChecked());
        QCOMPARE(static_cast<int>(rig.state().ChannelMode), 2);
        bar->setValue(1);
        for (const char* name :
             {"bothChannelsRadio", "partialSeparationRadio", "separateChannelsRadio"})
            QVERIFY2(!rig.get<QRadioButton>(name)->isChecked(), name);
        QCOMPARE(static_cast<int>(rig.state().ChannelMode), 1);
        weight->click();
        QCOMPARE(static_cast<int>(rig.state().ChannelMode), 2);
        QCOMPARE(bar->value(), 2);
        rig.get<QRadioButton>("separateChannelsRadio")->click();
        QCOMPARE(bar->value(), 4);
        QVERIFY(!weight->isChecked());
        bar->setValue(3);
        QVERIFY(!rig.get<QRadioButton>("separateChannelsRadio")->isChecked());
        QCOMPARE(static_cast<int>(rig.state().ChannelMode), 3);

        auto* bands = rig.get<QSlider>("bandLevelSlider");
        bands->setValue(4);
        QVERIFY(rig.get<QRadioButton>("peakLevelRadio")->isChecked());
        QCOMPARE(static_cast<int>(rig.state().BandLevelMode), 4);
        bands->setValue(3);
        QVERIFY(!rig.get<QRadioButton>("peakLevelRadio")->isChecked());
        QCOMPARE(static_cast<int>(rig.state().BandLevelMode), 3);
        rig.get<QRadioButton>("averageLevelRadio")->click();
        QCOMPARE(bands->value(), 0);
        QCOMPARE(static_cast<int>(rig->Processing().ReadSettings().BandLevelMode), 0);
    }

    void spinEditsReplaceValuesBeyondTheirLimits() {
        TempDir dir;
        WindowRig rig(dir);
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        rig.get<QCheckBox>("levellingCheck")->click();
        auto* hiPass = rig.get<QSpinBox>("highPassSpin");
        auto type = [&](QSpinBox* spin, const QString& text) {
            spin->setFocus();
            spin->selectAll();
            QTest::keyClicks(spin, text);
            QTest::keyClick(spin, Qt::Key_Return);
        };
        type(hiPass, "300");
        QCOMPARE(hiPass->value(), 250);
        type(hiPass, "3");
        QCOMPARE(hiPass->value(), 16);
        type(hiPass, "99");
        QCOMPARE(hiPass->value(), 99);
        QCOMPARE(rig->Processing().ReadSettings().HighPassHz, 99);

        // Entering a spin edit repaints the target display.
        PaintCounter counter;
        rig.get<QWidget>("targetView")->installEventFilter(&counter);
        QTest::qWait(20);
        const int before = counter.paints;
        rig.get<QSpinBox>("limitSpin")->setFocus();
        QTRY_VERIFY(counter.paints > before);
    }

    void emptiedDocumentIsReleasedOnOpenAndOnClose() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "a.wav").string(), MakeWav(dir, "b.wav").string()};
        rig->Documents().Open();
        const auto firstSwap = rig.state().Document->Memory().FileName();
        // Every frame deleted: the document stays, without data.
        DeleteBlock(*rig.state().Document, 0, rig.state().Document->FrameCount());
        WindowProbe::MarkLoaded(*rig, rig.state().Document->HasData());
        rig->EnableCommands(rig.state().WaveLoaded);
        QVERIFY(!rig.state().WaveLoaded);
        QVERIFY(std::filesystem::exists(firstSwap));
        rig->Documents().Open();
        QVERIFY(!std::filesystem::exists(firstSwap));
        QVERIFY(rig.state().WaveLoaded);

        DeleteBlock(*rig.state().Document, 0, rig.state().Document->FrameCount());
        WindowProbe::MarkLoaded(*rig, false);
        const auto secondSwap = rig.state().Document->Memory().FileName();
        rig->show();
        QVERIFY(rig->close());
        QVERIFY(!std::filesystem::exists(secondSwap));
        QVERIFY(!rig.state().Document);
    }

    void loudnessIsShownAndNormalizeCanTargetIt() {
        TempDir dir;
        WindowRig rig(dir);
        QCOMPARE(PanelText(rig, 5), QStringLiteral("Loudness:"));
        rig.files.openNames = {MakeWav(dir, "a.wav").string()};
        rig->Documents().Open();
        const QString loaded = PanelText(rig, 5);
        QVERIFY2(loaded.startsWith("Loudness: -") && loaded.contains(" LUFS  LRA ") &&
                     loaded.endsWith(" dBTP"),
                 qPrintable(loaded));

        // LUFS mode: the spin edit takes loudness targets and Normalize reaches them.
        auto* unit = rig.get<QComboBox>("normalizeUnitCombo");
        auto* value = rig.get<QSpinBox>("normalizeSpin");
        value->setValue(-3);
        unit->setCurrentIndex(1);
        QCOMPARE(value->minimum(), -70);
        QCOMPARE(value->value(), -16);
        value->setValue(-23);
        rig->Processing().Normalize();
        QVERIFY2(PanelText(rig, 5).startsWith("Loudness: -23.0 LUFS"),
                 qPrintable(PanelText(rig, 5)));
        QVERIFY(!rig.state().Flags.DataSaved);
        // Remaster It normalizes by loudness in this mode too, as its last stage.
        rig.get<QCheckBox>("normalizeCheck")->setChecked(true);
        value->setValue(-30);
        rig->Processing().Remaster();
        QVERIFY2(PanelText(rig, 5).startsWith("Loudness: -30.0 LUFS") &&
                     !PanelText(rig, 5).contains("held"),
                 qPrintable(PanelText(rig, 5)));
        // The true-peak ceiling takes the per-channel check's place and holds: -3 LUFS on this
        // recording would put its peaks above -6 dBTP.
        auto* ceiling = rig.get<QSpinBox>("truePeakSpin");
        QVERIFY(!ceiling->isHidden() && rig.get<QCheckBox>("perChannelCheck")->isHidden());
        QCOMPARE(ceiling->value(), -1);
        ceiling->setValue(-6);
        value->setValue(-3);
        rig->Processing().Normalize();
        const QString limited = PanelText(rig, 5);
        QVERIFY2(limited.endsWith(QString::fromUtf8(" dBTP, held by the \u2212"
                                                    "6 dBTP ceiling")),
                 qPrintable(limited));
        const double truePeak = limited.section(',', 0, 0).section(' ', -2, -2).toDouble();
        QVERIFY2(truePeak <= -6.0 && truePeak > -7.0, qPrintable(limited));
        unit->setCurrentIndex(0);  // each unit keeps its own value
        QVERIFY(ceiling->isHidden() && !rig.get<QCheckBox>("perChannelCheck")->isHidden());
        QCOMPARE(value->value(), -3);
        QCOMPARE(value->minimum(), -48);

        // The figures are measured beside the window, which stays usable and shows no other
        // window; a command started meanwhile works, and only the newest figures are shown.
        rig.progress.titles.clear();
        rig.dialogs.answers = {true};
        rig.window->Documents().ReturnToSaved();
        QVERIFY(QTest::qWaitFor([&] { return !rig.window->CommandRunning(); }));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        for (const std::string& title : rig.progress.titles)
            QVERIFY2(title != Texts().MeasuringLoudnessTitle, title.c_str());
        unit->setCurrentIndex(1);
        value->setValue(-20);
        rig->Processing().Normalize();
        QVERIFY2(PanelText(rig, 5).startsWith("Loudness: -20.0 LUFS"),
                 qPrintable(PanelText(rig, 5)));
    }

    // Only the newest measurement reports; one stopped reports nothing, and resumes only on
    // the document it measured.
    void onlyTheNewestLoudnessMeasurementReports() {
        TempDir dir;
        WaveEnvironment env;
        env.WorkFolder = dir.path();
        auto first = Wave::CreateFromFile(MakeWav(dir, "a.wav"), env).Document;
        auto second = Wave::CreateFromFile(MakeWav(dir, "b.wav", 2), env).Document;
        QObject window;
        std::vector<std::string> reports;
        BackgroundLoudness loudness(
            [&](std::function<void()> call) {
                QMetaObject::invokeMethod(&window, std::move(call), Qt::QueuedConnection);
            },
            [](std::exception_ptr) { QFAIL("no read fails"); });
        const auto report = [&](std::string name) {
            return [&reports, name](const std::optional<LoudnessFigures>& f) {
                reports.push_back(name + (f ? " " + LoudnessText(*f) : ""));
            };
        };
        for (const std::string row : {"started over", "stopped", "resumed", "not resumed"}) {
            reports.clear();
            loudness.Start(*first, report("first"));
            if (row == "started over") loudness.Start(*second, report("second"));
            if (row != "started over") loudness.Stop();
            if (row == "resumed") loudness.Resume(first.get());
            if (row == "not resumed") loudness.Resume(second.get());
            QVERIFY(QTest::qWaitFor([&] { return !loudness.Running(); }));
            QCoreApplication::processEvents();
            const char* expected = row == "started over" ? "second"
                                   : row == "resumed"    ? "first"
                                                         : nullptr;
            QCOMPARE(reports.size(), std::size_t{expected != nullptr});
            if (expected)
                QVERIFY2(reports[0].starts_with(std::string(expected) + " -"), row.c_str());
        }
    }

    void noCommandStartsWhileAProgressWindowIsOpen() {
        TempDir dir;
        WindowRig rig(dir, /*realProgressWindows=*/true);
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        rig.files.openNames = {MakeWav(dir, "a.wav").string(), MakeWav(dir, "b.wav").string()};
        QStringList titles;
        QString label;
        bool saveIgnored = false;
        bool modal = false;
        // Runs as the "Reading" window is shown, while the file is read on the worker thread.
        rig->OperationWindows().onShown = [&](ProgressWindow& progress) {
            if (!titles.isEmpty()) return;  // the loudness measurement's window follows
            titles << progress.windowTitle();
            label = progress.RemainingCaption()->text();
            modal = progress.isModal() || progress.windowModality() == Qt::WindowModal;
            QVERIFY(!progress.CancelButton()->isEnabled());
            const int opens = rig.files.openCalls;
            rig.get<QAction>("openAction")->trigger();
            rig.window->Documents().SaveAs();
            saveIgnored = rig.files.openCalls == opens && rig.files.saveCalls == 0;
        };
        rig->Documents().Open();
        QCOMPARE(titles, QStringList{"Reading"});
        QCOMPARE(label, QStringLiteral("Estimated time remaining:"));
        QVERIFY(modal);
        QVERIFY(saveIgnored);
        QVERIFY(rig.state().WaveLoaded);
        QCOMPARE(rig.files.openNames.size(), std::size_t{1});  // the second name was not asked for
        QTRY_VERIFY(rig->findChildren<ProgressWindow*>().isEmpty());
    }

    void noTextIsClippedAtTheMinimumSize() {
        TempDir dir;
        WindowRig rig(dir);
        rig->resize(rig->minimumSize());
        rig->show();
        QCoreApplication::processEvents();
        QStringList clipped;
        for (QWidget* w : rig->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(rig.window.get())) continue;
            const bool text = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w);
            const bool slider = qobject_cast<QSlider*>(w);
            if (!text && !slider) continue;
            if (auto* label = qobject_cast<QLabel*>(w); label && label->text().isEmpty()) continue;
            if (qobject_cast<QToolButton*>(w)) continue;
            const QSize hint = w->sizeHint();
            if (w->width() < hint.width() || (slider && w->width() < w->minimumSizeHint().width()))
                clipped << QStringLiteral("%1 %2<%3")
                               .arg(w->objectName())
                               .arg(w->width())
                               .arg(hint.width());
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));

        // A long file name is shortened in the middle, keeping its end, and shown whole as a hint.
        const std::string name = std::string(60, 'n') + "-end.wav";
        rig.files.openNames = {MakeWav(dir, name).string()};
        rig->Documents().Open();
        auto* panel = rig.get<QLabel>("StatusBarPanel4");
        QVERIFY(panel->toolTip().endsWith(QString::fromStdString(name)));
        QVERIFY(panel->width() < panel->fontMetrics().horizontalAdvance(panel->text()));
        QCOMPARE(rig->width(),
                 rig->minimumSize().width());  // the long name did not widen the window
    }

    void progressWindowCloseButtonCancelsLikeCancel() {
        for (const bool cancellable : {true, false}) {
            ProgressWindow window(nullptr);
            window.EnableCancel(cancellable);
            window.Show();
            window.close();  // what a window manager's close button asks for
            QCOMPARE(window.CancelRequested(), cancellable);
            QVERIFY(window.isVisible());  // stays until its operation has stopped
        }
    }

    // The port lives where the operation runs; its window follows it through queued calls.
    void progressWindowShowsEstimateBarAndCancel() {
        QWidget owner;
        owner.resize(400, 300);
        owner.show();
        std::int64_t now = 0;
        ProgressWindows windows(&owner);
        ProgressWindow* shown = nullptr;
        windows.onShown = [&](ProgressWindow& w) { shown = &w; };
        auto port = windows.Factory([&now] { return now; })();
        port->SetCaption("Noise detection");
        port->EnableCancel(true);
        port->SetTotal(1000);
        port->Show();
        QTRY_VERIFY(shown);
        ProgressWindow& window = *shown;
        QCOMPARE(window.windowTitle(), QStringLiteral("Noise detection"));
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(window.isVisible());
        port->SetDone(0);
        now = 10000;
        port->SetDone(500);
        QTRY_COMPARE(window.Gauge()->value(), 150);
        QCOMPARE(window.RemainingTime()->text(), QStringLiteral("0 min  10 s"));
        QCOMPARE(window.Gauge()->text(), QStringLiteral("50%"));
        if (const char* folder = std::getenv("SONIVAR_SCREENSHOTS"))
            window.grab().save(QString::fromLocal8Bit(folder) + "/progress-window.png");

        // Hidden while in progress: back at once. Escape does not close it.
        window.hide();
        QTRY_VERIFY(window.isVisible());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());

        // Cancel reaches the port at once, without waiting for its next report.
        QVERIFY(!port->CancelRequested());
        QTest::mouseClick(window.CancelButton(), Qt::LeftButton);
        QVERIFY(port->CancelRequested());
        port->EnableCancel(false);
        QTRY_VERIFY(!window.CancelButton()->isEnabled());

        port->SetDone(1000);
        QTRY_COMPARE(window.Gauge()->value(), 300);
        window.hide();
        QTest::qWait(20);
        QVERIFY(!window.isVisible());
        // The window goes with its port.
        QPointer<ProgressWindow> gone(&window);
        port.reset();
        QTRY_VERIFY(!gone);
    }

    // Options, timbre, geometry and recent files come back in the next run; a start file shows
    // its loudness; a dropped file opens after the save question, as Open does.
    void settingsAndRecentFilesLastBetweenRunsAndDropsOpen() {
        TempDir dir;
        std::filesystem::create_directories(dir / "work");
        const auto song = MakeWav(dir, "a.wav");
        const auto dropped = MakeWav(dir, "b.wav");
        ScriptedDialogs dialogs;
        ScriptedFiles files;
        const auto run = [&](const std::string& startFile) {
            MainWindowSetup setup;
            setup.dialogs = &dialogs;
            setup.files = &files;
            setup.progress = SilentProgressFactory();
            setup.workFolder = dir / "work";
            setup.timbreFolders = {dir / "timbres"};
            setup.startFile = startFile;
            setup.remembered = RememberedSettings(dir / "config" / "sonivar.conf");
            auto window = std::make_unique<MainWindow>(std::move(setup));
            WaitForCommand(*window);
            return window;
        };
        const auto find = [](MainWindow& w, const char* name) {
            return w.findChild<QWidget*>(QString::fromLatin1(name));
        };
        {
            auto first = run(song.string());
            QVERIFY(WindowProbe::State(*first).WaveLoaded);
            QVERIFY(WindowProbe::State(*first).SpectraShared.Target ==
                    WindowProbe::State(*first).FlatSpectrum);
            QVERIFY(PanelText(*first, 5).startsWith("Loudness: -"));
            static_cast<QCheckBox*>(find(*first, "normalizeCheck"))->setChecked(true);
            static_cast<QRadioButton*>(find(*first, "popTimbreRadio"))->click();
            first->resize(900, 700);
            first->show();
            QVERIFY(first->close());
        }
        RememberedSettings(dir / "config" / "sonivar.conf").KeepNumber("history/steps", 3);
        auto second = run({});
        QCOMPARE(second->Documents().History()->StepLimit(), 3);
        QVERIFY(static_cast<QCheckBox*>(find(*second, "normalizeCheck"))->isChecked());
        QVERIFY(static_cast<QRadioButton*>(find(*second, "popTimbreRadio"))->isChecked());
        QVERIFY(WindowProbe::State(*second).SpectraShared.Target !=
                WindowProbe::State(*second).FlatSpectrum);
        QCOMPARE(second->size(), QSize(900, 700));
        auto* recent = second->findChild<QMenu*>("recentFilesMenu");
        QCOMPARE(recent->actions().size(), 1);
        QCOMPARE(recent->actions()[0]->text(), QStringLiteral("&1 a.wav"));
        recent->actions()[0]->trigger();
        WaitForCommand(*second);
        QCOMPARE(WindowProbe::State(*second).FileName, song.string());

        WindowProbe::MarkSaved(*second, false);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped.string()))});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Qt hands a drop only to the target of a real drag: the window's filter takes it here.
        QVERIFY(second->findChild<QObject*>("fileDropTarget")->eventFilter(second.get(), &drop));
        WaitForCommand(*second);
        QCOMPARE(dialogs.questions, std::vector<std::string>{"Data are not saved, save it?"});
        QCOMPARE(WindowProbe::State(*second).FileName, dropped.string());
        QCOMPARE(recent->actions()[0]->text(), QStringLiteral("&1 b.wav"));
    }

    // A series of operations keeps one window, titled by the series; its percentage is
    // readable over the black bar and over the white rest alike.
    void progressSeriesSharesOneWindowWithReadableText() {
        QWidget owner;
        owner.show();
        ProgressWindows windows(&owner);
        std::vector<ProgressWindow*> shown;
        windows.onShown = [&](ProgressWindow& w) { shown.push_back(&w); };
        windows.BeginSeries([](const std::string& caption) { return caption + " (series)"; });
        for (const char* caption : {"First", "Second"}) {
            auto port = windows.Factory()();
            port->SetCaption(caption);
            port->SetTotal(1000);
            port->Show();
            port->SetDone(490);
            QTRY_COMPARE(shown.size(), std::size_t{caption == std::string("First") ? 1u : 2u});
            QTRY_COMPARE(shown.back()->windowTitle(), QString(caption) + " (series)");
            QTRY_COMPARE(shown.back()->Gauge()->value(), 147);
        }
        QCOMPARE(shown.front(), shown.back());
        // The text differs from what lies under it wherever the bar stands.
        ProgressWindow& window = *shown.back();
        for (const int pixels : {0, 90, 147, 210, 300}) {
            window.ShowPosition(pixels);
            const QImage bar = window.Gauge()->grab().toImage();
            const int filled = pixels * bar.width() / 300;
            int text = 0;
            for (int x = 0; x < bar.width(); ++x)
                for (int y = 0; y < bar.height(); ++y)
                    text += bar.pixelColor(x, y) != QColor(x < filled ? Qt::black : Qt::white);
            QVERIFY2(text > 20, qPrintable(QString::number(pixels)));
        }
        QPointer<ProgressWindow> gone(shown.back());
        windows.EndSeries();
        QTRY_VERIFY(!gone);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
