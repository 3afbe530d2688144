// batch and --json as a scheduler uses them: several workers, machine-readable results, a run
// killed part-way and resumed, lists of awkward names.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/TestFiles.h"

extern char** environ;

namespace sv {
namespace {

using nlohmann::json;
using test::ReadFile;
using test::TempDir;

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
};

class BatchProcessTest : public ::testing::Test {
  protected:
    // Runs sonivar-cli; stopWhen is polled while it runs and, once true, the signals are sent a
    // moment apart.
    Outcome Run(std::vector<std::string> args, const std::string& stdinFile = "",
                const std::function<bool()>& stopWhen = {},
                const std::vector<int>& signals = {SIGKILL}) {
        std::filesystem::create_directories(dir / "swap");
        std::vector<std::string> all = {SONIVAR_CLI_PATH, "--work-folder", (dir / "swap").string()};
        all.insert(all.begin() + 1, args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(
            &actions, 0, stdinFile.empty() ? "/dev/null" : stdinFile.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / "out.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (dir / "err.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        Outcome outcome;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return outcome;
        int status = 0;
        bool stopped = !stopWhen;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (!stopped && stopWhen()) {
                for (const int signal : signals) {
                    kill(pid, signal);
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                stopped = true;
            }
            if (std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        waitpid(pid, &status, 0);
        outcome.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.out = ReadFile(dir / "out.txt");
        outcome.err = ReadFile(dir / "err.txt");
        return outcome;
    }

    static std::vector<json> Lines(const std::string& text) {
        std::vector<json> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(json::parse(text.substr(start, end - start)));
        return lines;
    }

    // The bytes of every result file of a folder, by name.
    static std::map<std::string, std::string> Results(const std::filesystem::path& folder) {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(folder)) {
            const auto name = e.path().filename().string();
            if (name.rfind('_', 0) == 0) files[name] = ReadFile(e.path());
        }
        return files;
    }

    void MakeSources(int count, std::int64_t frames) {
        std::filesystem::create_directories(dir / "src");
        for (int i = 0; i < count; ++i)
            test::WriteWav(
                dir / "src" / ("t" + std::to_string(i) + ".wav"), {.channels = 2, .frames = frames},
                [i](std::int64_t f, int c) { return test::Noise16(f + 977 * i, c) / 4; });
    }

    int SwapFilesLeft() {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir / "swap")) {
            ADD_FAILURE() << "left in the work folder: " << e.path().filename();
            n += 1;
        }
        return n;
    }

    TempDir dir;
};

// Peak and RMS in dBFS of a 16-bit channel, computed here from the samples themselves.
std::pair<double, double> Levels(const std::function<int(std::int64_t, int)>& sample,
                                 std::int64_t frames, int channel) {
    double peak = 0, sum = 0;
    for (std::int64_t f = 0; f < frames; ++f) {
        const double v = sample(f, channel);
        peak = std::max(peak, std::abs(v));
        sum += v * v;
    }
    return {20 * std::log10(peak / 32768), 20 * std::log10(std::sqrt(sum / frames) / 32768)};
}

TEST_F(BatchProcessTest, JsonCarriesFormatLevelsStagesAndStatus) {
    const auto sine = [](std::int64_t f, int c) {
        return static_cast<int>(std::lround((c ? 8000 : 20000) * std::sin(f * 0.0317)));
    };
    constexpr std::int64_t frames = 288000;
    test::WriteWav(dir / "in.wav", {.channels = 2, .rate = 48000, .frames = frames}, sine);
    auto info = Run({"info", (dir / "in.wav").string(), "--json"});
    ASSERT_EQ(info.exit, 0) << info.err;
    const auto lines = Lines(info.out);
    ASSERT_EQ(lines.size(), 1u) << info.out;
    const json& line = lines[0];
    EXPECT_EQ(line["status"], "done");
    EXPECT_EQ(line["format"], "PCM");
    EXPECT_EQ(line["channels"], 2);
    EXPECT_EQ(line["frames"], frames);
    EXPECT_DOUBLE_EQ(line["duration_seconds"].get<double>(), 6.0);
    for (int c = 0; c < 2; ++c) {
        const auto [peak, rms] = Levels(sine, frames, c);
        EXPECT_NEAR(line["before"]["peak_dbfs"][c].get<double>(), peak, 1e-9);
        EXPECT_NEAR(line["before"]["rms_dbfs"][c].get<double>(), rms, 1e-9);
    }
    EXPECT_TRUE(line["loudness"]["integrated_lufs"].is_number());

    auto remaster = Run({"remaster", (dir / "in.wav").string(), (dir / "out.wav").string(),
                         "--normalize", "--normalize-db", "-6", "--json"});
    ASSERT_EQ(remaster.exit, 0) << remaster.err;
    const json done = Lines(remaster.out).at(0);
    EXPECT_EQ(done["stages"], json::parse(R"([{"name":"normalize","normalize_db":-6,
                                              "per_channel":false}])"));
    EXPECT_NEAR(done["after"]["peak_dbfs"][0].get<double>(), -6.0, 0.01);
    EXPECT_NEAR(
        done["after"]["rms_dbfs"][1].get<double>() - done["after"]["rms_dbfs"][0].get<double>(),
        done["before"]["rms_dbfs"][1].get<double>() - done["before"]["rms_dbfs"][0].get<double>(),
        0.01);

