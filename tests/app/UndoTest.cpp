// Undo and redo of a command sequence through the keyboard.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <map>

#include "AppTestSupport.h"
#include "app/QtText.h"
#include "text/Language.h"

using namespace sv;
using namespace sv::test;

class UndoTest final : public QObject {
    Q_OBJECT

  private slots:
    // Each row pairs keys (u: Ctrl+Z, r: Ctrl+Shift+Z, y: Ctrl+Y, s: Ctrl+S) with the step each
    // reaches (0: as opened, 3: after the three commands); the document, the menu and the
    // unsaved mark must match it. Return to saved (Ctrl+Shift+O) then undone ends each row.
    void keysWalkTheStepsOfACommandSequence() {
        const auto& t = Texts();
        const std::map<char, QKeySequence> keys = {{'u', {"Ctrl+Z"}},
                                                   {'r', {"Ctrl+Shift+Z"}},
                                                   {'y', {"Ctrl+Y"}},
                                                   {'s', {"Ctrl+S"}},
                                                   {'o', {"Ctrl+Shift+O"}}};
        const std::string names[] = {t.NormalizeCaption, t.DeleteBlockCaption, t.FitPeaksCaption};
        for (const char* row :
             {"u2u1u0u0", "u2u1u0r1r2r3r3", "u2y3u2y3u2u1y2", "u2u1r2s2u1u0y1y2"}) {
            TempDir dir;
            WindowRig rig(dir);
            rig.dialogs.fallbackAnswer = true;  // overwrite on Save, discard on Return to saved
            // Long enough to load again after the block is gone; no longer, as every step's
            // loudness is measured.
            rig.files.openNames = {MakeWav(dir, "a.wav", 1, Wave::MinimumValues + 65536).string()};
            rig->Documents().Open();
            rig->show();
            rig->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
            auto* undo = rig.get<QAction>("undoAction");
            auto* redo = rig.get<QAction>("redoAction");
            QCOMPARE(rig.get<QMenu>("editMenu")->actions().first(), undo);
            // The next key comes while the loudness of the step reached is still measured.
            auto press = [&](char key) {
                QTest::keySequence(rig.window.get(), keys.at(key));
                QVERIFY(QTest::qWaitFor([&] { return !rig.window->CommandRunning(); }));
            };
            auto samples = [&] {
                Wave& wave = *rig.state().Document;
                std::vector<std::int32_t> values(std::size_t(wave.FrameCount() * wave.Channels()));
                ReadInterleaved(wave, values.data(), SampleIndex{0}, std::int64_t(values.size()));
                return values;
            };

            std::vector<std::vector<std::int32_t>> steps = {samples()};
            rig.window->View().Select(1000, 60000);
            for (const char* action : {"normalizeAction", "deleteBlockAction", "fitPeaksAction"}) {
                rig.get<QAction>(action)->trigger();
                rig.wait();
                steps.push_back(samples());
                QVERIFY(steps.back() != steps[steps.size() - 2]);
            }
            int step = 3, saved = 0;
            for (const char* at = row; *at; at += 2) {
                press(at[0]);
                step = at[1] - '0';
                if (at[0] == 's') saved = step;
                QVERIFY2(samples() == steps[step], at);
                QCOMPARE(undo->text(),
                         Q(step > 0 ? t.UndoCaption + " " + names[step - 1] : t.UndoCaption));
                QCOMPARE(redo->text(),
                         Q(step < 3 ? t.RedoCaption + " " + names[step] : t.RedoCaption));
                QCOMPARE(undo->isEnabled(), step > 0);
                QCOMPARE(redo->isEnabled(), step < 3);
                QVERIFY2(rig.state().Flags.DataSaved == (step == saved), at);
            }
            // Return to saved is a step of its own. What Save wrote comes back through the file's
            // format, so only the opened file's samples are compared.
            press('o');
            if (saved == 0) QVERIFY(samples() == steps[0]);
            QCOMPARE(undo->text(), Q(t.UndoCaption + " " + t.ReturnToSavedCaption));
            QVERIFY(rig.state().Flags.DataSaved && !redo->isEnabled());
            press('u');
            QVERIFY(samples() == steps[step]);
            QVERIFY(step == saved || !rig.state().Flags.DataSaved);
            // Each step's loudness was measured without a window of its own.
            rig.wait();
            const QString loudness =
                rig->statusBar()->findChild<QLabel*>("StatusBarPanel5")->text();
            QVERIFY2(loudness.startsWith("Loudness: -") && loudness.endsWith(" dBTP"),
                     qPrintable(loudness));
            for (const std::string& title : rig.progress.titles)
                QVERIFY2(title != t.MeasuringLoudnessTitle, title.c_str());
        }
    }
};

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
