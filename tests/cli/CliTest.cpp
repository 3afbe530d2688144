#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "cli/Options.h"
#include "support/TestFiles.h"

extern char** environ;

namespace sv {
namespace {

using test::TempDir;

struct CliRun {
    int exit = -1;
    std::string out;
    std::string err;
};

// Runs sonivar-cli with its swap files in work; optionally interrupts it as soon as its
// progress output shows the given text (read from a pipe, so no file-system delay lets a short
// run finish first).
CliRun RunCli(const TempDir& work, std::vector<std::string> args,
              const std::string& interruptAt = "", int signalNumber = SIGINT) {
    const auto outFile = work / "stdout.txt";
    const auto errFile = work / "stderr.txt";
    std::vector<std::string> all = {SONIVAR_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("--work-folder");
    all.push_back((work / "swap").string());
    if (args.size() < 2 || args[0] == "--help" || args[0] == "--version")
        all.resize(all.size() - 2);
    std::filesystem::create_directories(work / "swap");
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int errPipe[2] = {-1, -1};
    if (!interruptAt.empty() && ::pipe2(errPipe, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (errPipe[1] >= 0)
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid = 0;
    CliRun run;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (errPipe[1] >= 0) ::close(errPipe[1]);
    if (!spawned) {
        if (errPipe[0] >= 0) ::close(errPipe[0]);
        return run;
    }
    if (errPipe[0] >= 0) {
        bool signalled = false;
        char chunk[4096];
        for (ssize_t got; (got = ::read(errPipe[0], chunk, sizeof chunk)) != 0;) {
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) break;
            run.err.append(chunk, static_cast<std::size_t>(got));
            if (!signalled && run.err.find(interruptAt) != std::string::npos) {
                kill(pid, signalNumber);
                signalled = true;
            }
        }
        ::close(errPipe[0]);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = test::ReadFile(outFile);
    if (interruptAt.empty()) run.err = test::ReadFile(errFile);
    return run;
}

int SwapFilesLeft(const TempDir& work) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(work / "swap"))
        n += e.is_regular_file();
    return n;
}

std::string Cut(const std::string& text, const std::string& key) {
    const auto at = text.find(key + ": ");
    if (at == std::string::npos) return "";
    const auto end = text.find('\n', at);
    return text.substr(at + key.size() + 2, end - at - key.size() - 2);
}

TEST(CliOptions, RangesAreCheckedNotClamped) {
    std::string error;
    const char* ok[] = {
        "sonivar-cli", "remaster", "a.wav",       "b.wav", "--level",        "--bands", "255",
        "--highpass",  "100",      "--peak-size", "8192",  "--normalize-db", "-48"};
    auto options = cli::ParseOptions(13, ok, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->Settings.Levelling);
    EXPECT_EQ(options->Settings.Bands, 255);
    EXPECT_TRUE(options->Settings.HighPass);
    EXPECT_EQ(options->Settings.EffectiveHighPassHz(), 100);
    EXPECT_EQ(options->Settings.EffectiveLowPassKHz(), 25);
    EXPECT_EQ(options->Settings.NormalizeDb, -48);

    const std::vector<std::vector<const char*>> bad = {
        {"sonivar-cli", "remaster", "a.wav", "b.wav", "--bands", "256"},
        {"sonivar-cli", "remaster", "a.wav", "b.wav", "--peak-size", "1000"},
        {"sonivar-cli", "remaster", "a.wav", "b.wav", "--limit", "x"},
        {"sonivar-cli", "remaster", "a.wav", "b.wav", "--limit"},
        {"sonivar-cli", "remaster", "a.wav", "b.wav", "--frobnicate"},
        {"sonivar-cli", "remaster", "a.wav"},
        {"sonivar-cli", "info", "a.wav", "--level"},
        {"sonivar-cli", "detect", "a.wav", "b.sts", "--overwrite"},
        {"sonivar-cli", "dance"},
        {"sonivar-cli"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(cli::ParseOptions(static_cast<int>(args.size()), args.data(), error))
            << args.back();
        EXPECT_FALSE(error.empty());
    }
}

struct CliTest : ::testing::Test {
    TempDir dir;
};

TEST_F(CliTest, InfoDescribesTheDocument) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .rate = 44100, .frames = 551250},
                   [](std::int64_t f, int c) { return c ? 0 : (f == 9 ? -16384 : 100); });
    const auto run = RunCli(dir, {"info", (dir / "in.wav").string()});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Cut(run.out, "channels"), "2");
    EXPECT_EQ(Cut(run.out, "sample_rate"), "44100");
    EXPECT_EQ(Cut(run.out, "bits_per_sample"), "16");
    EXPECT_EQ(Cut(run.out, "frames"), "551250");
    EXPECT_EQ(Cut(run.out, "duration"), "0 min  12.500 s");
    EXPECT_EQ(Cut(run.out, "peak_dbfs"), "-6.02 -inf");
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

TEST_F(CliTest, ExitCodesFollowTheContract) {
    EXPECT_EQ(RunCli(dir, {"--help"}).exit, 0);
    EXPECT_EQ(RunCli(dir, {"--version"}).exit, 0);
    EXPECT_EQ(RunCli(dir, {"remaster", "a.wav"}).exit, 2);
    EXPECT_EQ(RunCli(dir, {"info", (dir / "missing.wav").string()}).exit, 1);
    test::WriteWav(dir / "short.wav", {.frames = 1000}, test::Noise16);
    auto refused = RunCli(
        dir, {"remaster", (dir / "short.wav").string(), (dir / "s.wav").string(), "--level"});
    EXPECT_EQ(refused.exit, 3);
    EXPECT_NE(refused.err.find("Sample is too short for this method"), std::string::npos);
    test::WriteWav(dir / "float.wav", {.formatTag = 3, .bits = 16, .frames = 600000},
                   test::Noise16);
    auto notPcm = RunCli(dir, {"remaster", (dir / "float.wav").string(), (dir / "o.wav").string()});
    EXPECT_EQ(notPcm.exit, 3);
    EXPECT_NE(notPcm.err.find("File is not in PCM format or is damaged"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "o.wav"));
    // Damage is a refusal in every format.
    test::WriteWav(dir / "cut.wav", {.frames = 600000, .dataSizeOverride = 4000000}, test::Noise16);
    test::WriteFile(dir / "text.mp3", "not a sound\n");
    for (const char* damaged : {"cut.wav", "text.mp3"})
        EXPECT_EQ(RunCli(dir, {"info", (dir / damaged).string()}).exit, 3) << damaged;
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

TEST_F(CliTest, RemasterWithoutStagesRewritesTheFileAsIs) {
    test::WriteWav(dir / "in.wav", {.channels = 1, .bits = 8, .frames = 500000},
                   [](std::int64_t f, int) { return static_cast<int>(f * 7 % 256); });
    const auto run =
        RunCli(dir, {"remaster", (dir / "in.wav").string(), (dir / "out.wav").string()});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(test::ReadFile(dir / "in.wav"), test::ReadFile(dir / "out.wav"));
}

TEST_F(CliTest, EveryStageRunsAndDetectStoresATimbre) {
    test::WriteWav(
        dir / "in.wav", {.channels = 2, .frames = 300000}, [](std::int64_t f, int c) -> int {
            return static_cast<int>(8000 * std::sin(f * 0.05 + c) + (test::Noise16(f, c) >> 6));
        });
    auto detect =
        RunCli(dir, {"detect", (dir / "in.wav").string(), (dir / "mine.sts").string(), "--quiet"});
    ASSERT_EQ(detect.exit, 0) << detect.err;
    const std::string sts = test::ReadFile(dir / "mine.sts");
    EXPECT_EQ(std::count(sts.begin(), sts.end(), '\n'), 62);
    auto run = RunCli(dir, {"remaster", (dir / "in.wav").string(), (dir / "out.wav").string(),
                            "--denoise", "--level", "--fit-peaks", "--normalize", "--normalize-db",
                            "-1", "--timbre", (dir / "mine.sts").string(), "--quiet"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const auto info = RunCli(dir, {"info", (dir / "out.wav").string()});
    EXPECT_EQ(Cut(info.out, "frames"), "300000");
    EXPECT_EQ(Cut(info.out, "peak_dbfs"), "-1.00 -1.00");
    EXPECT_NE(test::ReadFile(dir / "in.wav"), test::ReadFile(dir / "out.wav"));
    EXPECT_EQ(RunCli(dir, {"remaster", (dir / "in.wav").string(), (dir / "o.wav").string(),
                           "--level", "--timbre", "nonesuch"})
                  .exit,
              2);
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

// Without --json nothing looks at the normalized document before the save, so the save applies
// normalizing's gains; with it the document is normalized first. The files must not differ.
TEST_F(CliTest, NormalizingWhileSavingWritesWhatNormalizingFirstWrites) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 300000},
                   [](std::int64_t f, int c) { return test::Noise16(f, c) / (3 + 2 * c); });
    const std::vector<std::vector<std::string>> settings = {
        {"--normalize"},
        {"--normalize", "--per-channel", "--normalize-db", "-7"},
        {"--fit-peaks", "--normalize", "--normalize-db", "-1"},
    };
    for (const char* extension : {".wav", ".flac"}) {
        for (const auto& stages : settings) {
            SCOPED_TRACE(extension + (" " + stages.back()));
            std::vector<std::string> args = {"remaster", (dir / "in.wav").string(), ""};
            args.insert(args.end(), stages.begin(), stages.end());
            args[2] = (dir / (std::string("fused") + extension)).string();
            const auto fused = RunCli(dir, args);
            ASSERT_EQ(fused.exit, 0) << fused.err;
            // The normalizing step still shows, before the save.
            EXPECT_LT(fused.err.find("Normalizing: 100%"), fused.err.find("Saving: 0%"))
                << fused.err;
            args[2] = (dir / (std::string("walked") + extension)).string();
            args.push_back("--json");
            ASSERT_EQ(RunCli(dir, args).exit, 0);
            const std::string walked = test::ReadFile(args[2]);
            ASSERT_GT(walked.size(), 100000u);
            EXPECT_TRUE(walked == test::ReadFile(dir / (std::string("fused") + extension)));
        }
    }
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

TEST_F(CliTest, BatchNamesResultsAndNeverOverwritesUnasked) {
    std::filesystem::create_directories(dir / "src");
    for (const char* name : {"b.WAV", "a.wav", "c.wav"})
        test::WriteWav(dir / "src" / name, {.frames = 500000}, test::Noise16);
    test::WriteFile(dir / "src" / "c.wav", "not a wave file at all");
    test::WriteFile(dir / "src" / "notes.txt", "ignored");
    auto run =
        RunCli(dir, {"batch", (dir / "src").string(), (dir / "src").string(), "--normalize"});
    EXPECT_EQ(run.exit, 3) << run.err;  // c.wav was refused, the others done
    EXPECT_LT(run.err.find("a.wav"), run.err.find("b.WAV"));
    EXPECT_TRUE(std::filesystem::exists(dir / "src" / "_a.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "src" / "_b.WAV"));
    EXPECT_FALSE(std::filesystem::exists(dir / "src" / "__a.wav"));
    const std::string first = test::ReadFile(dir / "src" / "_a.wav");
    auto again = RunCli(dir, {"batch", (dir / "src").string(), (dir / "src").string()});
    EXPECT_NE(again.err.find("exists"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / "src" / "_a.wav"), first);
    const std::string source = test::ReadFile(dir / "src" / "a.wav");
    auto overwrite = RunCli(dir, {"batch", (dir / "src").string(), (dir / "src").string(),
                                  "--overwrite", "--normalize"});
    EXPECT_NE(test::ReadFile(dir / "src" / "a.wav"), source);
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

TEST_F(CliTest, InterruptCancelsWritesNothingAndCleansUp) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 44100 * 120}, test::Noise16);
    auto run = RunCli(
        dir,
        {"remaster", (dir / "in.wav").string(), (dir / "out.wav").string(), "--denoise", "--level"},
        "Noise removal");
    EXPECT_EQ(run.exit, 130) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

}  // namespace
}  // namespace sv

namespace sv {
namespace {

// A small tmpfs for full-disk cases; needs root.
class SmallDisk {
  public:
    explicit SmallDisk(const std::string& size) {
        std::filesystem::create_directories(dir_.path() / "disk");
        mounted_ = ::geteuid() == 0 && std::system(("mount -t tmpfs -o size=" + size + " tmpfs " +
                                                    path().string() + " 2>/dev/null")
                                                       .c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) std::system(("umount " + path().string()).c_str());
    }
    bool Mounted() const { return mounted_; }
    std::filesystem::path path() const { return dir_.path() / "disk"; }

  private:
    TempDir dir_;
    bool mounted_ = false;
};

TEST_F(CliTest, SavingOntoAFullDiskKeepsTheOldTarget) {
    SmallDisk disk("1m");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 300000}, test::Noise16);
    test::WriteFile(disk.path() / "out.wav", "the old result");
    auto run =
        RunCli(dir, {"remaster", (dir / "in.wav").string(), (disk.path() / "out.wav").string()});
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.err.find("Save data failure (insufficient disk space or write protected medium)"),
              std::string::npos);
    EXPECT_EQ(test::ReadFile(disk.path() / "out.wav"), "the old result");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.path()), {}), 1);
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

