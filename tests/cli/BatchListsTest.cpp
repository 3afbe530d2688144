// The pieces a scheduler relies on: option combinations, file lists, and the report a resumed
// batch reads back.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/BatchCommand.h"
#include "cli/FileList.h"
#include "cli/JsonLines.h"
#include "cli/Options.h"
#include "cli/OutputClashes.h"
#include "cli/ReportMerge.h"
#include "cli/ResultSink.h"
#include "support/TestFiles.h"

namespace sv::cli {
namespace {

std::optional<Options> Parse(std::vector<const char*> args, std::string& error) {
    args.insert(args.begin(), "sonivar-cli");
    return ParseOptions(static_cast<int>(args.size()), args.data(), error);
}

TEST(BatchOptions, CombinationsAreCheckedPerCommand) {
    struct Case {
        std::vector<const char*> args;
        bool accepted;
    };
    const Case cases[] = {
        {{"batch", "in", "out", "--jobs", "3", "--report", "r.jsonl", "--json"}, true},
        {{"batch", "--files-from", "-", "out"}, true},
        {{"batch", "--files-from0", "list", "out"}, true},
        {{"batch", "--files-from", "list", "in", "out"}, false},  // the list replaces SRC_DIR
        {{"batch", "in", "out", "--jobs", "0"}, false},
        {{"batch", "in", "out", "--jobs"}, false},
        {{"info", "a.wav", "--json"}, true},
        {{"detect", "a.wav", "b.sts", "--json", "--band-mode", "4"}, true},
        {{"remaster", "a.wav", "b.wav", "--report", "r.jsonl"}, false},
        {{"remaster", "a.wav", "b.wav", "--jobs", "2"}, false},
        {{"info", "a.wav", "--resume", "r.jsonl"}, false},
        {{"batch", "in", "out", "--recursive", "--keep-folders", "in"}, true},
        {{"batch", "--files-from", "l", "out", "--recursive"}, false},  // no folder to walk
        {{"batch", "--files-from0", "l", "out", "--merge-reports", "r"}, true},
        {{"batch", "in", "out", "--merge-reports", "r"}, false},  // merging needs the list
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(Parse(c.args, error).has_value(), c.accepted) << c.args[1] << ": " << error;
    }
    std::string error;
    const auto options = Parse({"batch", "--files-from0", "list", "out", "--jobs", "3",
                                "--channel-mode", "0", "--band-mode", "4"},
                               error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->Output, "out");
    EXPECT_TRUE(options->Input.empty());
    EXPECT_TRUE(options->FilesFromNul);
    EXPECT_EQ(options->Jobs, 3);
    EXPECT_EQ(options->Settings.ChannelMode, ChannelMode::Common);
    EXPECT_EQ(options->Settings.BandLevelMode, BandLevelMode::Peak);
}

TEST(FileLists, NamesKeepSpacesAndNewlinesAndLoseWindowsLineEnds) {
    struct Case {
        std::string text;
        bool nul;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"a b.wav\n/x/c.wav\n\n", false, {"a b.wav", "/x/c.wav"}},
        {"no newline at end.wav", false, {"no newline at end.wav"}},
        {"dos.wav\r\nsecond.wav\r\n\r\n", false, {"dos.wav", "second.wav"}},
        {std::string("cr at end\r\0", 11), true, {"cr at end\r"}},
        {std::string("line\nbreak.wav\0 lead.wav\0\0", 26), true, {"line\nbreak.wav", " lead.wav"}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        EXPECT_EQ(ReadFileList(in, c.nul), c.paths) << c.text;
    }
}

TEST(FileLists, SameOutputNameIsProcessedOnce) {
    test::TempDir dir;
    test::WriteFile(dir / "list", "one/a.wav\ntwo/a.wav\ntwo/b.wav\n");
    Options options;
    options.Command = CliCommand::Batch;
    options.FilesFrom = (dir / "list").string();
    options.Output = "out";
    auto items = BatchItems(options);
    MarkOutputClashes(items, false);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].Output, "out/_a.wav");
    EXPECT_EQ(items[0].Clash, "");
    EXPECT_NE(items[1].Clash, "");
    EXPECT_EQ(items[2].Clash, "");
}

