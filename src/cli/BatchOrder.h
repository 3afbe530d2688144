#pragma once
// The order in which the workers of a batch take its files.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sv::cli {

// Indices of the files, largest first (list order among equals). With several workers a long
// file taken last would run alone at the end while the other cores idle; taken first, the short
// ones fill the other cores meanwhile. Bytes stand in for the time a file takes.
std::vector<std::size_t> LargestFirst(const std::vector<std::uint64_t>& fileBytes);

}  // namespace sv::cli
