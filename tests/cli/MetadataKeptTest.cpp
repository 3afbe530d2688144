// Chunks and tags of the input reach the output of every command that saves.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "audio/AudioFileFormats.h"
#include "support/EngineFixture.h"
#include "support/RiffChunks.h"

namespace sv {
namespace {

using Tags = std::vector<std::pair<TagKind, std::string>>;

const Tags InputTags = {{TagKind::Title, "Tape 7"},
                        {TagKind::Artist, "Field recordings"},
                        {TagKind::Album, "Archive"},
                        {TagKind::Date, "1971"},
                        {TagKind::Comment, "side A"}};

std::string InfoList() {
    std::string body = "INFO";
    for (const auto& [id, text] : std::vector<test::Chunk>{{"INAM", "Tape 7"},
                                                           {"IART", "Field recordings"},
                                                           {"IPRD", "Archive"},
                                                           {"ICRD", "1971"},
                                                           {"ICMT", "side A"}})
        body += test::ChunkBytes({id, text + '\0'});
    return body;
}

// Description, originator, ..., then a coding history and NUL padding.
std::string Bext() {
    std::string body(602, '\0');
    body.replace(0, 13, "Reel 7 side A");
    return body + "A=ANALOGUE,M=stereo,T=Studer A80\r\n" + std::string(3, '\0');
}

Tags Sorted(Tags tags) {
    std::sort(tags.begin(), tags.end());
    return tags;
}

struct MetadataKeptTest : test::EngineFixture {
    const test::Chunk bext{"bext", Bext()};
    const test::Chunk info{"LIST", InfoList()};
    const test::Chunk ixml{"iXML", "<BWFXML><NOTE>odd</NOTE></BWFXML>?"};  // odd size

    void WriteInputs(const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        test::WriteFile(folder / "in.wav",
                        test::WavWithChunks({.frames = 491520, .chunksBeforeData = {bext, info}},
                                            {ixml}, test::Noise16));
        SF_INFO format{
            .samplerate = 44100, .channels = 1, .format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16};
        SNDFILE* flac = sf_open((folder / "in.flac").c_str(), SFM_WRITE, &format);
        ASSERT_NE(flac, nullptr);
        const int types[] = {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_ALBUM, SF_STR_DATE,
                             SF_STR_COMMENT};
        for (std::size_t i = 0; i < InputTags.size(); ++i)
            sf_set_string(flac, types[i], InputTags[i].second.c_str());
        std::vector<short> samples(491520);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<short>(test::Noise16(static_cast<std::int64_t>(i), 0));
        sf_writef_short(flac, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(flac);
    }
    int Cli(const std::string& args) {
        const int status = std::system((std::string(SONIVAR_CLI_PATH) + " " + args +
                                        " --normalize --quiet --work-folder '" +
                                        dir.path().string() + "' 2>/dev/null")
                                           .c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The desktop program's Normalize and Save.
    void SaveFromWindow(const std::filesystem::path& in, const std::filesystem::path& out) {
        LoadResult loaded = OpenAudioFile(in, env);
        ASSERT_TRUE(loaded.Document);
        ASSERT_EQ(engine->Normalize(loaded.Document, 0, false), WalkResult::Completed);
        ASSERT_TRUE(SaveAudioFile(*loaded.Document, out).Saved());
    }
};

TEST_F(MetadataKeptTest, EveryCommandKeepsChunksAndTags) {
    WriteInputs(dir / "src");
    struct Case {
        const char* command;
        const char* in;
        const char* out;
    };
    const Case cases[] = {{"window", "in.wav", "in.wav"},    {"window", "in.flac", "in.flac"},
                          {"remaster", "in.wav", "in.wav"},  {"remaster", "in.flac", "in.flac"},
                          {"batch", "in.wav", "in.wav"},     {"batch", "in.flac", "in.flac"},
                          {"remaster", "in.wav", "in.flac"}, {"remaster", "in.flac", "in.wav"}};
    const std::string coded =
        std::string("A=PCM,F=44100,W=16,M=mono,T=Sonivar ") + SONIVAR_VERSION + " remaster\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.in + " -> " + c.out);
        std::filesystem::remove_all(dir / "dst");
        std::filesystem::create_directories(dir / "dst");
        const auto in = dir / "src" / c.in;
        // A batch names its result _NAME.
        const bool batch = std::string(c.command) == "batch";
        const auto out = dir / "dst" / ((batch ? "_" : "") + std::string(c.out));
        if (std::string(c.command) == "window") SaveFromWindow(in, out);
        if (std::string(c.command) == "remaster") {
            ASSERT_EQ(Cli("remaster '" + in.string() + "' '" + out.string() + "'"), 0);
        }
        if (batch) {
            const auto folder = dir / (std::string("batch-") + c.in);
            std::filesystem::create_directories(folder);
            std::filesystem::copy_file(in, folder / c.in);
            ASSERT_EQ(Cli("batch '" + folder.string() + "' '" + (dir / "dst").string() + "'"), 0);
        }
        LoadResult saved = OpenAudioFile(out, env);
        ASSERT_TRUE(saved.Document);
        EXPECT_EQ(Sorted(saved.Document->Metadata().Tags), Sorted(InputTags));
        if (std::string(c.in) != "in.wav" || std::string(c.out) != "in.wav") continue;
        // The bext chunk gains one coding-history line before its padding; the rest is as it was.
        std::string history = bext.second;
        history.insert(history.size() - 3, coded);
        const std::vector<test::Chunk> expected = {{"fmt ", ""}, bext, info, {"data", ""}, ixml};
        const auto chunks = test::ChunksOf(test::ReadFile(out));
        ASSERT_EQ(chunks.size(), expected.size());
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            EXPECT_EQ(chunks[i].first, expected[i].first);
            const std::string& body = i == 1 ? history : expected[i].second;
            if (!body.empty()) {
                EXPECT_EQ(chunks[i].second, body);
            }
        }
    }
}

}  // namespace
}  // namespace sv
