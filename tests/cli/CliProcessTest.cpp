// sonivar-cli as an adversarial caller runs it: closed descriptors, special files, signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "cli/Options.h"
#include "support/TestFiles.h"

extern char** environ;

namespace sv {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Launch {
    std::vector<std::string> args;  // after the program name; the work folder is added
    std::vector<int> closedDescriptors;
    std::string signalAt;                      // send the signals once stderr shows this text
    std::vector<int> signals;                  // in this order, a moment apart
    std::chrono::milliseconds signalAfter{0};  // and not before this time has passed
    std::string stdoutTo;                      // a device such as /dev/full; empty: captured
};

struct ProcessOutcome {
    int exit = -1;
    std::string out;
    std::string err;
    bool timedOut = false;
};

class CliProcessTest : public ::testing::Test {
  protected:
    ProcessOutcome Run(const Launch& launch) {
        std::filesystem::create_directories(swap());
        std::vector<std::string> all = {SONIVAR_CLI_PATH};
        all.insert(all.end(), launch.args.begin(), launch.args.end());
        const bool command = all.size() > 1 && all[1].rfind("--", 0) != 0;  // not --help
        if (command && std::find(all.begin(), all.end(), "--work-folder") == all.end())
            all.insert(all.end(), {"--work-folder", swap().string()});
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const auto errFile = dir / "stderr.txt";
        const std::filesystem::path outFile =
            launch.stdoutTo.empty() ? dir / "stdout.txt" : std::filesystem::path(launch.stdoutTo);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        for (int fd : launch.closedDescriptors) posix_spawn_file_actions_addclose(&actions, fd);
        pid_t pid = 0;
        ProcessOutcome outcome;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return outcome;
        const auto started = std::chrono::steady_clock::now();
        const auto deadline = started + std::chrono::seconds(60);
        int status = 0;
        bool signalled = launch.signals.empty();
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                outcome.timedOut = true;
                kill(pid, SIGKILL);
                break;
            }
            if (!signalled && std::chrono::steady_clock::now() >= started + launch.signalAfter &&
                ReadFile(errFile).find(launch.signalAt) != std::string::npos) {
                for (int s : launch.signals) {
                    kill(pid, s);
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                signalled = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        waitpid(pid, &status, 0);
        outcome.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.err = ReadFile(errFile);
        if (launch.stdoutTo.empty()) outcome.out = ReadFile(outFile);
        return outcome;
    }
    std::filesystem::path swap() const { return dir / "swap"; }
    int SwapFilesLeft() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(swap()), {}));
    }
    // Names in the test folder besides the program's own stdout, stderr and swap folder.
    int FilesBeside() const {
        return static_cast<int>(
                   std::distance(std::filesystem::directory_iterator(dir.path()), {})) -
               3;
    }
    std::string In() const { return (dir / "in.wav").string(); }
    std::string Out() const { return (dir / "out.wav").string(); }

    TempDir dir;
};

TEST_F(CliProcessTest, ClosedStandardDescriptorsNeverReceiveTheOutput) {
    test::WriteWav(dir / "in.wav", {.channels = 1, .bits = 8, .frames = 500000},
                   [](std::int64_t f, int) { return static_cast<int>(f * 7 % 256); });
    for (const std::vector<int>& closed : {std::vector<int>{2}, std::vector<int>{0, 1, 2}}) {
        std::filesystem::remove(dir / "out.wav");
        const auto run = Run({.args = {"remaster", In(), Out()}, .closedDescriptors = closed});
        EXPECT_EQ(run.exit, 0) << closed.size();
        EXPECT_EQ(ReadFile(dir / "out.wav"), ReadFile(dir / "in.wav")) << closed.size();
    }
}

