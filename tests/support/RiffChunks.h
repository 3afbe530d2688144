#pragma once
// Test helpers: WAV files with chunks after their data, and the chunks of a written file.
#include <string>
#include <utility>
#include <vector>

#include "support/TestFiles.h"

namespace sv::test {

using Chunk = std::pair<std::string, std::string>;  // id, body

inline std::string Le32Text(std::uint32_t v) {
    std::string out;
    PutLe(out, v, 4);
    return out;
}

inline std::string ChunkBytes(const Chunk& c) {
    return c.first + Le32Text(static_cast<std::uint32_t>(c.second.size())) + c.second +
           std::string(c.second.size() & 1, '\0');
}

// As WavBytes makes it, with chunks after the (padded) data and the RIFF size to match.
inline std::string WavWithChunks(const WavLayout& layout, const std::vector<Chunk>& after,
                                 const std::function<int(std::int64_t, int)>& sample) {
    std::string bytes = WavBytes(layout, sample);
    bytes.append(bytes.size() & 1, '\0');
    for (const Chunk& c : after) bytes += ChunkBytes(c);
    return bytes.replace(4, 4, Le32Text(static_cast<std::uint32_t>(bytes.size() - 8)));
}

inline std::vector<Chunk> ChunksOf(const std::string& file) {
    std::vector<Chunk> chunks;
    for (std::size_t pos = 12; pos + 8 <= file.size();) {
        std::uint32_t size = 0;
        std::memcpy(&size, file.data() + pos + 4, 4);
        chunks.emplace_back(file.substr(pos, 4), file.substr(pos + 8, size));
        pos += 8 + size + (size & 1);
    }
    return chunks;
}

}  // namespace sv::test
