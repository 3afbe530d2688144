// Chunks and tags of the input reach the output of every command that saves.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cstdlib>

#include "audio/AudioFileFormats.h"
#include "support/EngineFixture.h"
#include "support/RiffChunks.h"

namespace sv {
namespace {

using MetadataKeptTest = test::EngineFixture;

TEST_F(MetadataKeptTest, EveryCommandKeepsChunksAndTags) {
    const std::vector<std::pair<TagKind, std::string>> tags = {{TagKind::Title, "Tape 7"},
                                                               {TagKind::Artist, "Field trip"},
                                                               {TagKind::Date, "1971"},
                                                               {TagKind::Comment, "side A"}};
    const char* infoIds[] = {"INAM", "IART", "ICRD", "ICMT"};
    const int types[] = {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_DATE, SF_STR_COMMENT};
    std::string info = "INFO";
    for (std::size_t i = 0; i < tags.size(); ++i)
        info += test::ChunkBytes({infoIds[i], tags[i].second + '\0'});
    const std::string history = "A=ANALOGUE,M=mono,T=Studer A80\r\n";
    const test::Chunk bext{"bext", std::string(602, '\0') + history + std::string(3, '\0')};
    const test::Chunk list{"LIST", info}, ixml{"iXML", "<BWFXML/>"};  // odd size
    std::filesystem::create_directories(dir / "src");
    test::WriteFile(dir / "src/in.wav",
                    test::WavWithChunks({.frames = 491520, .chunksBeforeData = {bext, list}},
                                        {ixml}, test::Noise16));
    SF_INFO format{.samplerate = 44100, .channels = 1, .format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16};
    SNDFILE* flac = sf_open((dir / "src/in.flac").c_str(), SFM_WRITE, &format);
    ASSERT_NE(flac, nullptr);
    for (std::size_t i = 0; i < tags.size(); ++i)
        sf_set_string(flac, types[i], tags[i].second.c_str());
    const std::vector<short> samples(491520, 1000);
    sf_writef_short(flac, samples.data(), 491520);
    sf_close(flac);

    auto cli = [&](const std::string& args) {
        const int status = std::system((SONIVAR_CLI_PATH " " + args + " --normalize --quiet " +
                                        "--work-folder '" + dir.path().string() + "'")
                                           .c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string coded =
        "A=PCM,F=44100,W=16,M=mono,T=Sonivar " SONIVAR_VERSION " remaster\r\n";
    for (const std::string command : {"window", "remaster", "batch"}) {
        for (const auto& [in, out] : {std::pair{"in.wav", "in.wav"},
                                      {"in.flac", "in.flac"},
                                      {"in.wav", "in.flac"},
                                      {"in.flac", "in.wav"}}) {
            if (command == "batch" && std::string(in) != out) continue;  // a batch keeps formats
            SCOPED_TRACE(command + " " + in + " -> " + out);
            const auto source = dir / "src" / in, folder = dir / (command + in),
                       target = folder / ((command == "batch" ? "_" : "") + std::string(out));
            std::filesystem::create_directories(folder);
            if (command == "window") {  // the desktop program's Normalize and Save
                LoadResult loaded = OpenAudioFile(source, env);
                ASSERT_EQ(engine->Normalize(loaded.Document, 0, false), WalkResult::Completed);
                ASSERT_TRUE(SaveAudioFile(*loaded.Document, target).Saved());
            } else if (command == "remaster") {
                ASSERT_EQ(cli("remaster '" + source.string() + "' '" + target.string() + "'"), 0);
            } else {
                const auto only = dir / ("only-" + std::string(in));
                std::filesystem::create_directories(only);
                std::filesystem::copy_file(source, only / in);
                ASSERT_EQ(cli("batch '" + only.string() + "' '" + folder.string() + "'"), 0);
            }
            LoadResult saved = OpenAudioFile(target, env);
            ASSERT_TRUE(saved.Document);
            EXPECT_EQ(saved.Document->Metadata().Tags, tags);
            if (std::string(in) != "in.wav" || std::string(out) != "in.wav") continue;
            // Byte for byte but for the one coding-history line, added before the padding.
            test::Chunk coding = bext;
            coding.second.insert(602 + history.size(), coded);
            const std::vector<test::Chunk> kept = {coding, list, ixml};
            auto chunks = test::ChunksOf(test::ReadFile(target));
            ASSERT_EQ(chunks.size(), 5u);
            EXPECT_EQ(chunks[0].first + chunks[3].first, "fmt data");
            EXPECT_EQ(std::vector<test::Chunk>({chunks[1], chunks[2], chunks[4]}), kept);
        }
    }
}

}  // namespace
}  // namespace sv