TEST(FileLists, FolderTreesAreKeptUnderTheOutput) {
    test::TempDir dir;
    const auto d = dir.path();
    // out/_c.wav: a result inside the tree
    for (const char* name :
         {"CD2/b.wav", "CD1/a.wav", "CD1/sub/a.wav", ".hidden/a.wav", "c.wav", "out/_c.wav"}) {
        std::filesystem::create_directories((d / "src" / name).parent_path());
        test::WriteFile(d / "src" / name, "");
    }
    test::WriteFile(d / "list", "/x/CD1/a.wav\n/x/CD2/a.wav\n/x/../x/CD2/b.wav\n/y/a.wav\n");
    struct Case {
        Options options;
        std::vector<std::string> items;  // "input -> output", "!" after it when refused
    };
    const std::string src = (d / "src").string(), out = (d / "src/out").string();
    const Case cases[] = {
        {{.Input = src, .Output = out, .Recursive = true},
         {src + "/c.wav -> " + out + "/_c.wav", src + "/CD1/a.wav -> " + out + "/CD1/_a.wav",
          src + "/CD1/sub/a.wav -> " + out + "/CD1/sub/_a.wav",
          src + "/CD2/b.wav -> " + out + "/CD2/_b.wav"}},
        {{.Output = "o", .FilesFrom = (d / "list").string(), .KeepFolders = "/x/"},
         {"/x/CD1/a.wav -> o/CD1/_a.wav", "/x/CD2/a.wav -> o/CD2/_a.wav",
          "/x/../x/CD2/b.wav -> o/CD2/_b.wav", "/y/a.wav -> o/_a.wav!"}},
    };
    for (auto c : cases) {
        c.options.Command = CliCommand::Batch;
        std::vector<std::string> items;
        for (const auto& item : BatchItems(c.options))
            items.push_back(item.Input + " -> " + item.Output + (item.Clash.empty() ? "" : "!"));
        EXPECT_EQ(items, c.items);
    }
}

TEST(FileLists, ResultsThatWouldReplaceAnInputOrEachOtherAreRefused) {
    test::TempDir dir;
    const std::string d = dir.path().string() + "/";
    for (const char* name : {"a.wav", "a.bak", "b.wav"}) test::WriteFile(dir / name, name);
    std::filesystem::create_hard_link(dir / "b.wav", dir / "link.wav");
    // Each case: the items, whether results replace files (--overwrite), and for each item a
    // text its refusal names ("" when it runs).
    struct Case {
        std::vector<BatchItem> items;
        bool replacing;
        std::vector<std::string> clashes;
    };
    const Case cases[] = {
        // Into the source folder: a.bak's WAV result would replace a.wav.
        {{{d + "a.bak", d + "a.wav"}, {d + "a.wav", d + "a.wav"}},
         true,
         {"replace " + d + "a.wav", ""}},
        {{{d + "a.bak", d + "_a.wav"}, {d + "a.wav", d + "_a.wav"}},
         false,
         {"", "that of " + d + "a.bak"}},
        {{{d + "a.wav", d + "_a.wav"}, {d + "./a.wav", d + "_b.wav"}},
         false,
         {"", "already in the batch"}},
        // Another name of an input is that input; unless replacing, it is only found to exist.
        {{{d + "a.wav", d + "link.wav"}, {d + "b.wav", d + "b.wav"}},
         true,
         {"replace " + d + "b.wav", ""}},
        {{{d + "a.wav", d + "link.wav"}, {d + "b.wav", d + "_b.wav"}}, false, {"", ""}},
    };
    for (auto c : cases) {
        MarkOutputClashes(c.items, c.replacing);
        for (std::size_t i = 0; i < c.items.size(); ++i) {
            const std::string& clash = c.items[i].Clash;
            EXPECT_EQ(clash.empty(), c.clashes[i].empty()) << c.items[i].Input << ": " << clash;
            EXPECT_NE(clash.find(c.clashes[i]), std::string::npos) << clash;
        }
    }
}

