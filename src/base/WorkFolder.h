#pragma once
#include <cstdint>
#include <filesystem>

namespace sv {

// Folder for swap files: $SONIVAR_WORK_FOLDER when set, otherwise whichever of $TMPDIR,
// /var/tmp, /tmp and the home folder has the most free bytes (the first listed on a tie).
std::filesystem::path ChooseWorkFolder();

// Free bytes available to this user on the volume holding path; 0 when unknown.
std::uint64_t FreeBytes(const std::filesystem::path& path);

// The folder of the running executable.
std::filesystem::path ExecutableFolder();

}  // namespace sv
