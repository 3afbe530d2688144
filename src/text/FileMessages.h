#pragma once
// The user's wording of what the audio core reports about files.
#include <filesystem>
#include <string>

#include "base/LoadOutcome.h"

namespace sv {

// The message for a refused load, in the user's language: the not-PCM text followed by reason
// when there is one, the too-short text, or the low-disk-space text naming workFolder. Empty for
// a loaded file.
std::string LoadRefusalMessage(LoadOutcome outcome, const std::string& reason,
                               const std::filesystem::path& workFolder);

// The progress window captions of reading a file in and of saving one.
std::string ReadingCaption();
std::string SavingCaption();

}  // namespace sv
