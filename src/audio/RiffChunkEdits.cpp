#include "audio/RiffChunkEdits.h"

#include <algorithm>
#include <cstddef>

namespace sv {

namespace {

// The fixed fields of a bext chunk before its coding history.
constexpr std::size_t BextFixedBytes = 602;

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

enum class Fate { Kept, Moved, Dropped };

// Where frame position p goes; moved positions are rewritten in place.
Fate Shift(unsigned char* field, std::int64_t first, std::int64_t end) {
    const std::int64_t p = Le32(field);
    if (p < first) return Fate::Kept;
    if (p < end) return Fate::Dropped;
    Put32(field, static_cast<std::uint32_t>(p - (end - first)));
    return Fate::Moved;
}

// Keeps the records of a table (count field, then records of recordBytes) for which keep says
// so, rewriting the count; bytes after the table stay.
template <typename Keep>
void FilterRecords(std::vector<unsigned char>& body, std::size_t countAt, std::size_t tableAt,
                   std::size_t recordBytes, Keep keep) {
    if (body.size() < tableAt) return;
    const std::size_t count =
        std::min<std::size_t>(Le32(&body[countAt]), (body.size() - tableAt) / recordBytes);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char* record = &body[tableAt + i * recordBytes];
        if (!keep(record)) continue;
        std::copy_n(record, recordBytes, &body[tableAt + kept * recordBytes]);
        ++kept;
    }
    body.erase(body.begin() + static_cast<std::ptrdiff_t>(tableAt + kept * recordBytes),
               body.begin() + static_cast<std::ptrdiff_t>(tableAt + count * recordBytes));
    Put32(&body[countAt], static_cast<std::uint32_t>(kept));
}

}  // namespace

std::string CodingHistoryLine(int sampleRate, int bits, int channels, const std::string& process) {
    const std::string mode = channels == 1   ? "mono"
                             : channels == 2 ? "stereo"
                                             : std::to_string(channels) + "-channel";
    return "A=PCM,F=" + std::to_string(sampleRate) + ",W=" + std::to_string(bits) + ",M=" + mode +
           ",T=" + process;
}

void AppendCodingHistory(RiffChunk& bext, const std::string& line) {
    auto& body = bext.Body;
    if (body.size() < BextFixedBytes) return;
    auto textEnd = body.end();
    while (textEnd != body.begin() + BextFixedBytes && *(textEnd - 1) == 0) --textEnd;
    std::string added;
    // Every line of the history ends with CR LF; one written without gets its end first.
    if (textEnd != body.begin() + BextFixedBytes && *(textEnd - 1) != '\n') added = "\r\n";
    added += line + "\r\n";
    body.insert(textEnd, added.begin(), added.end());
}

void ShiftMarkersForDelete(std::vector<RiffChunk>& chunks, std::int64_t first, std::int64_t end) {
    if (end <= first) return;
    for (RiffChunk& chunk : chunks) {
        if (chunk.Is("cue ")) {
            // Point: id, position, chunk id, chunk start, block start, sample offset.
            FilterRecords(chunk.Body, 0, 4, 24, [&](unsigned char* point) {
                const Fate offset = Shift(point + 20, first, end);
                if (offset == Fate::Dropped) return false;
                if (Shift(point + 4, first, end) == Fate::Dropped)
                    Put32(point + 4, Le32(point + 20));
                return true;
            });
        } else if (chunk.Is("smpl")) {
            // Loop: cue id, type, start, end, fraction, play count; the header is 36 bytes.
            FilterRecords(chunk.Body, 28, 36, 24, [&](unsigned char* loop) {
                const std::uint32_t start = Le32(loop + 8), stop = Le32(loop + 12);
                const bool inside = [&] {
                    for (const std::int64_t p : {std::int64_t{start}, std::int64_t{stop}})
                        if (p >= first && p < end) return true;
                    return false;
                }();
                if (inside) return false;
                Shift(loop + 8, first, end);
                Shift(loop + 12, first, end);
                return true;
            });
        }
    }
}

void SetFactFrames(RiffChunk& fact, std::uint32_t frames) {
    if (fact.Body.size() >= 4) Put32(fact.Body.data(), frames);
}

}  // namespace sv
