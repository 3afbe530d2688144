#pragma once
// Writes a document as FLAC, AIFF or Ogg Vorbis through libsndfile.
#include <filesystem>
#include <span>
#include <string>

#include "audio/SaveResult.h"
#include "audio/Wave.h"

namespace sv {

// True for the file extensions written through libsndfile: .flac, .aif, .aiff, .ogg, .oga.
bool IsSoundFileExportExtension(const std::filesystem::path& fileName);

// Why the format of the name's extension cannot hold channels at sampleRate in the depth it
// would take for encoding, or empty when it can (or no such format is written here). Sets the
// encoder up on a sink that keeps nothing, so the limits are those of the library in use
// (FLAC: 8 channels, 655,350 Hz; Vorbis: 255 channels, 200 kHz).
std::string SoundFileLayoutProblem(const std::filesystem::path& fileName, int channels,
                                   int sampleRate, SampleEncoding encoding);

// Encodes the document block by block in the format its name's extension gives, keeping the
// document's bit depth where the format has it (FLAC stops at 24 bits; Vorbis has none). The
// file is replaced only when complete, as WAV saves are. Gains per channel are applied as
// Wave::SaveToFile applies them.
SaveResult ExportSoundFile(Wave& wave, const std::filesystem::path& fileName,
                           std::span<const float> channelGains = {});

}  // namespace sv