    test::WriteFile(dir / "bad.wav", "not a wave file");
    auto refused =
        Run({"remaster", (dir / "bad.wav").string(), (dir / "o.wav").string(), "--json"});
    EXPECT_EQ(refused.exit, 3);
    const json no = Lines(refused.out).at(0);
    EXPECT_EQ(no["status"], "refused");
    EXPECT_EQ(no["exit_code"], 3);
    EXPECT_FALSE(no["message"].get<std::string>().empty());
}

TEST_F(BatchProcessTest, WorkerThreadsWriteTheSameBytesAsOneFileAtATime) {
    MakeSources(5, 260000);
    test::WriteFile(dir / "src" / "broken.wav", "RIFF but nothing else");
    for (const char* out : {"one", "three"}) std::filesystem::create_directories(dir / out);
    const std::vector<std::string> stages = {"--denoise", "--level", "--fit-peaks", "--normalize"};
    auto batch = [&](const std::string& out, const std::string& jobs) {
        std::vector<std::string> args = {
            "batch", (dir / "src").string(), (dir / out).string(), "--jobs", jobs, "--json"};
        args.insert(args.end(), stages.begin(), stages.end());
        return Run(args);
    };
    const auto one = batch("one", "1");
    const auto three = batch("three", "3");
    EXPECT_EQ(one.exit, 3) << one.err;  // the broken file is refused, the rest done
    EXPECT_EQ(three.exit, 3) << three.err;
    EXPECT_EQ(Results(dir / "one").size(), 5u);
    EXPECT_EQ(Results(dir / "one"), Results(dir / "three"));
    std::map<std::string, std::string> statuses;
    for (const auto& line : Lines(three.out))
        statuses[std::filesystem::path(line["input"].get<std::string>()).filename()] =
            line["status"];
    EXPECT_EQ(statuses.size(), 6u);
    EXPECT_EQ(statuses["broken.wav"], "refused");
    EXPECT_EQ(statuses["t4.wav"], "done");
    EXPECT_NE(three.err.find("6/6 files done"), std::string::npos) << three.err;
    EXPECT_EQ(SwapFilesLeft(), 0);
}

TEST_F(BatchProcessTest, AKilledBatchResumesWithEveryFileDoneOnce) {
    MakeSources(6, 300000);
    std::filesystem::create_directories(dir / "whole");
    std::filesystem::create_directories(dir / "parts");
    const std::vector<std::string> stages = {"--level", "--normalize"};
    auto args = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> all = {"batch", (dir / "src").string(), (dir / out).string()};
        all.insert(all.end(), stages.begin(), stages.end());
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    };
    ASSERT_EQ(Run(args("whole", {})).exit, 0);
    const auto report = dir / "report.jsonl";
    const auto killed = Run(args("parts", {"--jobs", "2", "--report", report.string()}), "",
                            [&] { return Lines(ReadFile(report)).size() >= 2; });
    ASSERT_EQ(killed.exit, 128 + SIGKILL) << "the batch ended before it could be killed";
    const auto linesBefore = Lines(ReadFile(report));
    EXPECT_LT(linesBefore.size(), 6u);
    // As if killed between saving a result and reporting it: that result is kept as done.
    std::string text = ReadFile(report);
    text.erase(text.rfind('\n', text.size() - 2) + 1);
    test::WriteFile(report, text);
    const std::string unreported = linesBefore.back()["input"];
    const auto resumed = Run(args("parts", {"--resume", report.string()}));
    ASSERT_EQ(resumed.exit, 0) << resumed.err;
    std::map<std::string, int> done;
    for (const auto& line : Lines(ReadFile(report))) {
        EXPECT_EQ(line["status"], "done") << line.dump();
        if (line["input"] == unreported) EXPECT_TRUE(line.value("kept", false)) << line.dump();
        ++done[line["input"].get<std::string>()];
    }
    EXPECT_EQ(done.size(), 6u);
    for (const auto& [input, times] : done) EXPECT_EQ(times, 1) << input;
    EXPECT_EQ(Results(dir / "parts"), Results(dir / "whole"));
}

