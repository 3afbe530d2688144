#include "cli/OutputClashes.h"

#include <sys/stat.h>

#include <map>
#include <string>

namespace sv::cli {

namespace {

// Names the same key for every path of one existing file (links, "./", another spelling of its
// folder), and for a missing file its absolute path with the folders resolved.
std::string FileKey(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return "file " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    const auto resolved = std::filesystem::weakly_canonical(absolute, ec);
    return "path " + (ec ? absolute.lexically_normal() : resolved).string();
}

}  // namespace

void MarkOutputClashes(std::vector<BatchItem>& items, bool replacing) {
    std::vector<std::string> inputKeys;
    std::map<std::string, const BatchItem*> inputs;
    for (auto& item : items) {
        inputKeys.push_back(FileKey(item.Input));
        const auto [first, isNew] = inputs.emplace(inputKeys.back(), &item);
        if (!isNew) item.Clash = item.Input + " is already in the batch as " + first->second->Input;
    }
    std::map<std::string, const BatchItem*> outputs;
    for (std::size_t i = 0; i < items.size(); ++i) {
        BatchItem& item = items[i];
        if (!item.Clash.empty()) continue;
        const std::string key = FileKey(item.Output);
        const auto input = inputs.find(key);
        if (replacing && input != inputs.end() && key != inputKeys[i]) {
            item.Clash = "the result of " + item.Input + " would replace " + input->second->Input +
                         ", another input of the batch";
            continue;
        }
        const auto [first, isNew] = outputs.emplace(key, &item);
        if (!isNew)
            item.Clash = "the result of " + item.Input + " would replace that of " +
                         first->second->Input + " (both " + item.Output + ")";
    }
}

}  // namespace sv::cli
