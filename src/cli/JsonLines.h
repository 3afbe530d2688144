#pragma once
// File records as JSON Lines, and reading back which inputs a report lists as done.
//
// Paths are bytes on Linux, JSON strings are Unicode. A path that is valid UTF-8 is written as it
// is; any other is written with U+FFFD in place of each invalid byte (for people) and, beside it,
// under the same key with "_hex" appended, as the exact bytes in hexadecimal (for programs).
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "cli/FileRecord.h"
#include "cli/Options.h"

namespace sv::cli {

// One JSON object ending in a newline.
std::string JsonLine(const FileRecord& record, const Options& options);

// A complete line of a report: the exact input it names, whether that is done, and its text.
struct ReportLine {
    std::string Input;
    bool Done = false;
    std::string Text;  // without its newline
};

// The lines of a report in their order; a missing report has none. A line that does not parse,
// and a last line without its newline (cut short when a run was killed or the disk was full),
// are passed over. Throws IoError when the report cannot be read.
std::vector<ReportLine> ReadReport(const std::filesystem::path& report);

// The exact input paths a report lists with status "done". A missing report lists none; a line
// that does not parse, and a last line without its newline (cut short when a run was killed or
// the disk was full), are passed over.
std::unordered_set<std::string> DoneInputs(const std::filesystem::path& report);

}  // namespace sv::cli
