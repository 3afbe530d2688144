#pragma once
// What a file says about its recording besides the samples: the WAV chunks other than fmt and
// data, kept byte for byte, and the textual tags that every supported format can carry. It
// travels with the document through every processing stage and is written back on save.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sv {

// The tags libsndfile reads and writes in every format, in this order.
enum class TagKind {
    Title,
    Artist,
    Album,
    Date,
    Comment,
    Copyright,
    Software,
    TrackNumber,
    Genre,
    License
};
constexpr int TagKindCount = 10;

// The lower-case name shown for a tag ("title", "tracknumber").
const char* TagName(TagKind kind);

// A RIFF chunk as the file had it: its four-letter id and its body without the pad byte.
struct RiffChunk {
    std::array<char, 4> Id{};
    std::vector<unsigned char> Body;
    bool AfterData = false;  // stood after the data chunk in the file
    bool Is(const char* id) const;
};

struct FileMetadata {
    // Chunks whose bodies together exceed this are not kept in memory; the load names them.
    static constexpr std::uint64_t MaxKeptBytes = 16u << 20;

    std::vector<RiffChunk> Chunks;                      // in file order
    std::vector<std::pair<TagKind, std::string>> Tags;  // each kind at most once
    std::vector<std::string> DroppedChunks;             // "id (size bytes)" of chunks not kept
    // What was done to the samples since they were last written ("remaster", "block delete"),
    // recorded in a Broadcast WAV's coding history by the next save.
    std::vector<std::string> Processing;

    void NoteProcessing(const std::string& what);
};

// The tags of a LIST chunk of type INFO (INAM, IART, IPRD, ICRD, ICMT, ICOP, ISFT, ITRK, IGNR);
// nothing for other chunks.
std::vector<std::pair<TagKind, std::string>> TagsOfInfoList(const RiffChunk& list);
// A LIST/INFO chunk holding tags (those INFO has a field for); empty body when none has.
RiffChunk InfoListOfTags(const std::vector<std::pair<TagKind, std::string>>& tags);

}  // namespace sv
