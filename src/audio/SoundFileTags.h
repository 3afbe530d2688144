#pragma once
// The tags libsndfile reads and writes in FLAC, Ogg and AIFF files.
#include <sndfile.h>

#include <string>
#include <utility>
#include <vector>

#include "audio/FileMetadata.h"

namespace sv {

std::vector<std::pair<TagKind, std::string>> ReadSoundFileTags(SNDFILE* file);
// Before the first sample is written: some formats put their tags in the header. A tag the format
// has no field for is left out.
void WriteSoundFileTags(SNDFILE* file, const std::vector<std::pair<TagKind, std::string>>& tags);

}  // namespace sv