TEST_F(CliTest, AWorkFolderTooSmallForAStageFailsCleanly) {
    // Passes the free-space check (5 x 6 MB) and holds the loaded document (24 MB of swap),
    // but not a stage's output document as well.
    SmallDisk disk("32m");
    if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    test::WriteWav(dir / "in.wav", {.channels = 1, .bits = 8, .frames = 6000000},
                   [](std::int64_t f, int) { return static_cast<int>(f % 200); });
    const std::string binary = SONIVAR_CLI_PATH;
    const std::string command = binary + " remaster " + (dir / "in.wav").string() + " " +
                                (dir / "out.wav").string() + " --normalize --quiet --work-folder " +
                                disk.path().string() + " 2>" + (dir / "err.txt").string();
    const int status = std::system(command.c_str());
    const std::string err = test::ReadFile(dir / "err.txt");
    // Either the free-space check refuses the file or the stage's write fails: never a crash,
    // never an output, never a swap file left behind.
    ASSERT_TRUE(WIFEXITED(status));
    const bool refused =
        WEXITSTATUS(status) == 3 && err.find("Low disk space") != std::string::npos;
    const bool failed =
        WEXITSTATUS(status) == 1 && err.find("No space left on device") != std::string::npos;
    EXPECT_TRUE(refused || failed) << WEXITSTATUS(status) << " " << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.path()), {}), 0);
}

