#include "app/TimbreFolders.h"

#include <unistd.h>

#include <cstdlib>

#include "base/WorkFolder.h"

namespace sv {

std::optional<std::filesystem::path> TTimbreFolders::Find(const std::string& name) const {
    std::error_code ec;
    for (const auto& folder : ListFolders) {
        const auto path = folder / (name + ".sts");
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return std::nullopt;
}

std::filesystem::path UserTimbreFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return std::filesystem::path(data) / "sonivar";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "share" / "sonivar";
}

TTimbreFolders TimbreFoldersOf(const std::vector<std::filesystem::path>& folders) {
    TTimbreFolders result;
    for (const auto& folder : folders) {
        if (result.ListFolders.empty()) result.SaveFolder = folder;
        bool known = false;
        for (const auto& listed : result.ListFolders) known = known || listed == folder;
        if (!known) result.ListFolders.push_back(folder);
    }
    return result;
}

TTimbreFolders DefaultTimbreFolders() {
    const auto program = ExecutableFolder();
    const auto user = UserTimbreFolder();
    if (::access(program.c_str(), W_OK) == 0) return TimbreFoldersOf({program, user});
    return TimbreFoldersOf({user, program});
}

}  // namespace sv
