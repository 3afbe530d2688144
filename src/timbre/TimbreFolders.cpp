#include "timbre/TimbreFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "base/WorkFolder.h"

namespace sv {

std::optional<std::filesystem::path> TimbreFolders::Find(const std::string& name) const {
    std::error_code ec;
    for (const auto& folder : ListFolders) {
        const auto path = folder / (name + ".sts");
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return std::nullopt;
}

namespace {

// HOME, else the account's home folder. Never a folder anyone may write into (such as /tmp):
// another user could plant timbres there or replace the ones saved. Empty when there is none.
std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const passwd* account = ::getpwuid(::getuid());
    if (!account || !account->pw_dir || account->pw_dir[0] != '/') return {};
    struct stat info {};
    if (::stat(account->pw_dir, &info) != 0 || !S_ISDIR(info.st_mode) || (info.st_mode & S_IWOTH))
        return {};
    return account->pw_dir;
}

}  // namespace

std::filesystem::path UserTimbreFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return std::filesystem::path(data) / "sonivar";
    const auto home = HomeFolder();
    if (home.empty()) return {};
    return home / ".local" / "share" / "sonivar";
}

TimbreFolders TimbreFoldersOf(const std::vector<std::filesystem::path>& folders) {
    TimbreFolders result;
    for (const auto& folder : folders) {
        if (result.ListFolders.empty()) result.SaveFolder = folder;
        bool known = false;
        for (const auto& listed : result.ListFolders) known = known || listed == folder;
        if (!known) result.ListFolders.push_back(folder);
    }
    return result;
}

TimbreFolders DefaultTimbreFolders() {
    const auto program = ExecutableFolder();
    const auto user = UserTimbreFolder();
    if (user.empty()) return TimbreFoldersOf({program});
    if (::access(program.c_str(), W_OK) == 0) return TimbreFoldersOf({program, user});
    return TimbreFoldersOf({user, program});
}

}  // namespace sv
