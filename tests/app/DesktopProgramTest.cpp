// The real desktop program: started with a file in a virtual X display, found by its title,
// closed by SIGTERM the ordinary way, no swap file left. And the one-line refusal without a
// display.
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "support/TestFiles.h"

using namespace sv::test;

namespace {

const QString Program = QStringLiteral(SONIVAR_GUI_PATH);

QProcessEnvironment CleanEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    return env;
}

}  // namespace

class DesktopProgramTest final : public QObject {
    Q_OBJECT

  private slots:
    void withoutADisplayItSaysSoInOneLine() {
        QProcess process;
        process.setProcessEnvironment(CleanEnvironment());
        process.start(Program, {});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 1);
        const QString error = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(error.count('\n'), 1);
        QVERIFY2(error.contains("display") && error.contains("sonivar-cli"), qPrintable(error));
    }

    void startsWithAFileAndClosesCleanlyOnSigterm() {
        SkipWithoutXvfb();
        TempDir dir;
        WavLayout layout;
        layout.channels = 2;
        layout.frames = sv::Wave::MinimumValues / 2;
        WriteWav(dir / "song.wav", layout, Noise16);
        const QString out = RunUntilSigterm(dir, dir / "song.wav");
        QVERIFY2(out.contains("window:yes"), qPrintable(out));
        QVERIFY2(out.contains("swap-while-open:1"), qPrintable(out));
        QVERIFY2(out.contains("exit:0"), qPrintable(out));
        QVERIFY(std::filesystem::is_empty(dir / "work"));
    }

    // The missing-file message shows while the window is being created; a signal while it is
    // up, or earlier while the start-up picture shows, still ends the program the ordinary way.
    void closesOnSigtermDuringTheStartUpMessage_data() {
        QTest::addColumn<QString>("signalOnWindow");
        QTest::newRow("message up") << MainWindowTitle;
        QTest::newRow("before the message") << QStringLiteral("Sonivar is starting");
    }
    void closesOnSigtermDuringTheStartUpMessage() {
        QFETCH(QString, signalOnWindow);
        SkipWithoutXvfb();
        TempDir dir;
        const QString out = RunUntilSigterm(dir, dir / "missing.wav", signalOnWindow);
        QVERIFY2(out.contains("window:yes"), qPrintable(out));
        QVERIFY2(out.contains("exit:0"), qPrintable(out));
        QVERIFY(std::filesystem::is_empty(dir / "work"));
    }

  private:
    // The titled window with a class is the main window (Qt's 1x1 client leader has none).
    static inline const QString MainWindowTitle = QStringLiteral("Sonivar.: (.sonivar.");

    static void SkipWithoutXvfb() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
            QStandardPaths::findExecutable("xwininfo").isEmpty())
            QSKIP(
                "Xvfb or xwininfo is not installed (packages xvfb, x11-utils): "
                "the program cannot be started in a virtual display here");
    }

    // Starts the program on file in a virtual display, waits for a window by title (the main
    // window unless told otherwise), counts the swap files, sends SIGTERM and reports how the
    // program ended.
    static QString RunUntilSigterm(const TempDir& dir, const std::filesystem::path& file,
                                   const QString& windowPattern = MainWindowTitle) {
        std::filesystem::create_directories(dir / "work");
        std::filesystem::create_directories(dir / "runtime");
        std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
        // Xvfb picks a free display itself and says which (no race over display numbers).
        const char* script = R"sh(
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$DISPLAYFILE" 2>/dev/null &
xpid=$!
for i in $(seq 300); do [ -s "$DISPLAYFILE" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$DISPLAYFILE")"
# Under a loaded machine the display may take a while to answer once it has been named (over
# ten seconds under a sanitizer run on a stalled machine).
for i in $(seq 300); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
"$SONIVAR" "$WAV" 2>"$LOG" &
pid=$!
found=no
for i in $(seq 300); do
  if xwininfo -root -tree 2>/dev/null | grep -q "$WINDOW"; then found=yes; break; fi
  sleep 0.1
done
echo "window:$found"
# The native window can exist before the start file has loaded; give a loaded machine time.
# A missing file makes no swap file: nothing to wait for.
[ -e "$WAV" ] && for i in $(seq 100); do [ -n "$(ls -A "$WORK")" ] && break; sleep 0.1; done
echo "swap-while-open:$(ls -A "$WORK" | wc -l)"
kill -TERM $pid
wait $pid
echo "exit:$?"
kill $xpid
wait $xpid 2>/dev/null
)sh";
        QProcessEnvironment env = CleanEnvironment();
        env.insert("SONIVAR", Program);
        env.insert("WINDOW", windowPattern);
        env.insert("WAV", QString::fromStdString(file.string()));
        env.insert("WORK", QString::fromStdString((dir / "work").string()));
        env.insert("LOG", QString::fromStdString((dir / "stderr.txt").string()));
        env.insert("DISPLAYFILE", QString::fromStdString((dir / "display.txt").string()));
        env.insert("SONIVAR_WORK_FOLDER", QString::fromStdString((dir / "work").string()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((dir / "runtime").string()));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start("sh", {"-c", script});
        if (!process.waitForFinished(120000)) return "the virtual display run did not finish";
        return QString::fromLocal8Bit(process.readAllStandardOutput()) + "\n--- program stderr:\n" +
               QString::fromStdString(ReadFile(dir / "stderr.txt"));
    }
};

QTEST_GUILESS_MAIN(DesktopProgramTest)
#include "DesktopProgramTest.moc"
