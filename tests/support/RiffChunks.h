#pragma once
// Test helpers: WAV files with chunks around their data, and the chunks of a written file.
#include <string>
#include <utility>
#include <vector>

#include "support/TestFiles.h"

namespace sv::test {

using Chunk = std::pair<std::string, std::string>;  // id, body

inline std::string ChunkBytes(const Chunk& chunk) {
    std::string out = chunk.first;
    PutLe(out, chunk.second.size(), 4);
    out += chunk.second + (chunk.second.size() & 1 ? std::string(1, '\0') : "");
    return out;
}

// A WAV as WavBytes makes it, with chunks after the data (the data padded) and the RIFF size
// fixed.
inline std::string WavWithChunks(const WavLayout& layout, const std::vector<Chunk>& after,
                                 const std::function<int(std::int64_t, int)>& sample) {
    std::string bytes = WavBytes(layout, sample);
    if (!after.empty() && (bytes.size() & 1)) bytes.push_back('\0');
    for (const Chunk& c : after) bytes += ChunkBytes(c);
    std::string size;
    PutLe(size, bytes.size() - 8, 4);
    bytes.replace(4, 4, size);
    return bytes;
}

// The chunks of a RIFF file after its WAVE id, in order.
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

inline std::string Le32Text(std::uint32_t v) {
    std::string out;
    PutLe(out, v, 4);
    return out;
}

}  // namespace sv::test