TEST_F(CliProcessTest, OnlyRegularFilesAreReplacedAndTheCauseIsNamed) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 250000}, test::Noise16);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "folder");
    const bool device = ::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (device) std::filesystem::create_symlink(dir / "null", dir / "link-to-device");
    struct TableCase {
        std::string target;
        std::string cause;
    };
    std::vector<TableCase> cases = {
        {"fifo", "not a regular file"},
        {"folder", "it is a folder"},
        {"missing/out.wav", "does not exist"},
        {std::string(256, 'x') + ".wav", "longer than 255 bytes"},
    };
    if (device) {
        cases.push_back({"null", "not a regular file"});
        cases.push_back({"link-to-device", "not a regular file"});
    }
    for (const auto& c : cases) {
        const auto run = Run({.args = {"remaster", In(), (dir / c.target).string(), "--quiet"}});
        EXPECT_EQ(run.exit, 1) << c.target;
        EXPECT_NE(run.err.find(c.cause), std::string::npos) << c.target << ": " << run.err;
        EXPECT_EQ(run.err.find("disk space"), std::string::npos) << run.err;
    }
    struct stat info {};
    EXPECT_TRUE(::stat((dir / "fifo").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
    if (device) {
        EXPECT_TRUE(::stat((dir / "null").c_str(), &info) == 0 && S_ISCHR(info.st_mode));
    }
    // A name of the longest length saves.
    const std::string longest = std::string(251, 'x') + ".wav";
    EXPECT_EQ(Run({.args = {"remaster", In(), (dir / longest).string(), "--quiet"}}).exit, 0);
    EXPECT_EQ(ReadFile(dir / longest), ReadFile(dir / "in.wav"));
    EXPECT_EQ(SwapFilesLeft(), 0);
}

TEST_F(CliProcessTest, WhatWouldRefuseTheSaveIsFoundBeforeProcessing) {
    WriteFile(dir / "locked.wav", "old");
    ::chmod((dir / "locked.wav").c_str(), 0444);
    struct Case {
        int channels;
        std::int32_t rate;
        std::string out;
        int exit;
        std::string cause;
    };
    const Case cases[] = {
        {2, 4000000, "out.flac", 1, "cannot hold 2 channels at 4000000 Hz"},
        {2, 384000, "out.ogg", 1, "cannot hold 2 channels at 384000 Hz"},
        {256, 44100, "out.flac", 1, "cannot hold 256 channels"},
        {256, 44100, "out.ogg", 1, "cannot hold 256 channels"},
        {2, 44100, "locked.wav", 1, "write protected"},
        {2, 44100, "out.aifc", 2, "no format is written under .aifc"},
        {2, 44100, "out.txt", 2, "no format is written under .txt"},
        {2, 44100, "out", 2, "the name has no extension"},
    };
    for (const auto& c : cases) {
        test::WriteWav(dir / "in.wav",
                       {.channels = static_cast<std::uint16_t>(c.channels),
                        .rate = c.rate,
                        .frames = 512000 / c.channels},
                       test::Noise16);
        const auto run = Run({.args = {"remaster", In(), (dir / c.out).string(), "--level"}});
        EXPECT_EQ(run.exit, c.exit) << c.out;
        EXPECT_NE(run.err.find(c.cause), std::string::npos) << c.out << ": " << run.err;
        EXPECT_EQ(run.err.find("Remastering"), std::string::npos) << c.out << ": " << run.err;
    }
    EXPECT_EQ(ReadFile(dir / "locked.wav"), "old");
    EXPECT_EQ(FilesBeside(), 2);  // in.wav and locked.wav
}

TEST_F(CliProcessTest, AnInputThatIsNotARegularFileIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo((dir / "fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo.flac").c_str(), 0644), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", (dir / "fifo.wav").string()},
          std::vector<std::string>{"info", (dir / "fifo.flac").string()},
          std::vector<std::string>{"remaster", (dir / "fifo.wav").string(), Out()}}) {
        const auto run = Run({.args = args});
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exit, 1);
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
}

TEST_F(CliProcessTest, AStopSignalEndsACallThatBlocks) {
    // Opening a FIFO list waits for a writer that never comes.
    ASSERT_EQ(::mkfifo((dir / "list").c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "out");
    const auto run = Run({.args = {"batch", "--files-from", (dir / "list").string(),
                                   (dir / "out").string(), "--quiet"},
                          .signals = {SIGTERM},
                          .signalAfter = std::chrono::milliseconds(500)});
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exit, 130) << run.err;
}

TEST_F(CliProcessTest, HangupQuitBrokenPipeAndTerminateCleanUpLikeCtrlC) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 44100 * 30}, test::Noise16);
    for (int signal : {SIGHUP, SIGQUIT, SIGPIPE, SIGTERM}) {
        WriteFile(dir / "out.wav", "previous result");
        const auto run = Run({.args = {"remaster", In(), Out(), "--level", "--normalize"},
                              .signalAt = "Remastering",
                              .signals = {signal}});
        EXPECT_EQ(run.exit, 130) << strsignal(signal) << run.err;
        EXPECT_EQ(ReadFile(dir / "out.wav"), "previous result") << strsignal(signal);
        EXPECT_EQ(SwapFilesLeft(), 0) << strsignal(signal);
        // Nothing runs after the cancel.
        EXPECT_EQ(run.err.find("Normalizing"), std::string::npos) << run.err;
    }
}

