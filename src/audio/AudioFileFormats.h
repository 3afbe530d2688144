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

// True for the extensions a writer knows: .wav, .flac, .aif, .aiff, .ogg, .oga (case does not
// matter). MP3, other extensions and names without one are refused rather than saved as WAV
// bytes under a name that says otherwise.
bool IsSavableAudioFileName(const std::filesystem::path& fileName);

// The kind of file the name's extension stands for: "WAV", "FLAC", "Ogg Vorbis", "AIFF" or
// "MP3" (names of unknown extension are read as WAV).
std::string ContainerName(const std::filesystem::path& fileName);

// The name a batch saves the result of fileName under: the same, or with .wav in place of an
// extension no writer knows, so an MP3 (or a file read as WAV under another name) comes out as
// WAV instead of failing.
std::filesystem::path SavableName(const std::filesystem::path& fileName);

// Opens WAV (and names of unknown extension) with our own reader, the rest through libsndfile.
LoadResult OpenAudioFile(const std::filesystem::path& fileName, const WaveEnvironment& env);

// The refusals a save to fileName would meet that need no document: an extension no writer
// knows, a write-protected file, not a regular file, a folder missing or not writable. Done()
// when there are none. Cheap, so that callers check before a long computation.
SaveResult CheckAudioSaveTarget(const std::filesystem::path& fileName);

// The refusal a document of this layout would meet: the format of the name's extension cannot
// hold the channels at the rate. Done() when it can.
SaveResult CheckAudioSaveLayout(const std::filesystem::path& fileName, int channels, int sampleRate,
                                SampleEncoding encoding);

// Saves in the format the name's extension gives; with a gain per channel, as normalized by them.
SaveResult SaveAudioFile(Wave& wave, const std::filesystem::path& fileName,
                         std::span<const float> channelGains = {});

}  // namespace sv
