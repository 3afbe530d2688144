// Reads arbitrary bytes as language.ini.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "text/Language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto file = std::filesystem::temp_directory_path() /
                             ("sonivar-fuzz-language-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    sv::LanguageTexts texts;
    sv::LoadLanguageFrom(file, texts);
    for (const auto& key : sv::LanguageKeys())
        if ((texts.*key.Member).size() > 4 * sv::MaxTextLength) __builtin_trap();
    return 0;
}
