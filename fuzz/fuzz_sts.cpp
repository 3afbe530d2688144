// Reads arbitrary bytes as a stored timbre file.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "base/IoError.h"
#include "timbre/Timbres.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto file = std::filesystem::temp_directory_path() /
                             ("sonivar-fuzz-" + std::to_string(::getpid()) + ".sts");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    static sv::BinSpectrum spectrum;
    try {
        sv::LoadTimbre(spectrum, file);
    } catch (const sv::IoError&) {
    }
    return 0;
}
