#pragma once
// Writes a document as FLAC, AIFF or Ogg Vorbis through libsndfile.
#include <filesystem>
#include <span>

#include "audio/SaveResult.h"
#include "audio/Wave.h"

namespace sv {

// True for the file extensions written through libsndfile: .flac, .aif, .aiff, .ogg, .oga.
bool IsSoundFileExportExtension(const std::filesystem::path& fileName);

// Encodes the document block by block in the format its name's extension gives, keeping the
// document's bit depth where the format has it (FLAC stops at 24 bits; Vorbis has none). The
// file is replaced only when complete, as WAV saves are. Gains per channel are applied as
// Wave::SaveToFile applies them.
SaveResult ExportSoundFile(Wave& wave, const std::filesystem::path& fileName,
                           std::span<const float> channelGains = {});

}  // namespace sv
