#include "cli/FileList.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iostream>

#include "audio/AudioFileFormats.h"
#include "base/CaseInsensitiveSort.h"
#include "base/IoError.h"

namespace sv::cli {

namespace {

void WalkFolder(const std::filesystem::path& folder, const std::filesystem::path& relative,
                bool recursive, const std::filesystem::path& skipped,
                std::vector<std::string>& found) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    SortWithoutCase(names);
    for (const auto& name : names) {
        const std::filesystem::path path = folder / name;
        std::error_code ec;
        if (name.empty() || name[0] == '.') continue;
        if (recursive && std::filesystem::is_directory(std::filesystem::symlink_status(path, ec)) &&
            !(!skipped.empty() && std::filesystem::equivalent(path, skipped, ec))) {
            WalkFolder(path, relative / name, recursive, skipped, found);
        } else if (std::filesystem::is_regular_file(path, ec) && IsReadableAudioFileName(path)) {
            found.push_back((relative / name).string());
        }
    }
}

}  // namespace

std::vector<std::string> WavFiles(const std::filesystem::path& folder, bool recursive,
                                  const std::filesystem::path& skipped) {
    std::vector<std::string> found;
    WalkFolder(folder, {}, recursive, skipped, found);
    return found;
}

std::vector<std::string> ReadFileList(std::istream& in, bool nulSeparated) {
    std::vector<std::string> paths;
    std::string entry;
    while (std::getline(in, entry, nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && !entry.empty() && entry.back() == '\r') entry.pop_back();
        if (!entry.empty()) paths.push_back(entry);
    }
    return paths;
}

std::vector<std::string> ReadFileList(const std::string& path, bool nulSeparated) {
    if (path == "-") {
        auto paths = ReadFileList(std::cin, nulSeparated);
        if (std::cin.bad()) ThrowIoError("Cannot read the file list from standard input", errno);
        return paths;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) ThrowIoError("Cannot open the file list " + path, errno);
    auto paths = ReadFileList(in, nulSeparated);
    if (in.bad()) ThrowIoError("Cannot read the file list " + path, errno);
    return paths;
}

}  // namespace sv::cli
