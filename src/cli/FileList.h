#pragma once
// The inputs of a batch: the *.wav files of a folder, or a list of paths a scheduler hands over.
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace sv::cli {

// The sound files of a folder (names only), sorted without regard to case. Recursive: those of
// its subfolders too, as paths relative to folder, each folder's entries in that order (a sorted
// walk); hidden entries, links to folders and the folder skipped (an output inside) are passed
// over.
std::vector<std::string> WavFiles(const std::filesystem::path& folder, bool recursive = false,
                                  const std::filesystem::path& skipped = {});

// The paths of a list: one a line, or NUL-separated. Empty entries are passed over; in a list of
// lines a carriage return before the line end goes (lists written on Windows), so a name that
// really ends in one needs a NUL-separated list.
std::vector<std::string> ReadFileList(std::istream& in, bool nulSeparated);

// The list at path, or standard input for "-". Throws IoError when it cannot be read.
std::vector<std::string> ReadFileList(const std::string& path, bool nulSeparated);

}  // namespace sv::cli
