#pragma once
// File records as JSON Lines, and reading back which inputs a report lists as done.
//
// Paths are bytes on Linux, JSON strings are Unicode. A path that is valid UTF-8 is written as it
// is; any other is written with U+FFFD in place of each invalid byte (for people) and, beside it,
// under the same key with "_hex" appended, as the exact bytes in hexadecimal (for programs).
#include <filesystem>
#include <string>
#include <unordered_set>

#include "cli/FileRecord.h"
#include "cli/Options.h"

namespace sv::cli {

// One JSON object ending in a newline.
std::string JsonLine(const FileRecord& record, const Options& options);

// The exact input paths a report lists with status "done". A missing report lists none; a line
// that does not parse, and a last line without its newline (cut short when a run was killed or
// the disk was full), are passed over.
std::unordered_set<std::string> DoneInputs(const std::filesystem::path& report);

}  // namespace sv::cli
