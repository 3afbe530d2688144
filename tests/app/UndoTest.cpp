// Undo and redo of a command sequence through the keyboard.
#include <QAction>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "text/Language.h"

using namespace sv;
using namespace sv::test;

namespace {

std::vector<std::int32_t> Samples(Wave& wave) {
    std::vector<std::int32_t> values(static_cast<std::size_t>(wave.FrameCount() * wave.Channels()));
    wave.ReadInterleaved(values.data(), SampleIndex{0}, static_cast<std::int64_t>(values.size()));
    return values;
}

}  // namespace

class UndoTest final : public QObject {
    Q_OBJECT

  private slots:
    // Each row walks the steps by keys (u: Ctrl+Z, r: Ctrl+Shift+Z, y: Ctrl+Y, s: Ctrl+S)
    // from the last command; after each key the document, the menu and the unsaved mark must
    // match the step reached (0: as opened, 3: after the last command).
    void keysWalkTheStepsOfACommandSequence() {
        const auto& t = Texts();
        const std::vector<std::string> names = {t.NormalizeCaption, t.DeleteBlockCaption,
                                                t.FitPeaksCaption};
        struct Row {
            const char* keys;
            std::vector<int> steps;  // reached after each key
        };
        const Row rows[] = {
            {"uuuu", {2, 1, 0, 0}},
            {"uuurrrr", {2, 1, 0, 1, 2, 3, 3}},
            {"uyuyuuy", {2, 3, 2, 3, 2, 1, 2}},
            {"uursuuyy", {2, 1, 2, 2, 1, 0, 1, 2}},
        };
        for (const Row& row : rows) {
            TempDir dir;
            WindowRig rig(dir);
            rig.dialogs.fallbackAnswer = true;  // overwrite the file on Save
            // Long enough to load again after the block is gone.
            rig.files.openNames = {MakeWav(dir, "a.wav", 1, 2 * Wave::MinimumValues).string()};
            rig->Open();
            rig->show();
            rig->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
            auto* undo = rig.get<QAction>("undoAction");
            auto* redo = rig.get<QAction>("redoAction");
            QCOMPARE(rig.get<QMenu>("editMenu")->actions().first(), undo);
            QVERIFY(!undo->isEnabled() && !redo->isEnabled());

            std::vector<std::vector<std::int32_t>> expected = {Samples(*rig.state().Document)};
            rig.get<QToolButton>("normalizeButton")->click();
            rig.wait();
            expected.push_back(Samples(*rig.state().Document));
            rig.state().View.BlockStart = 1000;
            rig.state().View.BlockEnd = 60000;
            rig.get<QAction>("deleteBlockAction")->trigger();
            rig.wait();
            expected.push_back(Samples(*rig.state().Document));
            rig.get<QAction>("fitPeaksAction")->trigger();
            rig.wait();
            expected.push_back(Samples(*rig.state().Document));
            for (std::size_t i = 1; i < expected.size(); ++i)
                QVERIFY(expected[i] != expected[i - 1]);

            int saved = 0;
            for (std::size_t k = 0; row.keys[k]; ++k) {
                switch (row.keys[k]) {
                    case 'u':
                        QTest::keyClick(rig.window.get(), Qt::Key_Z, Qt::ControlModifier);
                        break;
                    case 'r':
                        QTest::keyClick(rig.window.get(), Qt::Key_Z,
                                        Qt::ControlModifier | Qt::ShiftModifier);
                        break;
                    case 'y':
                        QTest::keyClick(rig.window.get(), Qt::Key_Y, Qt::ControlModifier);
                        break;
                    case 's':
                        QTest::keyClick(rig.window.get(), Qt::Key_S, Qt::ControlModifier);
                        saved = row.steps[k];
                        break;
                }
                rig.wait();
                const int step = row.steps[k];
                const std::string at = std::string(row.keys) + " key " + std::to_string(k);
                QVERIFY2(Samples(*rig.state().Document) == expected[step], at.c_str());
                QCOMPARE(undo->text().toStdString(),
                         step > 0 ? t.UndoCaption + " " + names[step - 1] : t.UndoCaption);
                QCOMPARE(redo->text().toStdString(),
                         step < 3 ? t.RedoCaption + " " + names[step] : t.RedoCaption);
                QCOMPARE(undo->isEnabled(), step > 0);
                QCOMPARE(redo->isEnabled(), step < 3);
                QVERIFY2(rig.state().Flags.DataSaved == (step == saved), at.c_str());
            }
            // Return to saved is a step of its own, taken back like the others.
            const int last = row.steps.back();
            QTest::keyClick(rig.window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
            rig.wait();
            // A step written by Save comes back through the file's format, not sample for sample:
            // only the opened file's samples are compared.
            if (saved == 0) QVERIFY(Samples(*rig.state().Document) == expected[0]);
            QCOMPARE(undo->text(),
                     QString::fromStdString(t.UndoCaption + " " + t.ReturnToSavedCaption));
            QVERIFY(rig.state().Flags.DataSaved && !redo->isEnabled());
            QTest::keyClick(rig.window.get(), Qt::Key_Z, Qt::ControlModifier);
            rig.wait();
            QVERIFY(Samples(*rig.state().Document) == expected[last]);
            QVERIFY(last == saved || !rig.state().Flags.DataSaved);
        }
    }
};

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
