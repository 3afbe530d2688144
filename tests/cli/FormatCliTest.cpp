// The command line writes the format its output name gives and takes every readable format in
// a batch.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/CommandOutput.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

struct FormatCliTest : ::testing::Test {
    test::TempDir dir;
    void SetUp() override {
        if (std::system("command -v sox >/dev/null") != 0) GTEST_SKIP() << "sox missing";
    }
    int Cli(const std::string& args) {
        const int status =
            std::system((std::string(SONIVAR_CLI_PATH) + " " + args + " --quiet --work-folder '" +
                         dir.path().string() + "' 2>/dev/null")
                            .c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool Sox(const std::string& args) {
        return std::system(
                   ("cd '" + dir.path().string() + "' && sox " + args + " 2>/dev/null").c_str()) ==
               0;
    }
    std::string Soxi(const std::string& option, const std::string& file) {
        return test::CommandOutput("soxi " + option + " '" + (dir / file).string() + "'");
    }
    std::string RawSamples(const std::string& file) {
        return test::CommandOutput("sox '" + (dir / file).string() + "' -t raw - | md5sum");
    }
};

TEST_F(FormatCliTest, RemasterWritesTheFormatOfTheOutputName) {
    ASSERT_TRUE(Sox("-n -r 48000 -b 24 -c 2 in.wav synth 5.5 sine 440 vol 0.5"));
    struct Case {
        const char* out;
        const char* type;
        const char* bits;
        const char* container;  // as info names it
    };
    for (const Case& c :
         {Case{"out.flac", "flac", "24", "FLAC"}, Case{"out.aiff", "aiff", "24", "AIFF"},
          Case{"OUT.AIF", "aiff", "24", "AIFF"}}) {
        SCOPED_TRACE(c.out);
        ASSERT_EQ(
            Cli("remaster '" + (dir / "in.wav").string() + "' '" + (dir / c.out).string() + "'"),
            0);
        EXPECT_EQ(Soxi("-t", c.out), c.type);
        EXPECT_EQ(Soxi("-b", c.out), c.bits);
        EXPECT_EQ(RawSamples(c.out), RawSamples("in.wav"));  // lossless and bit-exact
        EXPECT_NE(test::CommandOutput(std::string(SONIVAR_CLI_PATH) + " info '" +
                                      (dir / c.out).string() + "' 2>/dev/null")
                      .find(std::string("\ncontainer: ") + c.container + "\n"),
                  std::string::npos);
    }
    ASSERT_EQ(Cli("remaster '" + (dir / "in.wav").string() + "' '" + (dir / "out.ogg").string() +
                  "' --normalize"),
              0);
    EXPECT_EQ(Soxi("-t", "out.ogg"), "vorbis");
    // MP3 is read but not written: refused before any work, nothing created.
    EXPECT_EQ(
        Cli("remaster '" + (dir / "in.wav").string() + "' '" + (dir / "out.mp3").string() + "'"),
        2);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));
}

TEST_F(FormatCliTest, BatchTakesEveryReadableFormatAndKeepsIt) {
    std::filesystem::create_directory(dir / "src");
    std::filesystem::create_directory(dir / "dst");
    ASSERT_TRUE(Sox("-n -r 44100 -b 16 -c 2 src/a.flac synth 6 sine 440 vol 0.5"));
    ASSERT_TRUE(Sox("-n -r 44100 -b 16 -c 2 src/b.wav synth 6 sine 440 vol 0.5"));
    ASSERT_TRUE(Sox("-n -r 44100 -b 24 -c 1 src/c.aiff synth 12 sine 440 vol 0.5"));
    // MP3 is only read: its result comes out as WAV.
    ASSERT_EQ(std::system(("ffmpeg -v quiet -f lavfi -i sine=frequency=440:duration=6 -ac 2 '" +
                           (dir / "src" / "d.mp3").string() + "'")
                              .c_str()),
              0);
    test::WriteFile(dir / "src" / "notes.txt", "not sound");
    ASSERT_EQ(
        Cli("batch '" + (dir / "src").string() + "' '" + (dir / "dst").string() + "' --normalize"),
        0);
    EXPECT_EQ(Soxi("-t", "dst/_a.flac"), "flac");
    EXPECT_EQ(Soxi("-t", "dst/_b.wav"), "wav");
    EXPECT_EQ(Soxi("-b", "dst/_c.aiff"), "24");
    EXPECT_EQ(Soxi("-t", "dst/_d.wav"), "wav");
    int count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir / "dst")) ++count;
    EXPECT_EQ(count, 4);
}

}  // namespace
}  // namespace sv
