#include "cli/FileList.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iostream>

#include "audio/AudioFileFormats.h"
#include "base/CaseInsensitiveSort.h"
#include "base/IoError.h"

namespace sv::cli {

std::vector<std::string> WavFiles(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        std::error_code ec;
        if (name.empty() || name[0] == '.' || !entry.is_regular_file(ec)) continue;
        if (IsReadableAudioFileName(entry.path())) names.push_back(name);
    }
    SortWithoutCase(names);
    return names;
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
