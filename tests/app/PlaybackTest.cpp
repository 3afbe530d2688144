// Playback in the desktop program: the transport handlers over a capture output, and the real
// sound output heard through a PulseAudio null sink.
#include <signal.h>

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <cstring>

#include "AppTestSupport.h"
#include "app/QtSoundOutput.h"
#include "playback/CaptureSoundOutput.h"
#include "playback/Clock.h"
#include "playback/Player.h"

using namespace sv;
using namespace sv::test;

namespace {

// A window like the other tests' rig, hearing through a capture output.
struct PlaybackRig {
    ScriptedDialogs dialogs;
    ScriptedFiles files;
    CancelScript progress;
    CaptureSoundOutput sound;
    std::unique_ptr<MainWindow> window;

    explicit PlaybackRig(const TempDir& dir) {
        std::filesystem::create_directories(dir / "work");
        MainWindowSetup setup;
        setup.dialogs = &dialogs;
        setup.files = &files;
        setup.progress = CancellingProgressFactory(progress);
        setup.workFolder = dir / "work";
        setup.timbreFolders = {dir / "work"};
        setup.soundOutput = &sound;
        window = std::make_unique<MainWindow>(std::move(setup));
    }
    ~PlaybackRig() { window.reset(); }
    QToolButton* button(const char* name) {
        return window->findChild<QToolButton*>(QString::fromLatin1(name));
    }
    void open(const std::filesystem::path& file) {
        files.openNames = {file.string()};
        window->Open();
        WaitForCommand(*window);
    }
};

// Samples of the first data chunk of a 16-bit WAV file.
std::vector<std::int16_t> WavSamples(const std::string& bytes) {
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (bytes.compare(at, 4, "data") == 0) {
            const std::size_t n = std::min<std::size_t>(size, bytes.size() - at - 8) / 2;
            std::vector<std::int16_t> out(n);
            std::memcpy(out.data(), bytes.data() + at + 8, n * 2);
            return out;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent event(type, at, widget->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

double Rms(const std::vector<std::int16_t>& v, std::size_t from, std::size_t count) {
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i) sum += double(v[i]) * v[i];
    return std::sqrt(sum / double(count));
}

}  // namespace

class PlaybackTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> runtime_;
    QString runtimeDir_;
    bool pulseStarted_ = false;
    QString pulseLog_;

    QProcessEnvironment PulseEnvironment() const {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtimeDir_);
        return env;
    }
    int RunPulse(const QStringList& args, int waitMs = 10000) {
        QProcess p;
        p.setProcessEnvironment(PulseEnvironment());
        p.start(QStringLiteral("pulseaudio"), args);
        if (!p.waitForStarted(waitMs) || !p.waitForFinished(waitMs)) return -1;
        return p.exitCode();
    }

  private slots:
    // The sound server has to exist before Qt Multimedia first looks for devices.
    void initTestCase() {
        runtime_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/xdg-runtime-XXXXXX");
        runtimeDir_ = runtime_->path();
        QFile::setPermissions(runtimeDir_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtimeDir_.toLocal8Bit());
        pulseLog_ = runtimeDir_ + "/pulse.log";
        const int code =
            RunPulse({"--daemonize=yes", "--exit-idle-time=-1", "--disallow-exit", "-n",
                      "--log-target=file:" + pulseLog_, "--load=module-native-protocol-unix",
                      "--load=module-null-sink sink_name=ci_sink rate=48000 norewinds=1"});
        if (code != 0) return;
        for (int i = 0; i < 50 && !pulseStarted_; ++i) {
            QProcess info;
            info.setProcessEnvironment(PulseEnvironment());
            info.start("pactl", {"info"});
            pulseStarted_ = info.waitForFinished(2000) && info.exitCode() == 0;
            if (!pulseStarted_) QTest::qWait(100);
        }
    }

