#pragma once
// Which file names this program opens and saves, and the one entry for each direction: WAV
// through our own reader and writer, the other formats through libsndfile.
#include <filesystem>
#include <span>
#include <string>

#include "audio/SaveResult.h"
#include "audio/Wave.h"

namespace sv {

// True for .wav and every extension read through libsndfile (case does not matter).
bool IsReadableAudioFileName(const std::filesystem::path& fileName);

// False only for formats that are read but never written (MP3): every other name is saved as
// WAV unless its extension names FLAC, AIFF or Ogg.
bool IsSavableAudioFileName(const std::filesystem::path& fileName);

// The kind of file the name's extension stands for: "WAV", "FLAC", "Ogg Vorbis", "AIFF" or
// "MP3" (names of unknown extension are read as WAV).
std::string ContainerName(const std::filesystem::path& fileName);

// The name a batch saves the result of fileName under: the same, or with .wav in place of an
// extension that is read but never written, so an MP3 comes out as WAV instead of failing.
std::filesystem::path SavableName(const std::filesystem::path& fileName);

// Opens WAV (and names of unknown extension) with our own reader, the rest through libsndfile.
LoadResult OpenAudioFile(const std::filesystem::path& fileName, const WaveEnvironment& env);

// Saves in the format the name's extension gives; with a gain per channel, as normalized by them.
SaveResult SaveAudioFile(Wave& wave, const std::filesystem::path& fileName,
                         std::span<const float> channelGains = {});

}  // namespace sv
