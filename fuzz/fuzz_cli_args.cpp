// Parses arbitrary argument vectors (NUL-separated words).
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"sonivar-cli"};
    std::string word;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    std::string error;
    const auto options = sv::cli::ParseOptions(static_cast<int>(argv.size()), argv.data(), error);
    if (!options && error.empty()) __builtin_trap();  // every refusal says why
    return 0;
}
