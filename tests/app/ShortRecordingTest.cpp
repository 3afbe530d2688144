// Recordings of a single frame in the main window: they open, show, play, normalize, delete and
// save; the commands that need more length say how much. And the spectrum view of the window.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/DocumentController.h"
#include "app/ProcessingController.h"
#include "app/SpectrumWindow.h"
#include "text/Language.h"

using namespace sv;
using namespace sv::test;

class ShortRecordingTest : public QObject {
    Q_OBJECT

  private slots:
    void oneFrameOpensPlaysNormalizesDeletesAndSaves() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "one.wav", 2, 1).string()};
        rig->Documents().Open();
        rig->show();
        QVERIFY(rig.state().WaveLoaded);
        QCOMPARE(rig.state().Document->FrameCount(), std::int64_t{1});
        rig->Play();
        rig->StopPlayback();
        rig->Processing().Normalize();
        QVERIFY(rig.dialogs.messages.empty());
        QVERIFY(!rig.state().Flags.DataSaved);
        // Each command that needs more length names it for this rate and channel count.
        struct Refusal {
            void (ProcessingController::*command)();
            const char* message;
        };
        const Refusal refusals[] = {
            {&ProcessingController::FitPeaks, "(at least 4.644 s)"},
            {&ProcessingController::RemoveNoise, "(at least 1.301 s)"},
            {&ProcessingController::DetectTimbre, "(at least 0.372 s)"},
        };
        for (const Refusal& refusal : refusals) {
            (rig->Processing().*refusal.command)();
            QCOMPARE(QString::fromStdString(rig.dialogs.messages.back()),
                     QString("Sample is too short for this method ") + refusal.message);
        }
        rig.files.saveNames = {(dir / "saved.wav").string()};
        rig->Documents().SaveAs();
        QVERIFY(std::filesystem::exists(dir / "saved.wav"));
        rig.window->View().Select(0, 1);
        rig.get<QToolButton>("deleteBlockButton")->click();
        rig.wait();
        QVERIFY(!rig.state().WaveLoaded);
    }

    void spectrumViewMeasuresOnTheWorkerAndShowsBeforeAndAfter() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "a.wav", 2).string()};
        rig->Documents().Open();
        rig->show();
        rig.get<QAction>("spectrumAction")->trigger();
        auto* view = rig.window->findChild<SpectrumWindow*>("spectrumWindow");
        QVERIFY(view);
        QTRY_VERIFY_WITH_TIMEOUT(view->Current() != nullptr, 20000);
        const auto before = view->Current();
        QCOMPARE(before->Channels, 2);
        rig->Processing().Normalize();
        QTRY_VERIFY_WITH_TIMEOUT(view->Current() != before, 20000);
        QCOMPARE(view->Before(), before);

        // Levelling takes the spectrum the view measured and the view the one gathered while
        // levelling wrote: one measuring window, which only shows the walk, and no pass.
        for (const char* stage : {"removeNoiseCheck", "fitPeaksCheck", "normalizeCheck"})
            rig.get<QCheckBox>(stage)->setChecked(false);
        rig.get<QCheckBox>("levellingCheck")->setChecked(true);
        const auto normalized = view->Current();
        rig.progress.titles.clear();
        rig->Processing().Remaster();
        QTRY_VERIFY_WITH_TIMEOUT(view->Current() != normalized, 20000);
        QCOMPARE(view->Before(), normalized);
        QCOMPARE(std::count_if(rig.progress.titles.begin(), rig.progress.titles.end(),
                               [](const std::string& title) {
                                   return title.find(Texts().LevellingDetectionTitle) !=
                                          std::string::npos;
                               }),
                 1);
    }
};

QTEST_MAIN(ShortRecordingTest)
#include "ShortRecordingTest.moc"