TEST(Reports, ResumeReadsExactInputsAndPassesOverBrokenLines) {
    test::TempDir dir;
    Options options;
    options.Command = CliCommand::Batch;
    const auto line = [&](const std::string& input, FileStatus status) {
        FileRecord record;
        record.Input = input;
        record.Output = "out/_" + input;
        record.Status = status;
        return JsonLine(record, options);
    };
    const std::string notUtf8 = "caf\xe9 \xff.wav";  // Latin-1 bytes in a name
    const std::string report =
        line("plain.wav", FileStatus::Done) + line(notUtf8, FileStatus::Done) +
        line("bad.wav", FileStatus::Refused) + line("quote\"and\\slash.wav", FileStatus::Done) +
        line("cut.wav", FileStatus::Done).substr(0, 30);  // a killed write
    test::WriteFile(dir / "r.jsonl", report);
    const auto done = DoneInputs(dir / "r.jsonl");
    EXPECT_EQ(done,
              (std::unordered_set<std::string>{"plain.wav", notUtf8, "quote\"and\\slash.wav"}));
    EXPECT_NE(report.find("\"input_hex\":\"636166e920ff2e776176\""), std::string::npos);
    EXPECT_TRUE(DoneInputs(dir / "missing.jsonl").empty());

    std::vector<BatchItem> items = {{"plain.wav", "o1"}, {notUtf8, "o2"}, {"bad.wav", "o3"}};
    DropDoneItems(items, dir / "r.jsonl");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Input, "bad.wav");
}

TEST(Reports, MergingKeepsTheLastRecordOfEachListedInput) {
    const Options options{.Command = CliCommand::Batch};
    const auto line = [&](const std::string& input, FileStatus status) {
        return ReportLine{input, status == FileStatus::Done,
                          JsonLine({.Input = input, .Status = status}, options)};
    };
    const std::vector<std::vector<ReportLine>> reports = {
        {line("a.wav", FileStatus::Done), line("b.wav", FileStatus::Cancelled)},
        {line("./b.wav", FileStatus::Done), line("c.wav", FileStatus::Done),
         line("c.wav", FileStatus::Failed), line("other.wav", FileStatus::Done)}};
    const auto merged = MergeReports({"a.wav", "b.wav", "c.wav", "d.wav", "./a.wav"}, reports);
    EXPECT_EQ(merged.Inputs, 4u);
    EXPECT_EQ(merged.Done, 2u);
    EXPECT_EQ(merged.Lines, (std::vector<std::string>{reports[0][0].Text, reports[1][0].Text,
                                                      reports[1][2].Text}));
    EXPECT_EQ(merged.NotDone, (std::vector<std::string>{"c.wav", "d.wav"}));

    test::TempDir dir;
    for (const char* folder : {"sub", ".sonivar-slurm"})
        std::filesystem::create_directories(dir / folder);
    test::WriteFile(dir / "sub" / ".sonivar-ab12cd", "");
    test::WriteFile(dir / ".sonivar-slurm" / "report-0.jsonl", "");
    EXPECT_EQ(LeftoverTemporaries(dir.path()),
              (std::vector<std::filesystem::path>{dir / "sub" / ".sonivar-ab12cd"}));
}

TEST(Reports, ALineCutShortIsPassedOverAndTheNextRecordStartsANewLine) {
    test::TempDir dir;
    const Options options{.Command = CliCommand::Batch};
    // The disk filled up just before the newline of b.wav's record.
    std::string torn =
        JsonLine({.Input = "a.wav"}, options) + JsonLine({.Input = "b.wav"}, options);
    torn.pop_back();
    test::WriteFile(dir / "r.jsonl", torn);
    EXPECT_EQ(DoneInputs(dir / "r.jsonl"), (std::unordered_set<std::string>{"a.wav"}));
    ResultSink(options, (dir / "r.jsonl").string()).Add({.Input = "c.wav"});
    EXPECT_EQ(test::ReadFile(dir / "r.jsonl"), torn + "\n" + JsonLine({.Input = "c.wav"}, options));
    EXPECT_EQ(DoneInputs(dir / "r.jsonl").size(), 3u);
}

}  // namespace
}  // namespace sv::cli