TEST_F(CliProcessTest, InterruptWhileSavingKeepsTheOldOutput) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 44100 * 300}, test::Noise16);
    // With --normalize the save is also where normalizing happens.
    for (const char* stage : {"", "--normalize"}) {
        SCOPED_TRACE(stage);
        WriteFile(dir / "out.wav", "previous result");
        std::vector<std::string> args = {"remaster", In(), Out()};
        if (*stage) args.push_back(stage);
        const auto run = Run({.args = args, .signalAt = "Saving", .signals = {SIGINT}});
        EXPECT_EQ(run.exit, 130) << run.err;
        EXPECT_EQ(ReadFile(dir / "out.wav"), "previous result");
        EXPECT_EQ(FilesBeside(), 2);  // in.wav and out.wav: no temporary file left
        EXPECT_EQ(SwapFilesLeft(), 0);
    }
}

TEST_F(CliProcessTest, ASecondInterruptEndsAtOnceWithoutLeavingSwapFiles) {
    // Decoding cannot stop half-way, so only the second interrupt ends it before the first stage.
    // (A WAV file is read where it lies: opening one takes no time.)
    if (std::system("command -v sox >/dev/null") != 0) GTEST_SKIP() << "sox missing";
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 44100 * 300}, test::Noise16);
    const std::string flac = (dir / "in.flac").string();
    // The fastest compression: a third of the time to make, as long to read.
    ASSERT_EQ(std::system(("sox " + In() + " -C 0 " + flac).c_str()), 0);
    const auto run = Run({.args = {"remaster", flac, Out(), "--level"},
                          .signalAt = "Reading",
                          .signals = {SIGINT, SIGINT}});
    EXPECT_EQ(run.exit, 130) << run.err;
    EXPECT_EQ(run.err.find("Remastering"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_EQ(SwapFilesLeft(), 0);
}

TEST_F(CliProcessTest, SwapFilesOfAKilledRunAreSweptAtTheNextStart) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 44100 * 30}, test::Noise16);
    const auto killed = Run({.args = {"remaster", In(), Out(), "--level"},
                             .signalAt = "Remastering",
                             .signals = {SIGKILL}});
    ASSERT_EQ(killed.exit, 128 + SIGKILL);
    ASSERT_GE(SwapFilesLeft(), 1);
    for (const auto& entry : std::filesystem::directory_iterator(swap()))
        EXPECT_EQ(entry.path().filename().string().rfind("sonivar-", 0), 0u) << entry.path();
    EXPECT_EQ(Run({.args = {"info", In()}}).exit, 0);
    EXPECT_EQ(SwapFilesLeft(), 0);
}

TEST_F(CliProcessTest, AMissingWorkFolderIsNamedAsSuch) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 250000}, test::Noise16);
    const std::string missing = (dir / "nowhere").string();
    const auto run = Run({.args = {"info", In(), "--work-folder", missing}});
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.err.find("work folder " + missing + " does not exist"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Low disk space"), std::string::npos);
}

std::vector<nlohmann::json> Records(const std::string& out) {
    std::vector<nlohmann::json> records;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        records.push_back(nlohmann::json::parse(line));
    return records;
}

