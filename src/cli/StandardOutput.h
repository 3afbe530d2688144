#pragma once
// Standard output carries the results scripts read, so nothing written to it may be lost
// unnoticed: a full disk, a closed descriptor or a reader that went away is an error.
#include <string_view>

namespace sv::cli {

// Call first thing. Opens closed standard descriptors on /dev/null, so that no file the program
// opens becomes one of them; a closed stdout gets it read-only, so that writing results to it
// fails instead of vanishing.
void ReopenClosedStandardDescriptorsForResults();

// Writes text whole to stdout at once; throws IoError when it cannot.
void WriteToStandardOutput(std::string_view text);

// Closes stdout, which is where some file systems report a failed write; throws IoError then.
void CloseStandardOutput();

}  // namespace sv::cli