    void cleanupTestCase() {
        if (pulseStarted_) RunPulse({"--kill"});
        // The server leaves read-only files behind.
        QProcess::execute("chmod", {"-R", "u+w", runtimeDir_});
    }

    void realOutputIsHeardThroughTheSoundServer() {
        if (!pulseStarted_)
            QSKIP("no PulseAudio server could be started here (pulseaudio missing?)");
        if (QMediaDevices::defaultAudioOutput().isNull())
            QSKIP("Qt sees no audio output on the server");
        TempDir dir;
        constexpr std::int32_t rate = 48000;
        constexpr double frequency = 1000.0;
        constexpr double amplitude = 16384.0;
        auto wave = MakeDocument(MakeEnv(dir.path()), 2, rate, rate * 5, [&](std::int64_t f, int) {
            return static_cast<std::int32_t>(
                std::lrint(amplitude * std::sin(2 * M_PI * frequency * double(f) / rate)) * 256);
        });
        const QString recording = dir.path().c_str() + QStringLiteral("/rec.wav");
        QProcess parec;
        parec.setProcessEnvironment(PulseEnvironment());
        parec.start("parec", {"-d", "ci_sink.monitor", "--rate=48000", "--channels=2",
                              "--format=s16le", "--file-format=wav", recording});
        QVERIFY(parec.waitForStarted(5000));
        QTest::qWait(300);

        bool unavailable = false;
        QtSoundOutput output([&] { unavailable = true; });
        SteadyClock clock;
        std::atomic<bool> active{true};
        {
            Player player(*wave, output, clock, active);
            player.PlayFrom(0);
            QTest::qWait(4500);
            QVERIFY(output.Running());
            player.Stop();
        }
        QTest::qWait(200);
        ::kill(static_cast<pid_t>(parec.processId()), SIGINT);
        QVERIFY(parec.waitForFinished(5000));
        QVERIFY(!unavailable);

        const auto samples = WavSamples(ReadFile(recording.toStdString()));
        // The first sound heard, then 3 s of it, left channel.
        std::size_t first = 0;
        while (first < samples.size() && std::abs(samples[first]) < 1000) ++first;
        first = first / 2 * 2 + 2 * 4800;  // skip 0.1 s of fade-in at the server
        const std::size_t frames = 3 * rate;
        QVERIFY2(first + 2 * frames <= samples.size(),
                 "the recording is shorter than 3 s of sound");
        std::vector<std::int16_t> left(frames);
        for (std::size_t i = 0; i < frames; ++i) left[i] = samples[first + 2 * i];

        const double level = 20 * std::log10(Rms(left, 0, frames) / (amplitude / std::sqrt(2.0)));
        int crossings = 0;
        for (std::size_t i = 1; i < frames; ++i) crossings += (left[i - 1] < 0) != (left[i] < 0);
        const double heard = crossings / 2.0 / 3.0;
        qInfo("heard: level %+.3f dB, tone %.2f Hz", level, heard);
        QVERIFY2(std::abs(level) < 0.5, qPrintable(QString("level off by %1 dB").arg(level)));
        QVERIFY2(std::abs(heard - frequency) < 5, qPrintable(QString("tone at %1 Hz").arg(heard)));
        // No dropouts: every 5 ms holds the tone.
        for (std::size_t at = 0; at + 240 <= frames; at += 240)
            QVERIFY2(Rms(left, at, 240) > amplitude / std::sqrt(2.0) / 2,
                     qPrintable(QString("dropout at %1 ms").arg(at / 48)));
    }