TEST_F(CliTest, ReadOnlyTargetIsRefused) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 250000}, test::Noise16);
    test::WriteFile(dir / "out.wav", "keep me");
    std::filesystem::permissions(dir / "out.wav", std::filesystem::perms::owner_read);
    auto run = RunCli(dir, {"remaster", (dir / "in.wav").string(), (dir / "out.wav").string()});
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(test::ReadFile(dir / "out.wav"), "keep me");
}

TEST_F(CliTest, TwoProcessesShareAWorkFolderWithoutTouchingEachOther) {
    test::WriteWav(dir / "a.wav", {.channels = 2, .frames = 220000}, test::Noise16);
    // A steep saw: on a slow one every value of each ramp's top is a peak to fit, which takes
    // seconds and leaves the other process running alone.
    test::WriteWav(dir / "b.wav", {.channels = 1, .frames = 450000},
                   [](std::int64_t f, int) { return static_cast<int>(f * 7 % 20000) - 10000; });
    const std::string binary = SONIVAR_CLI_PATH;
    const auto swap = (dir / "swap").string();
    std::filesystem::create_directories(swap);
    auto command = [&](const char* in, const char* out) {
        return binary + " remaster " + (dir / in).string() + " " + (dir / out).string() +
               " --level --fit-peaks --normalize --quiet --work-folder " + swap;
    };
    // Run alone first for the expected results, then both at once.
    ASSERT_EQ(std::system(command("a.wav", "a1.wav").c_str()), 0);
    ASSERT_EQ(std::system(command("b.wav", "b1.wav").c_str()), 0);
    ASSERT_EQ(std::system(("(" + command("a.wav", "a2.wav") + ") & (" + command("b.wav", "b2.wav") +
                           ") & wait")
                              .c_str()),
              0);
    EXPECT_EQ(test::ReadFile(dir / "a1.wav"), test::ReadFile(dir / "a2.wav"));
    EXPECT_EQ(test::ReadFile(dir / "b1.wav"), test::ReadFile(dir / "b2.wav"));
    EXPECT_EQ(SwapFilesLeft(dir), 0);
}

TEST_F(CliTest, AKilledProcessLeavesInputAndOldOutputIntact) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 44100 * 60}, test::Noise16);
    test::WriteFile(dir / "out.wav", "previous result");
    const std::string input = test::ReadFile(dir / "in.wav");
    auto run = RunCli(dir,
                      {"remaster", (dir / "in.wav").string(), (dir / "out.wav").string(), "--level",
                       "--normalize"},
                      "Remastering", SIGKILL);
    EXPECT_EQ(run.exit, 128 + SIGKILL);
    EXPECT_EQ(test::ReadFile(dir / "in.wav"), input);
    EXPECT_EQ(test::ReadFile(dir / "out.wav"), "previous result");
}

}  // namespace
}  // namespace sv
