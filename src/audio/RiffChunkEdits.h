#pragma once
// Changes to kept WAV chunks that the document's own changes call for: the coding history of a
// Broadcast WAV, marker positions after a block delete, the frame count of a fact chunk.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/FileMetadata.h"

namespace sv {

// A coding-history line in the Broadcast WAV form, without its line end:
// "A=PCM,F=44100,W=16,M=stereo,T=Sonivar 0.2 remaster".
std::string CodingHistoryLine(int sampleRate, int bits, int channels, const std::string& process);
// Appends line (and CR LF) to the coding history of a bext chunk, after its text and before any
// trailing NUL padding; every other byte stays. A body too short for the fixed fields is left.
void AppendCodingHistory(RiffChunk& bext, const std::string& line);

// Marker positions after frames first .. end - 1 were removed: cue points and sampler loops at or
// after end move back by end - first, those inside are dropped.
void ShiftMarkersForDelete(std::vector<RiffChunk>& chunks, std::int64_t first, std::int64_t end);
// The frame count in a fact chunk, which would otherwise describe the file as it was.
void SetFactFrames(RiffChunk& fact, std::uint32_t frames);

}  // namespace sv
