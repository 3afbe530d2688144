// What the window tells without being asked: the title with its unsaved mark, the drawing after
// To start, the focus kept through a redraw, and playback stopping only for the program's own
// windows.
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QTest>

#include "AppTestSupport.h"
#include "playback/CaptureSoundOutput.h"

using namespace sv;
using namespace sv::test;

class WindowCuesTest final : public QObject {
    Q_OBJECT

  private slots:
    void titleDrawingAndFocusFollowTheDocument() {
        TempDir dir;
        CaptureSoundOutput sound;
        WindowRig rig(dir, false, {}, false, &sound);
        const auto file = MakeWav(dir, "take.wav", 2, 441000);
        rig.files.openNames = {file.string()};
        rig->Documents().Open();
        rig->show();
        QCOMPARE(rig->windowTitle(), QString::fromUtf8("take.wav[*] \u2014 Sonivar"));
        QVERIFY(!rig->isWindowModified());

        // Changed, then saved to its own file: marked, then not, and Save does not ask about
        // replacing the document's own file.
        rig->Processing().Normalize();
        QVERIFY(rig->isWindowModified());
        rig->Documents().Save();
        QVERIFY(rig.dialogs.questions.empty());
        QVERIFY(!rig->isWindowModified());

        // To start draws the view without the old selection.
        rig->View().Select(Frames(rig) / 4, Frames(rig) / 2);
        const QImage selected = rig->View().Image();
        rig->GoToStart();
        const QImage afterToStart = rig->View().Image();
        rig->View().Redraw();
        QVERIFY(selected != rig->View().Image());
        QCOMPARE(afterToStart, rig->View().Image());

        // The keyboard focus stays in the waveform through a redraw.
        rig->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        auto* wave = rig->findChild<QWidget*>("waveView");
        wave->setFocus();
        rig->View().Paint();
        QCOMPARE(QApplication::focusWidget(), wave);

        // Another application becoming active leaves playback going; a window of this program
        // stops it.
        rig->Play();
        QVERIFY(rig.window->PlayerActive());
        QEvent away(QEvent::ActivationChange);
        QCoreApplication::sendEvent(rig.window.get(), &away);
        QVERIFY(rig.window->PlayerActive());
        QDialog own;
        own.show();
        own.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&own));
        QTRY_VERIFY(!rig.window->PlayerActive());
    }

  private:
    static std::int64_t Frames(WindowRig& rig) { return rig.state().Document->FrameCount(); }
};

QTEST_MAIN(WindowCuesTest)
#include "WindowCuesTest.moc"