TEST_F(BatchProcessTest, ListsNameFilesWithSpacesAndNewlines) {
    std::filesystem::create_directories(dir / "in" / "sub dir");
    std::filesystem::create_directories(dir / "out");
    const std::vector<std::filesystem::path> inputs = {dir / "in" / "sub dir" / "two words.wav",
                                                       dir / "in" / "line\nbreak.wav",
                                                       dir / "in" / " lead.wav"};
    std::string nulList, lineList;
    for (const auto& path : inputs) {
        test::WriteWav(path, {.frames = 500000}, test::Noise16);
        nulList += path.string() + '\0';
        if (path.string().find('\n') == std::string::npos) lineList += path.string() + '\n';
    }
    test::WriteFile(dir / "list0", nulList);
    auto run = Run({"batch", "--files-from0", (dir / "list0").string(), (dir / "out").string(),
                    "--normalize", "--json"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 3u);
    for (const char* name : {"_two words.wav", "_line\nbreak.wav", "_ lead.wav"})
        EXPECT_TRUE(std::filesystem::exists(dir / "out" / name)) << name;

    test::WriteFile(dir / "list", lineList);
    auto fromStdin = Run({"batch", "--files-from", "-", (dir / "out").string(), "--overwrite"},
                         (dir / "list").string());
    ASSERT_EQ(fromStdin.exit, 0) << fromStdin.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "two words.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / " lead.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "line\nbreak.wav"));
}

TEST_F(BatchProcessTest, AResultNeverReplacesAnotherInputAndClashesAreRefusedFirst) {
    const std::string src = (dir / "src").string() + "/";
    MakeSources(2, 250000);
    // Read as WAV, saved as src/t0.wav with --overwrite: over another input.
    std::filesystem::copy_file(src + "t1.wav", src + "t0.bak");
    const std::string t0 = ReadFile(src + "t0.wav");
    test::WriteFile(dir / "list",
                    src + "t0.bak\n" + src + "t0.wav\n" + src + "t1.wav\n" + src + "./t1.wav\n");
    const auto run =
        Run({"batch", "--files-from", "-", src, "--overwrite", "--json", "--jobs", "2"},
            (dir / "list").string());
    EXPECT_EQ(run.exit, 3) << run.err;
    EXPECT_EQ(ReadFile(src + "t0.wav"), t0);  // saved in place without a stage: the same bytes
    std::vector<std::string> statuses;
    for (const auto& line : Lines(run.out))
        statuses.push_back(line["status"].get<std::string>() + " " +
                           line["input"].get<std::string>());
    std::sort(statuses.begin(), statuses.end());  // the workers finish in any order
    EXPECT_EQ(statuses, (std::vector<std::string>{
                            "done " + src + "t0.wav", "done " + src + "t1.wav",
                            "refused " + src + "./t1.wav", "refused " + src + "t0.bak"}))
        << run.err;
}