TEST_F(CliProcessTest, EveryInputGetsOneRecordWhateverStopsIt) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 250000}, test::Noise16);
    test::WriteWav(dir / "past.wav", {.channels = 2, .frames = 250000, .dataSizeOverride = 4000000},
                   test::Noise16);
    WriteFile(dir / "text.mp3", "hello, this is text\n");
    WriteFile(dir / "bad.flac", "fLaC\x01\x02\xff");
    const std::string badName = (dir / "bad\x1b]0;title\x07.ogg").string();  // terminal commands
    WriteFile(badName, "OggS");
    WriteFile(dir / "list", In() + "\n" + (dir / "past.wav").string() + "\n");
    const std::string batch[] = {"batch", "--files-from", (dir / "list").string(),
                                 dir.path().string()};
    const std::vector<std::vector<std::string>> cases = {
        {"info", (dir / "text.mp3").string()},
        {"info", badName},
        {"info", (dir / "past.wav").string()},
        {"info", In(), "--work-folder", (dir / "nowhere").string()},
        {"remaster", In(), (dir / "out.mp3").string()},
        {"remaster", In(), Out(), "--level", "--timbre", "nosuch"},
        {"remaster", In(), Out(), "--level", "--example", (dir / "bad.flac").string()},
        {batch[0], batch[1], batch[2], batch[3], "--level", "--timbre", "nosuch"},
        {batch[0], batch[1], batch[2], batch[3]},
    };
    for (auto args : cases) {
        args.insert(args.end(), {"--json", "--quiet"});
        const auto run = Run({.args = args});
        SCOPED_TRACE(args[0] + " " + args[1] + "\n" + run.err);
        const auto records = Records(run.out);
        EXPECT_EQ(records.size(), args[0] == "batch" ? 2u : 1u) << run.out;
        int worst = records.empty() ? -1 : 0;
        for (const auto& record : records) {
            worst = std::max(worst, record["exit_code"].get<int>());
            if (record["status"] != "done") EXPECT_NE(record["message"], "");
        }
        EXPECT_EQ(worst, run.exit);
        EXPECT_NE(run.exit, 0);
        EXPECT_FALSE(std::any_of(run.err.begin(), run.err.end(),
                                 [](unsigned char c) { return c != '\n' && std::iscntrl(c); }));
        if (args[1] == badName)
            EXPECT_NE(run.err.find("bad\\x1b]0;title\\x07.ogg"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    EXPECT_EQ(SwapFilesLeft(), 0);
}

TEST_F(CliProcessTest, AResultThatCannotBeWrittenToStandardOutputIsAFailure) {
    test::WriteWav(dir / "in.wav", {.channels = 2, .frames = 250000}, test::Noise16);
    std::filesystem::create_directories(dir / "src");
    std::filesystem::copy_file(dir / "in.wav", dir / "src" / "a.wav");
    const std::vector<std::vector<std::string>> cases = {
        {"--help"},
        {"info", In()},
        {"info", In(), "--json"},
        {"remaster", In(), Out(), "--json"},
        {"batch", (dir / "src").string(), dir.path().string(), "--json", "--overwrite"},
    };
    for (const auto& args : cases) {
        for (const bool closed : {false, true}) {
            SCOPED_TRACE(args[0] + " " + args.back() + (closed ? " closed" : " full"));
            const auto run = Run({.args = args,
                                  .closedDescriptors = closed ? std::vector{1} : std::vector<int>{},
                                  .stdoutTo = "/dev/full"});
            EXPECT_EQ(run.exit, 1);
            EXPECT_NE(run.err.find("Cannot write to standard output"), std::string::npos)
                << run.err;
        }
    }
}

// Formats the loudness meter cannot take: the rest of info is still there, and a log gets no
// progress lines.
TEST_F(CliProcessTest, InfoShowsWhatItCanAndNoProgressInALog) {
    const test::WavLayout layouts[] = {{.channels = 2, .frames = 250000},
                                       {.channels = 65, .frames = 8000},
                                       {.channels = 1, .rate = 1, .frames = 500000},
                                       {.channels = 1, .rate = 4000000, .frames = 500000}};
    for (const auto& layout : layouts) {
        SCOPED_TRACE(std::to_string(layout.channels) + " at " + std::to_string(layout.rate));
        const bool measurable = layout.channels == 2;
        test::WriteWav(dir / "in.wav", layout, test::Noise16);
        const auto text = Run({.args = {"info", In()}});
        EXPECT_EQ(text.exit + text.err.size(), 0u) << text.err;
        EXPECT_NE(text.out.find("format: PCM\n"), std::string::npos) << text.out;
        EXPECT_NE(text.out.find("frames: " + std::to_string(layout.frames)), std::string::npos);
        EXPECT_EQ(text.out.find("true_peak_dbtp: unavailable\n") == std::string::npos, measurable);
        const auto json = Run({.args = {"info", In(), "--json"}});
        EXPECT_EQ(json.exit + json.err.size(), 0u) << json.err;
        EXPECT_EQ(Records(json.out).at(0)["loudness"]["true_peak_dbtp"].is_number(), measurable);
    }
}

TEST(CliOptionsEnd, DoubleDashMakesEverythingAfterItAPath) {
    struct TableCase {
        std::vector<const char*> args;
        std::string input, output;
        bool level;
    };
    const TableCase cases[] = {
        {{"sonivar-cli", "remaster", "--", "--in.wav", "--level"}, "--in.wav", "--level", false},
        {{"sonivar-cli", "remaster", "--level", "a.wav", "--", "--"}, "a.wav", "--", true},
        {{"sonivar-cli", "remaster", "a.wav", "b.wav", "--"}, "a.wav", "b.wav", false},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options =
            cli::ParseOptions(static_cast<int>(c.args.size()), c.args.data(), error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->Input, c.input);
        EXPECT_EQ(options->Output, c.output);
        EXPECT_EQ(options->Settings.Levelling, c.level);
    }
    const char* tooMany[] = {"sonivar-cli", "remaster", "a.wav", "--", "b.wav", "c.wav"};
    std::string error;
    EXPECT_FALSE(cli::ParseOptions(6, tooMany, error));
}

}  // namespace
}  // namespace sv
