// Processing commands, timbre controls and batch processing through the main window.
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "AppTestSupport.h"
#include "app/BatchDialog.h"
#include "app/BatchReportDialog.h"
#include "app/ChainProgress.h"
#include "app/QtDialogs.h"
#include "text/Language.h"
#include "timbre/TimbreFolders.h"
#include "timbre/Timbres.h"

using namespace sv;
using namespace sv::test;

namespace {

BinSpectrum Curve(BuiltInTimbre timbre) {
    BinSpectrum s{};
    BandsToSpectrum(BuiltInTable(timbre), s);
    return s;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

int CountFiles(const std::filesystem::path& folder) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

void Check(WindowRig& rig, std::initializer_list<const char*> names) {
    for (const char* name : names) rig.get<QCheckBox>(name)->setChecked(true);
}

}  // namespace

class CommandsTest final : public QObject {
    Q_OBJECT

  private slots:
    void remasterWithNoStageCheckedSaysWhatToTick() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "a.wav").string()};
        rig->Documents().Open();
        const Wave* before = rig.state().Document.get();
        WindowProbe::RequestRedraw(*rig);
        rig.progress.titles.clear();
        rig.get<QPushButton>("bigRemasterButton")->click();
        rig.wait();
        QVERIFY(!rig.state().RedrawWave);
        QCOMPARE(rig.state().Document.get(), before);
        QVERIFY(rig.state().Flags.DataSaved);
        QVERIFY(rig.progress.titles.empty());
        QCOMPARE(rig.dialogs.messages,
                 std::vector<std::string>{
                     "Remaster It runs the stages ticked under Additional setting: tick at least "
                     "one of Remove noise, Frequency and dynamic levelling, Fit peak, Normalize."});

        // Ctrl+Enter runs it too, now with normalizing checked.
        Check(rig, {"normalizeCheck"});
        rig->show();
        rig->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        const QImage shown = rig->View().Image();
        QTest::keyClick(rig.window.get(), Qt::Key_Return, Qt::ControlModifier);
        rig.wait();
        QVERIFY(Contains(rig.progress.titles, "Normalizing"));
        QCoreApplication::processEvents();
        QVERIFY(!rig.state().RedrawWave);  // the view shows the new document at once
        QVERIFY(!shown.isNull());
        QVERIFY(rig->View().Image() != shown);
        QVERIFY(!rig.state().Flags.DataSaved);
        QVERIFY(rig.state().Document.get() != before);
    }

    // A cancel ends the whole chain.
    void cancelledNoiseDetectionEndsTheChain() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "a.wav").string()};
        rig->Documents().Open();
        Check(rig, {"removeNoiseCheck", "fitPeaksCheck", "normalizeCheck"});
        rig.progress.titles.clear();
        rig.progress.cancelTitle = "Noise detection";
        rig->Processing().Remaster();
        const auto& titles = rig.progress.titles;
        QVERIFY(Contains(titles, "Noise detection"));
        QVERIFY(!Contains(titles, "Noise removal"));
        QVERIFY(!Contains(titles, "Peeks detection"));
        QVERIFY(!Contains(titles, "Normalizing"));
        QVERIFY(!rig.state().RedrawWave);
        QVERIFY(rig.state().Flags.DataSaved);
        QVERIFY(rig.state().Flags.Cancelled);
        QVERIFY(rig.state().WaveLoaded);
        auto* undo = rig.get<QAction>("undoAction");
        QVERIFY(!undo->isEnabled());  // nothing changed: no undo step

        // Cancelled after a stage completed: the status bar names the stages that ran.
        rig.progress.seen = 0;
        rig.progress.cancelTitle = "Peeks detection";
        rig->Processing().Remaster();
        rig.wait();
        QVERIFY(rig.get<QLabel>("StatusBarPanel5")
                    ->text()
                    .endsWith(QStringLiteral(", cancelled; done before: Remove noise")));
        QVERIFY(undo->isEnabled());  // the stages that ran changed the document: one step
        const QString step = undo->text();
        rig.progress.cancelTitle = "Noise detection";

        // Remove noise alone, cancelled in detection: the document stays as it was.
        rig.markSaved(true);
        rig.progress.seen = 0;
        const Wave* before = rig.state().Document.get();
        rig.get<QAction>("removeNoiseAction")->trigger();
        rig.wait();
        QCOMPARE(rig.state().Document.get(), before);
        QVERIFY(rig.state().Flags.DataSaved);
        QVERIFY(rig.state().Flags.Cancelled);
        QCOMPARE(undo->text(), step);
    }

    // The chain's one progress window names the stage it is in.
    void chainProgressTitleNamesTheStage() {
        RemasterSettings three;
        three.RemoveNoise = three.Levelling = three.Normalize = true;
        RemasterSettings one;
        one.Levelling = true;
        const std::tuple<RemasterSettings, std::string, std::string> cases[] = {
            {three, "Noise detection", "Noise detection \u2014 stage 1 of 3"},
            {three, "Remastering", "Remastering \u2014 stage 2 of 3"},
            {three, "Normalizing", "Normalizing \u2014 stage 3 of 3"},
            {three, "Reading", "Reading"},
            {one, "Remastering", "Remastering"},
        };
        for (const auto& [settings, caption, title] : cases)
            QCOMPARE(ChainProgressTitle(settings)(caption), title);
    }

    // Closing the window while a command works on the document cancels the operation and closes
    // once the command has ended, instead of releasing the document under it.
    void closingDuringAnOperationWaitsForItsEnd() {
        TempDir dir;
        WindowRig rig(dir, /*realProgressWindows=*/true);
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        rig.files.openNames = {MakeWav(dir, "a.wav").string()};
        rig->Documents().Open();
        Check(rig, {"removeNoiseCheck"});
        bool stillOpenInside = false;
        QTimer::singleShot(0, rig.window.get(), [&] {
            rig.window->close();
            // The document is with the operation, not released.
            stillOpenInside = rig.window->CommandRunning() && rig.window->isVisible() &&
                              CountFiles(dir / "work") >= 1;
        });
        rig->Processing().Remaster();
        QVERIFY(stillOpenInside);
        QVERIFY(rig.state().Flags.Cancelled);
        QVERIFY(rig.state().Flags.DataSaved);
        QTRY_VERIFY(!rig->isVisible());
        QVERIFY(!rig.state().Document);
        QVERIFY(rig.dialogs.questions.empty());
        QCOMPARE(CountFiles(dir / "work"), 0);
    }

    void detectionSetsTheExampleAndACancelledOneLeavesTheTarget() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "a.wav", 2).string()};
        rig->Documents().Open();
        rig.get<QRadioButton>("splitTimbreRadio")->click();
        QVERIFY(rig.state().SpectraShared.Target == Curve(BuiltInTimbre::Split));

        rig.progress.cancelTitle = "Remastering detection";
        rig->Processing().DetectTimbre();
        QVERIFY(!rig.state().SpectraShared.ExampleReady);
        QVERIFY(rig.state().SpectraShared.Target == Curve(BuiltInTimbre::Split));
        QVERIFY(rig.get<QRadioButton>("splitTimbreRadio")->isChecked());

        // "From example" without one: the message, and back to Clear.
        rig.get<QRadioButton>("detectedTimbreRadio")->click();
        QCOMPARE(rig.dialogs.messages.back(), std::string("Detect sound timbre example first!"));
        QVERIFY(rig.get<QRadioButton>("clearTimbreRadio")->isChecked());
        QVERIFY(!rig.get<QRadioButton>("detectedTimbreRadio")->isChecked());
        QVERIFY(rig.state().SpectraShared.Target == Curve(BuiltInTimbre::Clear));

        rig.progress.cancelTitle.clear();
        rig.get<QComboBox>("storedTimbreCombo")->setEditText("typed");
        const bool savedBefore = rig.state().Flags.DataSaved;
        rig.get<QToolButton>("detectButton")->click();
        rig.wait();
        QVERIFY(rig.state().SpectraShared.ExampleReady);
        QVERIFY(rig.get<QRadioButton>("detectedTimbreRadio")->isChecked());
        QVERIFY(rig.state().SpectraShared.Target == rig.state().SpectraShared.Example);
        QVERIFY(rig.state().SpectraShared.Target != Curve(BuiltInTimbre::Clear));
        QVERIFY(rig.get<QComboBox>("storedTimbreCombo")->currentText().isEmpty());
        QCOMPARE(rig.state().Flags.DataSaved, savedBefore);
    }

    void storedTimbresAreSavedListedSelectedAndErased() {
        TempDir dir;
        WindowRig rig(dir);
        auto* box = rig.get<QComboBox>("storedTimbreCombo");
        auto* save = rig.get<QToolButton>("saveTimbreButton");
        auto* erase = rig.get<QToolButton>("deleteTimbreButton");
        const auto folder = dir / "timbres";

        box->setEditText("");
        save->click();
        QCOMPARE(rig.dialogs.messages.back(), std::string("You must enter timbre name"));
        QCOMPARE(Items(box), QStringList{});

        rig.get<QRadioButton>("popTimbreRadio")->click();
        box->setEditText("Mine");
        save->click();
        QVERIFY(std::filesystem::exists(folder / "Mine.sts"));
        QCOMPARE(Items(box), QStringList{"Mine"});
        QCOMPARE(box->currentText(), QStringLiteral("Mine"));
        QVERIFY(rig.get<QRadioButton>("popTimbreRadio")->isChecked());
        const std::string popFile = ReadFile(folder / "Mine.sts");

        // An existing name is overwritten only after Yes.
        rig.get<QRadioButton>("clearTimbreRadio")->click();
        rig.dialogs.answers = {false};
        save->click();
        QCOMPARE(rig.dialogs.questions.back(), std::string("Would you overwrite \"Mine\""));
        QCOMPARE(ReadFile(folder / "Mine.sts"), popFile);

        box->setEditText("alpha");
        save->click();
        QCOMPARE(Items(box), (QStringList{"alpha", "Mine"}));
        // Deletable right after saving, without picking it from the list first.
        rig.dialogs.answers = {true};
        erase->click();
        QVERIFY(!std::filesystem::exists(folder / "alpha.sts"));
        box->setEditText("alpha");
        save->click();

        // Picking a stored timbre makes it the example and the target.
        box->setCurrentIndex(1);
        emit box->activated(1);
        BinSpectrum expected{};
        LoadTimbre(expected, folder / "Mine.sts");
        QVERIFY(rig.state().SpectraShared.ExampleReady);
        QVERIFY(rig.state().SpectraShared.Target == expected);
        QVERIFY(rig.get<QRadioButton>("detectedTimbreRadio")->isChecked());
        rig.get<QRadioButton>("clearTimbreRadio")->click();
        rig.get<QRadioButton>("detectedTimbreRadio")->click();
        QVERIFY(rig.state().SpectraShared.Target == expected);

        // Typed text that was not picked erases nothing.
        const auto questions = rig.dialogs.questions.size();
        box->setEditText("alpha");
        erase->click();
        QCOMPARE(rig.dialogs.questions.size(), questions);
        QVERIFY(std::filesystem::exists(folder / "alpha.sts"));

        box->setCurrentIndex(0);
        emit box->activated(0);
        rig.dialogs.answers = {true};
        erase->click();
        QCOMPARE(rig.dialogs.questions.back(), std::string("Would you erase \"alpha\""));
        QVERIFY(!std::filesystem::exists(folder / "alpha.sts"));
        QCOMPARE(Items(box), QStringList{"Mine"});
        QVERIFY(box->currentText().isEmpty());

        // A name that would leave the timbre folder is refused like any unwritable name.
        box->setEditText("../escape");
        save->click();
        QCOMPARE(rig.dialogs.messages.back(),
                 std::string("Name contains non-permissible characters"));
        QVERIFY(!std::filesystem::exists(dir / "escape.sts"));
        QVERIFY(box->currentText().isEmpty());

        // A timbre that cannot be read leaves everything as it was.
        WriteFile(folder / "broken.sts", "not a number\r\n");
        rig->ListTimbres();
        rig.get<QRadioButton>("splitTimbreRadio")->click();
        box->setCurrentIndex(box->findText("broken"));
        emit box->activated(box->currentIndex());
        QVERIFY(rig.get<QRadioButton>("splitTimbreRadio")->isChecked());
        QVERIFY(rig.state().SpectraShared.Target == Curve(BuiltInTimbre::Split));
        QVERIFY(!rig.dialogs.messages.empty());
        QVERIFY(!rig->CommandRunning());
    }

    void timbresOfBothFoldersAreListed() {
        TempDir dir;
        std::filesystem::create_directories(dir / "program");
        std::filesystem::create_directories(dir / "user");
        SaveTimbre(Curve(BuiltInTimbre::Drum), dir / "user" / "Shared.sts");
        const auto folders = TimbreFoldersOf({dir / "program", dir / "user"});
        QCOMPARE(folders.SavePath("x"), dir / "program" / "x.sts");
        QCOMPARE(folders.Find("Shared").value(), dir / "user" / "Shared.sts");
        QVERIFY(!folders.Find("none"));

        ScriptedDialogs dialogs;
        ScriptedFiles files;
        MainWindowSetup setup;
        setup.dialogs = &dialogs;
        setup.files = &files;
        setup.workFolder = dir.path();
        setup.timbreFolders = {dir / "program", dir / "user"};
        setup.storeWindowValues = SmallStoreWindow;
        MainWindow window(std::move(setup));
        QCOMPARE(Items(window.findChild<QComboBox*>("storedTimbreCombo")), QStringList{"Shared"});

        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir / "data").string()));
        QCOMPARE(UserTimbreFolder(), dir / "data" / "sonivar");
        const auto defaults = DefaultTimbreFolders();
        QCOMPARE(defaults.ListFolders.size(), std::size_t{2});
        QVERIFY(std::find(defaults.ListFolders.begin(), defaults.ListFolders.end(),
                          dir / "data" / "sonivar") != defaults.ListFolders.end());
        qunsetenv("XDG_DATA_HOME");

        // Without HOME the account's home is used, never a folder anyone may write into.
        const QByteArray home = qgetenv("HOME");
        qunsetenv("HOME");
        const auto fallback = UserTimbreFolder();
        const auto fallbackDefaults = DefaultTimbreFolders();
        qputenv("HOME", home);
        for (const auto& folder : fallbackDefaults.ListFolders) QVERIFY(!folder.empty());
        if (!fallback.empty()) {
            QVERIFY(fallback.string().rfind("/tmp", 0) != 0);
            struct stat info {};
            QVERIFY(::stat(fallback.parent_path().parent_path().parent_path().c_str(), &info) == 0);
            QVERIFY((info.st_mode & S_IWOTH) == 0);
        }
    }

    void batchRenamesIntoTheSameFolderWithoutReprocessing() {
        TempDir dir;
        WindowRig rig(dir);
        const auto folder = dir / "songs";
        std::filesystem::create_directories(folder);
        for (const char* name : {"a.wav", "b.wav", "c.wav"})
            MakeWav(dir, std::string("songs/") + name);
        // An unsaved document open before the batch goes after the question.
        rig.files.openNames = {MakeWav(dir, "open.wav").string()};
        rig->Documents().Open();
        rig.markSaved(false);

        rig.files.batch = {true, false, folder, folder, {"a.wav", "b.wav", "c.wav"}};
        rig.dialogs.answers = {false};
        rig.get<QAction>("batchAction")->trigger();
        rig.wait();
        QCOMPARE(rig.dialogs.questions, std::vector<std::string>{"Data are not saved, save it?"});
        for (const char* name : {"a.wav", "b.wav", "c.wav"})
            QCOMPARE(ReadFile(folder / (std::string("_") + name)), ReadFile(folder / name));
        QCOMPARE(CountFiles(folder), 6);
        QVERIFY(!rig.state().WaveLoaded);
        QVERIFY(!rig.get<QToolButton>("saveButton")->isEnabled());
        QVERIFY(rig->centralWidget()->isEnabled());
        QCOMPARE(CountFiles(dir / "work"), 0);
        // No document is left, so the status bar names none.
        QCOMPARE(rig.get<QLabel>("StatusBarPanel4")->text(),
                 QString::fromStdString(Texts().FileNamePanel + ":"));
        QCOMPARE(rig.get<QLabel>("StatusBarPanel0")->text(),
                 QString::fromStdString(Texts().SampleCountPanel + ":"));
    }

    void batchMessagesNameTheFileTheyAreAbout() {
        TempDir dir;
        WindowRig rig(dir);
        const auto folder = dir / "songs";
        std::filesystem::create_directories(folder);
        MakeWav(dir, "songs/good.wav");
        WavLayout floatSamples;
        floatSamples.formatTag = 3;
        floatSamples.frames = 100000;
        WriteWav(folder / "float.wav", floatSamples, [](std::int64_t, int) { return 0; });
        WriteFile(folder / "text.wav", "not a sound");
        // The refusals are gathered into one list at the end, one line per file.
        rig.files.batch = {true, false, folder, folder, {"float.wav", "text.wav", "good.wav"}};
        rig->Processing().ProcessBatch();
        rig.wait();
        QVERIFY(rig.dialogs.messages.empty());
        QCOMPARE(rig.files.batchReports.size(), std::size_t{1});
        const std::string refused =
            Texts().NotPcmMessage + ": 16-bit float samples are not supported";
        const std::vector<FileProblem>& report = rig.files.batchReports[0];
        QCOMPARE(report.size(), std::size_t{2});
        QVERIFY(report[0] == (FileProblem{"float.wav", refused + " (float.wav)"}));
        QCOMPARE(report[1].File, "text.wav");
        // The list window: a row per file, its name and the message.
        BatchReportDialog list(nullptr, report);
        const QTableWidget& table = list.Table();
        QCOMPARE(table.columnCount(), 2);
        QCOMPARE(table.horizontalHeaderItem(1)->text().toStdString(), Texts().ReportMessageCaption);
        for (int row = 0; row < 2; ++row)
            QVERIFY(table.item(row, 0)->text().toStdString() == report[row].File &&
                    table.item(row, 1)->text().toStdString() == report[row].Message);
        list.resize(900, 500);
        QCOMPARE(list.size(), QSize(900, 500));
        if (const char* shots = std::getenv("SONIVAR_SCREENSHOTS"))
            list.grab().save(QString::fromLocal8Bit(shots) + "/batch-report.png");
        QVERIFY(std::filesystem::exists(folder / "_good.wav"));
        // Outside a batch the message names the file the same way.
        rig.files.openNames = {(folder / "float.wav").string()};
        rig->Documents().Open();
        QCOMPARE(rig.dialogs.messages.back(), refused + " (float.wav)");
    }

    void batchOverwriteReplacesOnlyConfirmedFiles() {
        TempDir dir;
        WindowRig rig(dir);
        const auto folder = dir / "songs";
        std::filesystem::create_directories(folder);
        for (const char* name : {"a.wav", "b.wav", "c.wav"})
            MakeWav(dir, std::string("songs/") + name);
        const std::string original = ReadFile(folder / "a.wav");
        Check(rig, {"normalizeCheck"});
        rig.get<QSpinBox>("normalizeSpin")->setValue(-6);
        rig.dialogs.answers = {true, false, true};
        rig.files.batch = {true, true, folder, folder, {"a.wav", "b.wav", "c.wav"}};
        rig->Processing().ProcessBatch();
        QCOMPARE(rig.dialogs.questions.size(), std::size_t{3});
        QCOMPARE(rig.dialogs.questions[1],
                 "File " + (folder / "b.wav").string() + " already exist, overwrite?");
        QVERIFY(ReadFile(folder / "a.wav") != original);
        QCOMPARE(ReadFile(folder / "b.wav"), original);
        QVERIFY(ReadFile(folder / "c.wav") != original);
        QCOMPARE(CountFiles(folder), 3);
    }

    void cancelInTheThirdFileStopsTheBatchWithThatFileLoaded() {
        TempDir dir;
        WindowRig rig(dir);
        const auto folder = dir / "in";
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(dir / "out");
        const std::vector<std::string> names = {"1.wav", "2.wav", "3.wav", "4.wav"};
        for (const auto& name : names) MakeWav(dir, "in/" + name);
        Check(rig, {"removeNoiseCheck", "normalizeCheck"});
        rig.progress.cancelTitle = "Noise detection";
        rig.progress.cancelOccurrence = 3;
        rig.files.batch = {true, false, folder, dir / "out", names};
        rig->Processing().ProcessBatch();
        QVERIFY(std::filesystem::exists(dir / "out" / "_1.wav"));
        QVERIFY(std::filesystem::exists(dir / "out" / "_2.wav"));
        QVERIFY(!std::filesystem::exists(dir / "out" / "_3.wav"));
        QVERIFY(!std::filesystem::exists(dir / "out" / "_4.wav"));
        QCOMPARE(std::count(rig.progress.titles.begin(), rig.progress.titles.end(), "Normalizing"),
                 2);
        QVERIFY(rig.state().WaveLoaded);
        QCOMPARE(rig.state().FileName, (folder / "3.wav").string());
        QVERIFY(rig.get<QToolButton>("saveButton")->isEnabled());
        QVERIFY(rig->centralWidget()->isEnabled());
    }

    void batchWindowListsWavFilesAndRecordsTheChoice() {
        TempDir dir;
        std::filesystem::create_directories(dir / "src" / "folder.wav");
        std::filesystem::create_directories(dir / "dst");
        for (const char* name : {"b.wav", "A.wav", "c.wav", "notes.txt"})
            WriteFile(dir / "src" / name, "x");
        {
            // Each side opens on its last folder, or on the home folder without one; it grows.
            const std::pair<std::filesystem::path, QString> starts[] = {
                {{}, QDir::homePath()},
                {dir / "missing", QDir::homePath()},
                {dir / "dst", QString::fromStdString((dir / "dst").string())}};
            for (const auto& [start, shown] : starts) {
                BatchDialog opened(nullptr, start, start);
                QCOMPARE(opened.findChild<QLabel*>("Label3")->text(), shown);
                QCOMPARE(opened.findChild<QLabel*>("Label4")->text(), shown);
                QCOMPARE(QString::fromStdString(opened.SourceFolder().string()), shown);
            }
            BatchDialog batch;
            QCOMPARE(batch.windowTitle(), QStringLiteral("Batch"));
            batch.resize(800, 600);
            QCOMPARE(batch.size(), QSize(800, 600));
            batch.SelectSource(dir / "src");
            batch.SelectDestination(dir / "dst");
            QCOMPARE(batch.findChild<QLabel*>("Label3")->text().toStdString(),
                     (dir / "src").string());
            QCOMPARE(batch.findChild<QLabel*>("Label4")->text().toStdString(),
                     (dir / "dst").string());
            QCOMPARE(batch.SourceNames(), (std::vector<std::string>{"A.wav", "b.wav", "c.wav"}));
            QCOMPARE(batch.findChild<QListWidget*>("FileSource")->count(), 3);
            QVERIFY(batch.findChild<QRadioButton*>("renameRadio")->isChecked());
            batch.show();
            batch.findChild<QRadioButton*>("overwriteRadio")->click();
            batch.findChild<QPushButton*>("batchButton")->click();
            const BatchChoice choice = batch.Choice();
            QVERIFY(choice.StartBatch);
            QVERIFY(choice.Overwrite);
            QCOMPARE(choice.DestinationFolder, dir / "dst");
            QCOMPARE(choice.SourceNames.size(), std::size_t{3});
            if (const char* shots = std::getenv("SONIVAR_SCREENSHOTS"))
                batch.grab().save(QString::fromLocal8Bit(shots) + "/batch-window.png");
        }
        // The Open dialog offers every readable format first.
        QVERIFY(OpenFilters().front().startsWith(QString::fromStdString(Texts().SoundFilesFilter)));
        BatchDialog cancelled;
        cancelled.show();
        cancelled.findChild<QPushButton*>("cancelButton")->click();
        QVERIFY(!cancelled.StartBatch());
        QVERIFY(!cancelled.Overwrite());
        QVERIFY(!cancelled.isVisible());
    }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
