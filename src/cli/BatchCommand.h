#pragma once
// batch: many files with the same settings, several at once, each worker thread with its own
// documents and engine.
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Options.h"

namespace sv::cli {

// One file of the batch and where its result goes.
struct BatchItem {
    std::string Input;
    std::string Output;
    std::string Clash = {};  // why the item is refused before any work; empty when it runs
};

// The items of the options (SRC_DIR's *.wav files or the --files-from list), in their order.
std::vector<BatchItem> BatchItems(const Options& options);

// Drops the items whose input the --resume report lists as done.
void DropDoneItems(std::vector<BatchItem>& items, const std::filesystem::path& report);

// How many files are processed at once: --jobs, or one per core this process may use.
int WorkerCount(const Options& options, std::size_t items);

int RunBatch(const Options& options, const std::filesystem::path& workFolder);

}  // namespace sv::cli