    void transportPlaysPausesStopsAndScans() {
        TempDir dir;
        PlaybackRig rig(dir);
        // Long enough that fast forward's head start of 34 chunks does not reach the end.
        rig.open(MakeWav(dir, "a.wav", 2, 44100 * 60));
        QVERIFY(rig.window->State().WaveLoaded);

        rig.button("playButton")->click();
        QVERIFY(rig.window->PlayerActive());
        QTRY_VERIFY(rig.sound.Playing());
        QTRY_VERIFY(rig.window->State().View.PlayPosition > 4410);  // the view tick moves it

        rig.button("pauseButton")->click();
        QVERIFY(rig.window->Paused());
        QVERIFY(!rig.sound.Playing());
        const auto paused = rig.window->State().View.PlayPosition;
        QTest::qWait(200);
        QCOMPARE(rig.window->State().View.PlayPosition, paused);
        rig.button("pauseButton")->click();
        QVERIFY(!rig.window->Paused());
        QVERIFY(std::abs(rig.window->CurrentPlayer()->Position() - paused) < 4410);

        SendMouse(rig.button("fastForwardButton"), QEvent::MouseButtonPress, Qt::RightButton);
        QCOMPARE(rig.window->CurrentPlayer()->Step(), 4);
        SendMouse(rig.button("fastForwardButton"), QEvent::MouseButtonRelease, Qt::RightButton);
        QCOMPARE(rig.window->CurrentPlayer()->Step(), 1);
        SendMouse(rig.button("rewindButton"), QEvent::MouseButtonPress, Qt::LeftButton);
        QCOMPARE(rig.window->CurrentPlayer()->Step(), -4);
        SendMouse(rig.button("rewindButton"), QEvent::MouseButtonRelease, Qt::LeftButton);
        QCOMPARE(rig.window->CurrentPlayer()->Step(), 1);

        rig.button("stopButton")->click();
        QVERIFY(!rig.window->PlayerActive());
        QVERIFY(!rig.window->CurrentPlayer());
        QVERIFY(!rig.sound.Playing());

        // Space starts and stops.
        rig.window->TogglePlayback();
        QVERIFY(rig.window->PlayerActive());
        rig.window->TogglePlayback();
        QVERIFY(!rig.window->CurrentPlayer());

        // Opening a document stops playback first, and so does Return to saved, before its
        // question (which need not take the focus from the window).
        rig.button("playButton")->click();
        rig.open(MakeWav(dir, "b.wav", 1));
        QVERIFY(!rig.window->CurrentPlayer());
        QVERIFY(!rig.sound.Playing());
        rig.button("playButton")->click();
        QVERIFY(rig.window->PlayerActive());
        bool playingWhenAsked = true;
        rig.dialogs.whenAsked = [&] { playingWhenAsked = rig.window->PlayerActive(); };
        rig.dialogs.answers = {true};
        rig.window->ReturnToSaved();
        WaitForCommand(*rig.window);
        QVERIFY(!playingWhenAsked);
        QVERIFY(!rig.window->CurrentPlayer());
        QVERIFY(!rig.sound.Playing());

        // To the start while nothing plays only resets the selection and the cursor.
        rig.window->State().View.BlockStart = 1000;
        rig.window->State().View.PlayPosition = 1000;
        rig.button("toStartButton")->click();
        QCOMPARE(rig.window->State().View.BlockStart, 0);
        QCOMPARE(rig.window->State().View.PlayPosition, 0);
        QVERIFY(!rig.window->CurrentPlayer());
    }

    void naturalEndIsFreedByTheNextViewTick() {
        TempDir dir;
        PlaybackRig rig(dir);
        rig.open(MakeWav(dir, "a.wav", 2));
        rig.window->State().View.BlockStart = Wave::MinimumValues / 2 - 100;
        rig.button("playButton")->click();
        QTRY_VERIFY(!rig.window->PlayerActive());
        QTRY_VERIFY(!rig.window->CurrentPlayer());
        QCOMPARE(rig.sound.StartCount(), 1);
        QVERIFY(!rig.sound.Playing());
        // A new player for the next Play; on the fast test clock it may already have ended
        // again, so look for its sound having started.
        rig.button("playButton")->click();
        QTRY_COMPARE(rig.sound.StartCount(), 2);
    }
};

QTEST_MAIN(PlaybackTest)
#include "PlaybackTest.moc"
