#include "base/WorkFolder.h"

#include <sys/statvfs.h>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace sv {

std::uint64_t FreeBytes(const std::filesystem::path& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::filesystem::path ChooseWorkFolder() {
    std::error_code ec;
    if (const char* forced = std::getenv("SONIVAR_WORK_FOLDER"); forced && *forced)
        return std::filesystem::path(forced);
    std::vector<std::filesystem::path> candidates;
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) candidates.emplace_back(tmp);
    candidates.emplace_back("/var/tmp");
    candidates.emplace_back("/tmp");
    if (const char* home = std::getenv("HOME"); home && *home) candidates.emplace_back(home);
    std::filesystem::path best = "/tmp";
    std::uint64_t bestFree = 0;
    bool found = false;
    for (const auto& c : candidates) {
        if (!std::filesystem::is_directory(c, ec)) continue;
        const std::uint64_t free = FreeBytes(c);
        if (!found || free > bestFree) {
            best = c;
            bestFree = free;
            found = true;
        }
    }
    return best;
}

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

}  // namespace sv
