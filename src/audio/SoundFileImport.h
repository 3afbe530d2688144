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
// fewer, 24-bit otherwise) up to the end of its stream. A file that is not a sound file, is
// damaged, too short for processing or too large for the work folder is refused with its
// outcome. Throws IoError when the file cannot be opened or read (a FIFO or device is refused at
// once, without waiting for a writer).
LoadResult ImportSoundFile(const std::filesystem::path& fileName, const WaveEnvironment& env);

}  // namespace sv
