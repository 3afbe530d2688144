#pragma once
// Where stored timbres (*.sts) live: beside the program, or, when that folder cannot be written
// (an installed program), in the user's data folder. Both are listed.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sv {

struct TimbreFolders {
    std::filesystem::path SaveFolder;                // where new timbres are written
    std::vector<std::filesystem::path> ListFolders;  // SaveFolder first

    // The stored file of name in the first folder that holds one.
    std::optional<std::filesystem::path> Find(const std::string& name) const;
    std::filesystem::path SavePath(const std::string& name) const {
        return SaveFolder / (name + ".sts");
    }
};

// $XDG_DATA_HOME/sonivar, or ~/.local/share/sonivar (the account's home when HOME is unset);
// empty when there is no safe home folder.
std::filesystem::path UserTimbreFolder();

// The program's folder when it is writable, else the user's folder; both listed.
TimbreFolders DefaultTimbreFolders();

// Folders given explicitly: the first takes new timbres.
TimbreFolders TimbreFoldersOf(const std::vector<std::filesystem::path>& folders);

}  // namespace sv
