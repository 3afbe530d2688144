#pragma once
// Opens FLAC, Ogg Vorbis, AIFF, MP3 and the other formats libsndfile reads as a document.
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "audio/Wave.h"

namespace sv {

// True for the file extensions read through libsndfile rather than our own WAV code.
bool IsSoundFileExtension(const std::filesystem::path& fileName);

// The extension of fileName with its dot, in lower case (".flac").
std::string LowerExtension(const std::filesystem::path& fileName);

// Decodes the file block by block into a new document (16-bit when the source holds 16 bits or
// fewer, 24-bit otherwise). A file too short for processing, or too large for the work folder,
// is refused as WAV files are. Throws IoError when the file cannot be opened or decoded.
LoadResult ImportSoundFile(const std::filesystem::path& fileName, const WaveEnvironment& env);

}  // namespace sv