TEST_F(BatchProcessTest, AFolderTreeWithRepeatedNamesComesOutWholeWithOrWithoutAReport) {
    for (const char* name : {"CD1/t.wav", "CD2/t.wav", "CD2/deeper/t.wav", ".hidden/t.wav"}) {
        std::filesystem::create_directories((dir / "src" / name).parent_path());
        test::WriteWav(dir / "src" / name, {.channels = 2, .frames = 250000}, test::Noise16);
    }
    test::WriteWav(dir / "src" / "CD2" / "short.wav", {.frames = 10}, test::Noise16);
    const std::vector<std::string> trees = {"CD1/_t.wav", "CD2/_t.wav", "CD2/deeper/_t.wav"};
    std::map<std::string, std::string> first;
    for (const bool report : {false, true}) {
        // The second run's results go inside the tree it walks.
        const auto out = report ? dir / "src" / "out" : dir / "plain";
        std::filesystem::create_directories(out);
        std::vector<std::string> args = {"batch",      (dir / "src").string(),
                                         out.string(), "--recursive",
                                         "--quiet",    "--jobs",
                                         "1",          "--level",
                                         "--normalize"};
        if (report) args.insert(args.end(), {"--report", (dir / "r.jsonl").string()});
        const auto run = Run(args);
        EXPECT_EQ(run.exit, 3) << run.err;  // short.wav is refused, and says so by name
        EXPECT_NE(run.err.find("short.wav: "), std::string::npos) << run.err;
        std::map<std::string, std::string> results;
        for (const auto& e : std::filesystem::recursive_directory_iterator(out))
            if (e.is_regular_file())
                results[e.path().lexically_relative(out).string()] = ReadFile(e.path());
        EXPECT_EQ(results.size(), trees.size());
        for (const auto& name : trees) EXPECT_TRUE(results.count(name)) << name;
        if (report) EXPECT_EQ(results, first);  // the report changes no byte
        first = results;
    }
    std::vector<std::string> done;
    for (const auto& line : Lines(ReadFile(dir / "r.jsonl")))
        if (line["status"] == "done") done.push_back(line["input"]);
    EXPECT_EQ(done, (std::vector<std::string>{(dir / "src/CD1/t.wav").string(),
                                              (dir / "src/CD2/deeper/t.wav").string(),
                                              (dir / "src/CD2/t.wav").string()}));
}

TEST_F(BatchProcessTest, InterruptStopsEveryWorkerThreadAndLeavesNoSwapFile) {
    MakeSources(4, 44100 * 40);
    std::filesystem::create_directories(dir / "out");
    const std::vector<std::string> batch = {
        "batch",  (dir / "src").string(), (dir / "out").string(), "--jobs", "2", "--denoise",
        "--level"};
    const auto twoStarted = [&] {
        return ReadFile(dir / "err.txt").find("[2/4]") != std::string::npos;
    };
    // One Ctrl+C cancels every worker through the ordinary paths.
    auto once = Run(batch, "", twoStarted, {SIGINT});
    EXPECT_EQ(once.exit, 130) << once.err;
    EXPECT_EQ(SwapFilesLeft(), 0);
    EXPECT_EQ(Results(dir / "out").size(), 0u);
    // A second one ends at once; a swap file still being set up then is not yet listed for
    // removal, and the next start sweeps it.
    auto twice = Run(batch, "", twoStarted, {SIGINT, SIGINT});
    EXPECT_EQ(twice.exit, 130) << twice.err;
    EXPECT_EQ(Results(dir / "out").size(), 0u);
    EXPECT_EQ(Run({"info", (dir / "src" / "t0.wav").string()}).exit, 0);
    EXPECT_EQ(SwapFilesLeft(), 0);
}

// Several workers take the largest file first, so that it does not run alone at the end; one
// worker keeps the list order.
TEST_F(BatchProcessTest, WorkersTakeTheLargestFileFirst) {
    std::filesystem::create_directories(dir / "src");
    for (const auto& [name, frames] :
         {std::pair{"a.wav", 20000}, {"b.wav", 20000}, {"c.wav", 90000}})
        test::WriteWav(dir / "src" / name, {.frames = frames}, test::Noise16);
    for (const auto& [jobs, first] : {std::pair{"1", "a.wav"}, {"2", "c.wav"}}) {
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directories(dir / "out");
        const auto run = Run({"batch", (dir / "src").string(), (dir / "out").string(), "--jobs",
                              jobs, "--normalize"});
        ASSERT_EQ(run.exit, 0) << run.err;
        EXPECT_NE(run.err.find("[1/3] " + (dir / "src" / first).string()), std::string::npos)
            << "--jobs " << jobs << ":\n"
            << run.err;
    }
}

}  // namespace
}  // namespace sv
